// The silence rule and the question plumbing of the reporters.
#include "engine/reportprompter.h"

#include <algorithm>

#include "engine/jobcontrol.h"
#include "engine/logtexts.h"

namespace kestrow {

platform::Answer DefaultAnswerOf(platform::Buttons buttons) {
    switch (buttons) {
        case platform::Buttons::Ok:
            return platform::Answer::Ok;
        case platform::Buttons::YesNoDefaultYes:
            return platform::Answer::Yes;
        case platform::Buttons::YesNoDefaultNo:
            return platform::Answer::No;
        case platform::Buttons::RetryCancel:
        case platform::Buttons::AbortRetryIgnore:
            return platform::Answer::Retry;
    }
    return platform::Answer::Ok;
}

bool ReportPrompter::Silenced(Silence rule) const {
    if (rule == Silence::Never) return false;
    const ProcessOptions& o = m_host.Options();
    if (o.SuppressAlerts) return true;
    if (rule == Silence::Suppress) return false;
    return !o.Truncate && !o.ReplaceDots && !o.RemoveDotsInDirs && !o.StripTHEtagDirs && !o.StripVAtagDirs &&
           !o.DeleteTempFiles;
}

platform::Answer ReportPrompter::Ask(const std::string& text, const std::string& caption,
                                     platform::Buttons buttons, platform::Icon icon) const {
    return Ask(text, caption, buttons, icon, DefaultAnswerOf(buttons));
}

platform::Answer ReportPrompter::Ask(const std::string& text, const std::string& caption,
                                     platform::Buttons buttons, platform::Icon icon,
                                     platform::Answer defaultAnswer) const {
    if (m_control && m_control->shuttingDown) return platform::RefusingAnswer(buttons);
    return m_host.Ask(HostQuestion{text, caption, buttons, icon, defaultAnswer});
}

void ReportPrompter::Separator() const {
    m_host.LogLine(std::string(kSeparator));
}

void ReportPrompter::PlannedHeader(LogColour colour, const std::string& dir) const {
    Blank();
    OnColour(colour, "Listing PLANNED MODIFICATIONS in dir " + dir + ":");
    Separator();
}

void ReportPrompter::PlannedDir(LogColour colour, const std::string& from, const std::string& to) const {
    OnColour(colour, "== DIR:  " + from + ", ===> " + to);
}

void ReportPrompter::PlannedFile(LogColour colour, const std::string& from, const std::string& to) const {
    OnColour(colour, "== FILE: " + from + ", ===> " + to);
}

namespace {

template <typename Row>
const Row* RowOf(std::span<const Row> table, int code) {
    const auto row =
        std::find_if(table.begin(), table.end(), [code](const Row& r) { return r.code == code; });
    return row == table.end() ? nullptr : &*row;
}

}  // namespace

std::string ReportText(std::string_view pattern, const std::string& n, const std::string& m,
                       const std::string& x) {
    // The fields go in as they are: a name holding "{N}" is not expanded again.
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::string_view rest = pattern.substr(i);
        if (rest.size() >= 3 && rest[0] == '{' && rest[2] == '}' &&
            (rest[1] == 'N' || rest[1] == 'M' || rest[1] == 'X')) {
            text += rest[1] == 'N' ? n : rest[1] == 'M' ? m : x;
            i += 2;
        } else {
            text += rest[0];
        }
    }
    return text;
}

bool ReportPrompter::LogRow(std::span<const ReportLine> table, int code, const std::string& n,
                            const std::string& m, const std::string& x, int& answer) const {
    const ReportLine* row = RowOf(table, code);
    if (!row) return false;
    const std::string text = ReportText(row->text, n, m, x);
    if (row->background)
        OnColour(*row->background, text);
    else
        Plain(text);
    Follow(row->then);
    if (row->problemFile) NoteProblemFiles();
    answer = row->answer;
    return true;
}

bool ReportPrompter::AskRow(std::span<const ReportQuestion> table, int code, const std::string& n,
                            const std::string& m, const std::string& x, int& answer) const {
    const ReportQuestion* row = RowOf(table, code);
    if (!row) return false;
    if (!row->line.empty()) {
        OnColour(row->background, ReportText(row->line, n, m, x));
        Follow(row->then);
    }
    if (Silenced(row->silence)) {
        answer = row->silencedAnswer;
    } else {
        const platform::Answer a = Ask(ReportText(row->question, n, m, x), std::string(row->caption),
                                       platform::Buttons::YesNoDefaultNo);
        answer = a == platform::Answer::Yes ? row->yesAnswer : row->noAnswer;
    }
    return true;
}

void ReportPrompter::Follow(ReportLine::Then then) const {
    switch (then) {
        case ReportLine::Then::Nothing:
            break;
        case ReportLine::Then::Blank:
            Blank();
            break;
        case ReportLine::Then::Separator:
            Separator();
            break;
    }
}

void ReportPrompter::NoteProblemFiles() const {
    if (m_control) m_control->sawProblemFiles = true;
}

void ReportPrompter::NoteFailure() const {
    if (m_control) m_control->sawFailure = true;
}

}  // namespace kestrow
