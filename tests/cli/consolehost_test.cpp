// The console host: log output with appends and colours, answers without a terminal, and the
// confirmation of planned changes; the terminal questioner on a pipe.
#include "cli/consolehost.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "cli/terminalquestioner.h"
#include "tests/support/golden.h"
#include "tests/support/recordingreporter.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using platform::Answer;
using platform::Buttons;

class ConsoleHostTest : public ::testing::Test {
protected:
    std::string Output() {
        std::fflush(file);
        return test::ReadFile(path);
    }
    ConsoleHost::Setup MakeSetup(bool colour) {
        ConsoleHost::Setup s;
        s.out = file;
        s.colour = colour;
        return s;
    }
    ~ConsoleHostTest() override { std::fclose(file); }

    test::TempDir tmp;
    std::string path = tmp / "out.txt";
    std::FILE* file = std::fopen(path.c_str(), "w");
    ProcessOptions options;
    JobControl control;
    test::RecordingQuestioner questioner{Answer::Yes};
};

TEST_F(ConsoleHostTest, AppendsLandOnTheirLineUntilItIsWritten) {
    ConsoleHost host(options, control, questioner, MakeSetup(false));
    LogLineId a = host.LogLine("== CRC checking: a.mp3");
    host.AppendToLogLine(" ===> CRC OK", a);
    host.LogLine("next\r\nline");
    // The first line has been written out: a late append becomes a line of its own.
    host.AppendToLogLine(" ===> DONE", a);
    host.Finish();
    EXPECT_EQ(Output(), "== CRC checking: a.mp3 ===> CRC OK\nnext  line\n ===> DONE\n");
}

TEST_F(ConsoleHostTest, ColouredLinesUseTheAnsiColours) {
    ConsoleHost host(options, control, questioner, MakeSetup(true));
    host.LogColouredLine(LogColour::White, LogColour::Blue, "Processing x/");
    host.LogLine("plain");
    LogLineId red = host.LogColouredLine(LogColour::White, LogColour::Red, "red");
    host.AppendToLogLine("+", red);  // an append turns the line plain
    host.LogColouredLine(LogColour::White, LogColour::Olive, "olive");
    host.LogColouredLine(LogColour::White, LogColour::Teal, "teal");
    host.Finish();
    EXPECT_EQ(
        Output(),
        "\x1b[97;104mProcessing x/\x1b[0m\nplain\nred+\n\x1b[97;43molive\x1b[0m\n\x1b[97;46mteal\x1b[0m\n");
}

TEST_F(ConsoleHostTest, ConfirmationFollowsTheAnswerPolicy) {
    struct Row {
        AnswerPolicy policy;
        bool interactive;
        Answer userAnswer;
        int accepted;
        int rejected;
    };
    const Row rows[] = {
        {AnswerPolicy::Yes, false, Answer::No, 1, 0},  {AnswerPolicy::No, true, Answer::Yes, 0, 1},
        {AnswerPolicy::Ask, false, Answer::Yes, 0, 1}, {AnswerPolicy::Ask, true, Answer::Yes, 1, 0},
        {AnswerPolicy::Ask, true, Answer::No, 0, 1},
    };
    for (const Row& row : rows) {
        JobControl c;
        questioner.answer = row.userAnswer;
        ConsoleHost::Setup s = MakeSetup(false);
        s.answers = row.policy;
        s.interactive = row.interactive;
        ConsoleHost host(options, c, questioner, s);
        host.EnableAcceptReject(true);
        EXPECT_EQ(c.accepted.load(), row.accepted);
        EXPECT_EQ(c.rejected.load(), row.rejected);
    }
}

TEST_F(ConsoleHostTest, ClosingRefusesPendingQuestions) {
    ConsoleHost host(options, control, questioner, MakeSetup(false));
    control.shuttingDown = true;
    EXPECT_EQ(
        host.Ask(HostQuestion{"t", "c", Buttons::RetryCancel, platform::Icon::Exclamation, Answer::Retry}),
        Answer::Cancel);
    EXPECT_TRUE(questioner.questions.empty());
}

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe(fds), 0); }
    ~Pipe() {
        for (int fd : fds) {
            if (fd >= 0) ::close(fd);
        }
    }
    void Send(const std::string& text) {
        EXPECT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void CloseWrite() {
        ::close(fds[1]);
        fds[1] = -1;
    }
};

// Every policy, with and without a terminal, for every question that asks: the answer keys read
// (end of input refuses) with the prompt shown, or the answer given without reading. A retry
// with nobody to fix the cause would loop, so --yes goes on instead.
TEST(TerminalQuestionerTest, AnswersByPolicyAndKeys) {
    const char* const policies[] = {"ask", "yes", "no"};
    const char* const buttons[] = {"ok", "yes-no (yes)", "yes-no (no)", "retry-cancel", "abort-retry-ignore"};
    const char* const answers[] = {"Ok", "Yes", "No", "Retry", "Cancel", "Abort", "Ignore"};
    test::TempDir tmp;
    std::string out;
    for (int policy = 0; policy < 3; ++policy) {
        for (bool interactive : {true, false}) {
            for (int b = 1; b < 5; ++b) {
                const bool reads = policy == 0 && interactive;
                for (const char* input :
                     reads ? std::vector<const char*>{"y\n", "N\n", "\n", "x\nr\n", "\nc\n", "i\n", "a\n", ""}
                           : std::vector<const char*>{nullptr}) {
                    Pipe in;  // without input the pipe stays open: reading would block
                    if (input) {
                        in.Send(input);
                        in.CloseWrite();
                    }
                    std::FILE* prompts = std::fopen((tmp / "prompts").c_str(), "w");
                    TerminalQuestioner q(static_cast<AnswerPolicy>(policy), interactive, nullptr, in.fds[0],
                                         ::fileno(prompts));
                    const Answer a =
                        q.Ask("text", "CAPTION", static_cast<Buttons>(b), platform::Icon::Exclamation);
                    std::fclose(prompts);
                    out += std::string(policies[policy]) +
                           (interactive ? ", terminal, " : ", no terminal, ") + buttons[b] +
                           (input ? ", keys \"" + test::ReplaceAll(input, "\n", "\\n") + "\"" : "") + ": " +
                           answers[static_cast<int>(a)] +
                           "\n  shown: " + test::ReplaceAll(test::ReadFile(tmp / "prompts"), "\n", "\\n") +
                           "\n";
                }
            }
        }
    }
    test::ExpectGolden("cli/answers", out);
}

TEST(TerminalQuestionerTest, AMessageThatOnlyInformsIsShownWhateverTheAnswers) {
    test::TempDir tmp;
    for (AnswerPolicy policy : {AnswerPolicy::Yes, AnswerPolicy::No, AnswerPolicy::Ask}) {
        Pipe in;
        std::FILE* out = std::fopen((tmp / "out").c_str(), "w");
        TerminalQuestioner q(policy, false, nullptr, in.fds[0], ::fileno(out));
        EXPECT_EQ(q.Ask("line too long", "Warning !", Buttons::Ok, platform::Icon::Exclamation), Answer::Ok);
        std::fclose(out);
        EXPECT_EQ(test::ReadFile(tmp / "out"), "Warning !: line too long\n");
    }
}

TEST(TerminalQuestionerTest, CancelRefusesAWaitingQuestion) {
    Pipe in;
    std::atomic<bool> cancel{true};
    test::TempDir tmp;
    std::FILE* prompts = std::fopen((tmp / "p").c_str(), "w");
    TerminalQuestioner q(AnswerPolicy::Ask, true, &cancel, in.fds[0], ::fileno(prompts));
    EXPECT_EQ(q.Ask("t", "c", Buttons::YesNoDefaultYes, platform::Icon::Exclamation), Answer::No);
    std::fclose(prompts);
}

}  // namespace
}  // namespace kestrow
