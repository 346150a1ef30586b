// The job runner over selected directories, with a pass worker per directory.
#include "engine/cprocesscontrolthread.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/analysisreporter.h"
#include "engine/changereporter.h"
#include "tests/engine/fakehost.h"
#include "tests/engine/fakesteps.h"
#include "tests/support/golden.h"
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

    // The run's step calls, window events and questions as a golden transcript.
    void Golden(int result) {
        std::string t = "result " + std::to_string(result) + "\n";
        for (const auto& c : steps.calls) t += "  call " + c + "\n";
        t += host.Transcript();
        for (const auto& q : host.questions)
            t += std::string("  box ") +
                 (q.icon == platform::Icon::Information ? "information" : "exclamation") + "\n";
        t += std::string("  flags") + (control.sawUnreadableDir ? " unreadable" : "") +
             (control.sawRefusal ? " refusal" : "") + "\n";
        test::ExpectGolden(
            std::string("runner/") + testing::UnitTest::GetInstance()->current_test_info()->name(),
            test::ReplaceAll(t, tmp.path(), "<TMP>"));
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
    Golden(runner.Run());
}

TEST_F(RunnerTest, NothingSelectedShowsTheMessageOnly) {
    Golden(runner.Run());
}

TEST_F(RunnerTest, VanishedDirectoryIsSkippedAndTheNextProcessed) {
    host.selected = {"A", "B"};
    std::filesystem::rename(tmp / "A", tmp / "A2");
    Golden(runner.Run());
}

// The folder is read again when a name is missing from the runner's view of it after a pass.
TEST_F(RunnerTest, FolderIsReadAgainForANameThatAppearedDuringTheJob) {
    host.selected = {"A", "D", "B"};
    steps.scripts["A"].onCheck = [&] {
        test::MakeDirs(tmp / "D");
        std::filesystem::remove(tmp / "B");
    };
    Golden(runner.Run());
}

TEST_F(RunnerTest, DirectoryWhoseScanFailsIsReportedNotEmpty) {
    host.selected = {"A", "B"};
    steps.unreadable.insert("A");
    Golden(runner.Run());
}

TEST_F(RunnerTest, AbortDuringSecondDirectoryStillStartsTheThird) {
    host.selected = {"A", "B", "C"};
    steps.scripts["B"].onCheck = [&] { control.abortRequested = true; };
    // C's job is built (its lists loaded) and its pass returns at once.
    Golden(runner.Run());
}

TEST_F(RunnerTest, FlagsAreClearedAtJobStart) {
    host.selected = {"A"};
    control.abortRequested = true;
    control.pauseRequested = true;
    control.abortReported = true;
    Golden(runner.Run());
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
    Golden(runner.Run());
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
    Golden(runner.Run());
}

TEST_F(RunnerTest, UnattendedRunWithoutNameSelectsEverything) {
    control.commandLineMode = "C";
    control.commandLineDir = tmp.path() + "/";
    host.onEvent = [&](const std::string& e) {
        if (e == "select all") host.selected = {"A", "B", "C"};
    };
    Golden(runner.Run());
}

}  // namespace
}  // namespace kestrow
