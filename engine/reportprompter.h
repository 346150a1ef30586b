// What the two reporters share: the silence rule, question boxes and the log calls they make.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/jobhost.h"

namespace kestrow {

class JobControl;

// Which setting keeps a question from being shown.
enum class Silence {
    Suppress,      // "Suppress alert popups" alone
    SuppressPlus,  // also when no renaming option is on
    Never,         // the question is always asked
};

// A report that logs one line and answers at once, as one row of a reporter's table: the line's
// background (none: a plain line), its text, in which {N}, {M} and {X} stand for the report's
// texts, what follows the line, whether it counts a problem file, and the answer.
struct ReportLine {
    enum class Then { Nothing, Blank, Separator };

    int code;
    std::optional<LogColour> background;
    std::string_view text;
    int answer;
    Then then = Then::Nothing;
    bool problemFile = false;
};

// A report that may log a line and then asks a Yes/No question, No by default: the line (empty:
// none), its background and what follows it, the rule that silences the question and the answer
// then, the question and its caption, and the answers to Yes and to No.
struct ReportQuestion {
    int code;
    LogColour background;
    std::string_view line;
    ReportLine::Then then;
    Silence silence;
    int silencedAnswer;
    std::string_view question;
    std::string_view caption;
    int yesAnswer;
    int noAnswer;
};

// A table's text with {N}, {M} and {X} replaced by the report's texts.
std::string ReportText(std::string_view pattern, const std::string& n, const std::string& m,
                       const std::string& x);

class ReportPrompter {
public:
    ReportPrompter(JobHost& host, JobControl* control) : m_host(host), m_control(control) {}

    JobHost& host() const { return m_host; }
    JobControl* control() const { return m_control; }

    bool Silenced(Silence rule) const;
    // Asks unless the front end is closing, in which case the refusing button answers.
    platform::Answer Ask(const std::string& text, const std::string& caption, platform::Buttons buttons,
                         platform::Icon icon = platform::Icon::Exclamation) const;
    platform::Answer Ask(const std::string& text, const std::string& caption, platform::Buttons buttons,
                         platform::Icon icon, platform::Answer defaultAnswer) const;

    LogLineId Plain(const std::string& text) const { return m_host.LogLine(text); }
    // Every coloured report line is white text on a coloured background.
    LogLineId OnColour(LogColour background, const std::string& text) const {
        return m_host.LogColouredLine(LogColour::White, background, text);
    }
    void Blank() const { m_host.LogLine(" "); }
    void Separator() const;
    // The listing of planned modifications, in the pass's colour: its header, then one line per
    // directory or file name and the name it will get.
    void PlannedHeader(LogColour colour, const std::string& dir) const;
    void PlannedDir(LogColour colour, const std::string& from, const std::string& to) const;
    void PlannedFile(LogColour colour, const std::string& from, const std::string& to) const;

    // Logs the row of `table` for the code; false when the table has none.
    bool LogRow(std::span<const ReportLine> table, int code, const std::string& n, const std::string& m,
                const std::string& x, int& answer) const;
    // Logs and asks the row of `table` for the code; false when the table has none.
    bool AskRow(std::span<const ReportQuestion> table, int code, const std::string& n, const std::string& m,
                const std::string& x, int& answer) const;

    void NoteProblemFiles() const;
    void NoteFailure() const;

private:
    void Follow(ReportLine::Then then) const;

    JobHost& m_host;
    JobControl* m_control;
};

// The default button of a button set, as the boxes show it.
platform::Answer DefaultAnswerOf(platform::Buttons buttons);

}  // namespace kestrow
