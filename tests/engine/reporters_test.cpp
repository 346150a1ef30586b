// Every report code of both reporters under the three settings that decide whether a question is
// shown, with every answer the question allows: the log lines with their colours, the question,
// the result and what the run notes. The texts live in the golden transcripts.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "engine/analysisreporter.h"
#include "engine/changereporter.h"
#include "engine/jobcontrol.h"
#include "tests/engine/fakehost.h"
#include "tests/support/golden.h"

namespace kestrow {
namespace {

using platform::Answer;
using platform::Buttons;
using test::FakeHost;

const char* Name(Answer a) {
    const char* names[] = {"Ok", "Yes", "No", "Retry", "Cancel", "Abort", "Ignore"};
    return names[static_cast<int>(a)];
}
const char* Name(Buttons b) {
    const char* names[] = {"Ok", "YesNoDefaultYes", "YesNoDefaultNo", "RetryCancel", "AbortRetryIgnore"};
    return names[static_cast<int>(b)];
}
std::vector<Answer> AnswersOf(Buttons b) {
    switch (b) {
        case Buttons::Ok:
            return {Answer::Ok};
        case Buttons::YesNoDefaultYes:
        case Buttons::YesNoDefaultNo:
            return {Answer::Yes, Answer::No};
        case Buttons::RetryCancel:
            return {Answer::Retry, Answer::Cancel};
        case Buttons::AbortRetryIgnore:
            return {Answer::Abort, Answer::Retry, Answer::Ignore};
    }
    return {};
}

// Loud: a renaming option on, so every question is asked; no renaming: the S+ questions are
// silent; suppressed: "Suppress alert popups", only the always-asked questions remain.
const char* kModes[] = {"loud", "no renaming", "suppressed"};

// One report on a fresh host: the events in order (log lines with their colours, appends,
// the question), the result and the run's notes.
template <typename R>
std::string Transcript(int code, int mode, std::optional<Answer> reply, Buttons* asked) {
    FakeHost host;
    host.options.Truncate = mode == 0;
    host.options.SuppressAlerts = mode == 2;
    host.answer = [&](const HostQuestion& q) { return reply.value_or(q.defaultAnswer); };
    JobControl control;
    const int result = R(host, &control).Report(code, "album.sfv", "track.mp3", "entry.mp3");
    std::ostringstream out;
    out << host.Transcript();
    for (const HostQuestion& q : host.questions) {
        out << "  box " << Name(q.buttons)
            << (q.icon == platform::Icon::Information ? " information" : " exclamation")
            << " default=" << Name(q.defaultAnswer) << "\n";
        *asked = q.buttons;
    }
    out << "  result " << result << (control.sawProblemFiles ? " problem-files" : "")
        << (control.sawFailure ? " failure" : "") << (control.sawRefusal ? " refusal" : "") << "\n";
    return out.str();
}

template <typename R>
std::string AllCodes() {
    std::ostringstream out;
    for (int code = -1; code <= 50; ++code) {
        for (int mode = 0; mode < 3; ++mode) {
            // A first run finds out whether a question is asked, and which answers it allows.
            const Buttons none = static_cast<Buttons>(-1);
            Buttons asked = none;
            const std::string silent = Transcript<R>(code, mode, std::nullopt, &asked);
            if (asked == none) {
                out << "code " << code << " (" << kModes[mode] << ")\n" << silent;
                continue;
            }
            for (Answer a : AnswersOf(asked)) {
                out << "code " << code << " (" << kModes[mode] << ") answered " << Name(a) << "\n"
                    << Transcript<R>(code, mode, a, &asked);
            }
        }
    }
    return out.str();
}

TEST(ReportersGoldenTest, AnalysisReporterEveryCodeModeAndAnswer) {
    test::ExpectGolden("reporters/analysis", AllCodes<AnalysisReporter>());
}

TEST(ReportersGoldenTest, ChangeReporterEveryCodeModeAndAnswer) {
    test::ExpectGolden("reporters/change", AllCodes<ChangeReporter>());
}

// Any one renaming option is enough to let the S+ questions through.
TEST(ReporterSilenceTest, EachRenamingOptionLiftsTheSilence) {
    int ProcessOptions::*fields[] = {&ProcessOptions::Truncate,         &ProcessOptions::ReplaceDots,
                                     &ProcessOptions::RemoveDotsInDirs, &ProcessOptions::StripTHEtagDirs,
                                     &ProcessOptions::StripVAtagDirs,   &ProcessOptions::DeleteTempFiles};
    for (auto field : fields) {
        FakeHost host;
        host.options.*field = 1;
        ChangeReporter reporter(host, nullptr);
        reporter.Report(7, "dir");
        EXPECT_EQ(host.questions.size(), 1u);
    }
    FakeHost host;
    host.options.preserveGrptag = 1;  // not a renaming option by itself
    host.options.PrepareCRCCheck = 1;
    ChangeReporter reporter(host, nullptr);
    EXPECT_EQ(reporter.Report(7, "dir"), -1);
    EXPECT_TRUE(host.questions.empty());
}

TEST(ReporterSilenceTest, SuppressAlertsIsReadAtEachReport) {
    FakeHost host;
    host.options.Truncate = 1;
    AnalysisReporter reporter(host, nullptr);
    host.answer = [](const HostQuestion&) { return Answer::Yes; };
    EXPECT_EQ(reporter.Report(2, "album.sfv"), 1);
    host.options.SuppressAlerts = 1;
    EXPECT_EQ(reporter.Report(2, "album.sfv"), -1);
    EXPECT_EQ(host.questions.size(), 1u);
}

TEST(ReporterSilenceTest, ClosingFrontEndRefusesInsteadOfAsking) {
    FakeHost host;
    host.options.Truncate = 1;
    host.answer = [](const HostQuestion&) { return Answer::Retry; };
    JobControl control;
    control.shuttingDown = true;
    ChangeReporter reporter(host, &control);
    EXPECT_EQ(reporter.Report(8, "f"), -1);
    EXPECT_TRUE(host.questions.empty());
    EXPECT_TRUE(control.sawFailure);
}

// Appends go behind the last line the reporters remembered, whichever reporter logged it.
TEST(RememberedLineTest, AppendsGoBehindTheReportersOwnLine) {
    FakeHost host;
    AnalysisReporter analysis(host, nullptr);
    ChangeReporter change(host, nullptr);
    analysis.Report(1);  // nothing remembered yet: a line of its own
    analysis.Report(7, "N", {}, "a.mp3");
    change.Report(21, "N", "b.mp3");
    analysis.Report(1);
    change.Report(18);
    analysis.Report(21, "c.mp3");
    analysis.Report(22);
    analysis.Report(7, "N", {}, "d.mp3");
    analysis.Report(44);
    change.Report(21, "N", "e.mp3");
    change.Report(29);
    std::string log;
    for (const auto& l : host.LogTexts()) log += l + "\n";
    test::ExpectGolden("reporters/remembered", log);
}

}  // namespace
}  // namespace kestrow
