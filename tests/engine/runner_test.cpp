// The job runner over selected directories, with a pass worker per directory.
#include "engine/cprocesscontrolthread.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/analysisreporter.h"
#include "engine/changereporter.h"
#include "engine/cprocessthread.h"
#include "tests/engine/fakehost.h"
#include "tests/engine/fakesteps.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::FakeHost;
using test::FakeSteps;
using test::TempDir;

class RunnerTest : public ::testing::Test {
protected:
    RunnerTest() {
        for (const char* d : {"A", "B", "C"}) test::MakeDirs(tmp / d);
        host.currentFolder = tmp.path() + "/";
        host.options.lastProcessOption = 1;
        runner.Attach(context);
    }

    std::vector<std::string> Checked() const {
        std::vector<std::string> out;
        for (const auto& c : steps.calls) {
            if (c.rfind("check ", 0) == 0) out.push_back(c.substr(6, c.find(' ', 6) - 6));
        }
        return out;
    }

    TempDir tmp;
    FakeHost host;
    JobControl control;
    FakeSteps steps;
    AnalysisReporter analysis{host, &control};
    ChangeReporter change{host, &control};
    PassContext context{host, control, steps, analysis, change, std::chrono::milliseconds(1)};
    CProcessControlThread runner;
};

TEST_F(RunnerTest, ProcessesSelectedDirectoriesInOrder) {
    host.selected = {"A", "C"};
    EXPECT_EQ(runner.Run(), 0);
    EXPECT_EQ(Checked(), (std::vector<std::string>{"A", "C"}));
    std::vector<std::string> states;
    for (const auto& e : host.events) {
        if (e.rfind("state", 0) == 0 || e == "refill" || e.rfind("abort/pause", 0) == 0) states.push_back(e);
    }
    EXPECT_EQ(states, (std::vector<std::string>{"state running", "abort/pause on", "abort/pause off",
                                                "refill", "state idle"}));
    EXPECT_EQ(host.CountEvent("close"), 0u);
}

TEST_F(RunnerTest, NothingSelectedShowsTheMessageOnly) {
    EXPECT_EQ(runner.Run(), 0);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0].text, "Please select the directories you wish to process!");
    EXPECT_EQ(host.questions[0].caption, "No selection");
    EXPECT_EQ(host.questions[0].icon, platform::Icon::Information);
    EXPECT_EQ(host.events.back(), "state idle");
    EXPECT_EQ(host.CountEvent("state running"), 0u);
    EXPECT_TRUE(steps.calls.empty());
}

TEST_F(RunnerTest, VanishedDirectoryIsSkippedAndTheNextProcessed) {
    host.selected = {"A", "B"};
    std::filesystem::rename(tmp / "A", tmp / "A2");
    runner.Run();
    EXPECT_EQ(Checked(), std::vector<std::string>{"B"});
    EXPECT_EQ(host.LogTexts()[0], "Could not locate selected dir A, Directory skipped!");
    EXPECT_EQ(host.log.At(0).background, LogColour::Red);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0].caption, "WARNING");
    EXPECT_TRUE(control.sawUnreadableDir);
}

// The folder is read again when a name is missing from the runner's view of it after a pass.
TEST_F(RunnerTest, FolderIsReadAgainForANameThatAppearedDuringTheJob) {
    host.selected = {"A", "D", "B"};
    steps.scripts["A"].onCheck = [&] {
        test::MakeDirs(tmp / "D");
        std::filesystem::remove(tmp / "B");
    };
    runner.Run();
    EXPECT_EQ(Checked(), (std::vector<std::string>{"A", "D"}));
    std::vector<std::string> log = host.LogTexts();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Could not locate selected dir B, Directory skipped!"), 1);
}

TEST_F(RunnerTest, DirectoryWhoseScanFailsIsReportedNotEmpty) {
    host.selected = {"A", "B"};
    steps.unreadable.insert("A");
    runner.Run();
    EXPECT_EQ(Checked(), std::vector<std::string>{"B"});
    EXPECT_EQ(host.LogTexts()[0], "Could not locate selected dir A, Directory skipped!");
}

TEST_F(RunnerTest, AbortDuringSecondDirectoryStillStartsTheThird) {
    host.selected = {"A", "B", "C"};
    steps.scripts["B"].onCheck = [&] { control.abortRequested = true; };
    runner.Run();
    EXPECT_EQ(Checked(), (std::vector<std::string>{"A", "B"}));
    // C's job was built (its lists loaded) and its pass returned at once.
    EXPECT_EQ(steps.calls.back(), "lists C");
    std::vector<std::string> log = host.LogTexts();
    EXPECT_EQ(std::count(log.begin(), log.end(), "USER ABORTED!"), 1);
    EXPECT_EQ(host.events.back(), "state idle");
}

TEST_F(RunnerTest, FlagsAreClearedAtJobStart) {
    host.selected = {"A"};
    control.abortRequested = true;
    control.pauseRequested = true;
    control.abortReported = true;
    runner.Run();
    EXPECT_EQ(Checked(), std::vector<std::string>{"A"});
}

TEST_F(RunnerTest, AcceptedFollowsConfirmChanges) {
    host.selected = {"A"};
    host.options.ConfirmChanges = 1;
    control.accepted = 1;
    steps.scripts["A"] = test::Script(1, 0, false);
    host.onEvent = [&](const std::string& e) {
        if (e == "accept/no on") {
            EXPECT_EQ(control.accepted.load(), 0);
            control.rejected = 1;
        }
    };
    runner.Run();
    EXPECT_EQ(host.CountEvent("accept/no on"), 1u);
    EXPECT_EQ(std::count_if(steps.calls.begin(), steps.calls.end(),
                            [](const std::string& c) { return c.rfind("apply", 0) == 0; }),
              0);
}

TEST_F(RunnerTest, RuleListsOnlyForCheckPrepareWithSpecialFiles) {
    struct Row {
        int option;
        int deleteTempFiles;
        bool built;
    };
    const Row rows[] = {{1, 1, true}, {1, 0, false}, {2, 1, false}};
    for (const Row& row : rows) {
        FakeHost h;
        h.currentFolder = host.currentFolder;
        h.selected = {"A"};
        h.options.lastProcessOption = row.option;
        h.options.DeleteTempFiles = row.deleteTempFiles;
        h.options.specialFileLines = {"TRC: long.nfo", "ZZZ: x"};
        JobControl c;
        FakeSteps s;
        PassContext ctx{h, c, s, analysis, change, std::chrono::milliseconds(1)};
        const SpecialFileRuleLists* seen = nullptr;
        bool hadTruncate = false;
        s.scripts["A"].onCheck = [&] {
            seen = c.prepareJob->rules;
            hadTruncate = seen && seen->truncateNames && (*seen->truncateNames)[0] == "long.nfo";
        };
        CProcessControlThread r;
        r.Attach(ctx);
        r.Run();
        EXPECT_EQ(seen, &c.rules);
        EXPECT_EQ(hadTruncate, row.built) << row.option << row.deleteTempFiles;
        // Released at the end of the job.
        EXPECT_TRUE(c.rules.Empty());
    }
}

TEST_F(RunnerTest, UnattendedRunProcessesTheNamedDirectoryAndCloses) {
    host.selected = {"A"};
    control.commandLineMode = "C";
    control.commandLineDir = tmp / "B/";
    control.commandLineName = "B";
    runner.Run();
    EXPECT_EQ(Checked(), std::vector<std::string>{"B"});
    EXPECT_EQ(host.events.back(), "close");
}

TEST_F(RunnerTest, UnattendedRunWithoutNameSelectsEverything) {
    control.commandLineMode = "C";
    control.commandLineDir = tmp.path() + "/";
    host.onEvent = [&](const std::string& e) {
        if (e == "select all") host.selected = {"A", "B", "C"};
    };
    runner.Run();
    EXPECT_EQ(Checked(), (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(RunnerTest, RunsOnItsOwnThread) {
    host.selected = {"B"};
    runner.Start();
    runner.Join();
    EXPECT_EQ(Checked(), std::vector<std::string>{"B"});
}

TEST(WorkerTest, NothingAttachedEndsWithMinusOne) {
    CProcessControlThread runner;
    EXPECT_EQ(runner.Run(), -1);
    CProcessThread worker;
    EXPECT_EQ(worker.Run(), -1);
}

}  // namespace
}  // namespace kestrow
