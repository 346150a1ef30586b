// The check/prepare pass against scripted steps and a recording host: step order, what each
// step result leads to, pause, abort, confirmation and the walk over subdirectories. Each
// scenario's step calls, window events and log lines are a golden transcript under
// tests/golden/pass.
#include "engine/checkpreparedirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/analysisreporter.h"
#include "engine/changereporter.h"
#include "engine/passoptions.h"
#include "rename/renameoptions.h"
#include "tests/engine/fakehost.h"
#include "tests/engine/fakesteps.h"
#include "tests/support/golden.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::FakeHost;
using test::FakeSteps;
using Lines = std::vector<std::string>;

class PassTest : public ::testing::Test {
protected:
    PassTest() {
        host.options.PrepareCRCCheck = 1;
        host.options.GeneratePrepareTagline = 1;
        host.options.TaglinePrefix = "[KSTW]";
    }

    // Makes root/<each name> and returns the root's path with its slash.
    std::string Tree(std::initializer_list<std::string> subdirs) {
        test::MakeDirs(tmp / "root");
        for (const auto& s : subdirs) test::MakeDirs(tmp / ("root/" + s));
        return tmp / "root/";
    }

    // Runs the pass on `path` and adds its calls, events and outcome to the transcript.
    int Run(const std::string& path, const std::string& title = "run") {
        DirContents dir(path);
        EXPECT_TRUE(dir.Scan());
        PrepareDirJob job(dir);
        if (rules) job.rules = rules;
        const int result = CheckPrepareDirectory(job, context);
        Record(title, result);
        return result;
    }

    void Record(const std::string& title, int result) {
        transcript += "== " + title + ": result " + std::to_string(result) + "\n";
        for (const auto& c : steps.calls) transcript += "  call " + c + "\n";
        transcript += test::ReplaceAll(host.Transcript(), tmp.path(), "<TMP>");
        for (const auto& q : host.questions) transcript += "  box " + std::to_string(int(q.buttons)) + "\n";
        transcript += std::string("  flags") + (control.sawRefusal ? " refusal" : "") +
                      (control.sawFailure ? " failure" : "") +
                      (control.sawUnreadableDir ? " unreadable" : "") +
                      (control.abortReported ? " abort-reported" : "") +
                      " accepted=" + std::to_string(control.accepted.load()) + "\n";
        steps.calls.clear();
        host.events.clear();
        host.questions.clear();
        host.log.Clear();
    }

    void Golden() {
        test::ExpectGolden(
            std::string("pass/") + ::testing::UnitTest::GetInstance()->current_test_info()->name(),
            transcript);
    }

    void OnCaption(std::function<void()> act) {
        host.onEvent = [act](const std::string& e) {
            if (e == "caption Continue!") act();
        };
    }

    test::TempDir tmp;
    FakeHost host;
    JobControl control;
    FakeSteps steps;
    AnalysisReporter analysis{host, &control};
    ChangeReporter change{host, &control};
    PassContext context{host, control, steps, analysis, change, std::chrono::milliseconds(1)};
    const SpecialFileRuleLists* rules = nullptr;
    std::string transcript;
};

// Planning that returns 0 keeps the pass out of the subdirectory.
TEST_F(PassTest, RunsTheStepsInOrderAndFramesTheDirectory) {
    std::string root = Tree({"A"});
    steps.scripts["root"] = test::Script(1, 0, false);
    host.options.prepareBackupTo = 1;
    Run(root);
    Golden();
}

TEST_F(PassTest, StepResultsThatEndTheDirectoryEarly) {
    const std::string root = Tree({"A"});
    steps.scripts["root"] = test::Script(1, 0, true);
    Run(root, "nothing to do");
    steps.scripts["root"] = test::Script(1, -2, false);
    Run(root, "planning refused");
    std::filesystem::remove(tmp / "root/A");
    steps.scripts["root"] = test::Script(-1, 0, false);
    Run(root, "check failed");
    Golden();
}

TEST_F(PassTest, ApplyFailuresAreLoggedAndTheTaglineStillRuns) {
    const std::string root = Tree({});
    for (int apply : {-2, -1, -3, -4, 1, -6}) {
        control.ResetOutcome();
        control.accepted = 0;
        steps.scripts["root"] = test::Script(1, 0, false, apply);
        Run(root, "apply " + std::to_string(apply));
    }
    Golden();
}

// A parent whose check fails (it may hold backup data) is neither planned nor tagged, but its
// subdirectories are still processed after its end line.
TEST_F(PassTest, FailedCheckWithSubdirectoriesOnlyWalksThem) {
    std::string root = Tree({"A"});
    steps.scripts["root"].check = -1;
    Run(root);
    Golden();
}

TEST_F(PassTest, TaglineAndStepArgumentsFollowTheOptions) {
    std::string root = Tree({});
    for (int crc : {0, 1}) {
        for (int generate : {0, 1}) {
            host.options.PrepareCRCCheck = crc;
            host.options.GeneratePrepareTagline = generate;
            Run(root, "crc " + std::to_string(crc) + " tagline " + std::to_string(generate));
        }
    }
    host.options.Truncate = 1;
    host.options.TruncateMaxChars = 64;
    host.options.preserveRlsyear = 1;
    host.options.lastProcessOption = 1;
    host.options.ReplaceDots = 1;
    host.options.PrepareCRCCheck = 0;
    host.options.PrepareTaglineTrustExisting = 1;
    host.options.PrepareGenerateM3U = 1;
    Run(root, "renaming options");
    Golden();
}

TEST(PassOptionsTest, RenameOptionBits) {
    struct Row {
        int ProcessOptions::*field;
        bool needsTruncate;
        unsigned bit;
    };
    const Row rows[] = {
        {&ProcessOptions::preserveGrptag, true, 0},
        {&ProcessOptions::preserveVAtag, true, 2},
        {&ProcessOptions::preserveVAtagException1, true, 3},
        {&ProcessOptions::StripVAtagDirs, false, 4},
        {&ProcessOptions::ReplaceDots, false, 5},
        {&ProcessOptions::StripTHEtagDirs, false, 6},
        {&ProcessOptions::StripTHEtagDirsMove, false, 7},
        {&ProcessOptions::StripTHEtagDirsMoveAddBrackets, false, 8},
        {&ProcessOptions::RemoveDotsInDirs, false, 9},
        {&ProcessOptions::RemoveDotsInDirsFrontOnly, false, 10},
    };
    for (const Row& row : rows) {
        ProcessOptions o;
        o.*row.field = 1;
        EXPECT_EQ(RenameOptions::FromSettings(o).Bits(), row.needsTruncate ? 0u : 1u << row.bit) << row.bit;
        o.Truncate = 1;
        EXPECT_EQ(RenameOptions::FromSettings(o).Bits(), 1u << row.bit) << row.bit;
    }
    ProcessOptions o;
    o.preserveRlsyear = 0;
    EXPECT_EQ(RenameOptions::FromSettings(o).Bits(), 0u);
    o.Truncate = 1;
    EXPECT_EQ(RenameOptions::FromSettings(o).Bits(), 2u);
    EXPECT_EQ(MaxLengthFor(o), 0);
    o.TruncateMaxChars = 64;
    EXPECT_EQ(MaxLengthFor(o), 64);
    o.Truncate = 0;
    EXPECT_EQ(MaxLengthFor(o), 0);
}

// Accepted, the plan is applied; refused, the directory ends at once.
TEST_F(PassTest, ConfirmationWaitsForAcceptOrRefusal) {
    std::string root = Tree({"A"});
    host.options.ConfirmChanges = 1;
    steps.scripts["root"] = test::Script(1, 0, false);
    host.onEvent = [&](const std::string& e) {
        if (e == "accept/no on") control.accepted = 1;
    };
    Run(root, "accepted");
    steps.scripts["root"] = test::Script(1, 1, false);
    host.onEvent = [&](const std::string& e) {
        if (e == "accept/no on") control.rejected = 1;
    };
    Run(root, "refused");
    EXPECT_EQ(control.rejected.load(), 0);
    Golden();
}

TEST_F(PassTest, SubdirectoriesAreVisitedLastFirstWithParentTagsAndRules) {
    std::string root = Tree({"A", "B", "C"});
    host.options.preserveGrptag = 1;
    host.options.groupTags["GRP"] = "x";
    SpecialFileRuleLists lists = BuildRuleLists({"DEL: x"});
    rules = &lists;
    Run(root);
    EXPECT_EQ(steps.seen["A"].groupTags, &host.options.groupTags);
    EXPECT_EQ(steps.seen["A"].parent, "root");
    EXPECT_EQ(steps.seen["A"].rules, &lists);
    Golden();
}

// A subdirectory gone or unreadable is reported, never taken for an empty one; the siblings go
// on and a link back up the tree is not entered.
TEST_F(PassTest, MissingUnreadableAndLinkedSubdirectories) {
    std::string root = Tree({"A", "B", "C"});
    std::filesystem::create_directory_symlink(tmp / "root", tmp / "root/A/up");
    steps.scripts["C"].onCheck = [&] { std::filesystem::remove(tmp / "root/B"); };
    Run(root, "B removed while C is checked");
    steps.scripts["C"].onCheck = nullptr;
    steps.unreadable.insert("A");
    Run(root, "A unreadable");
    Golden();
}

TEST_F(PassTest, PauseAtEntryHoldsUntilContinued) {
    std::string root = Tree({});
    control.pauseRequested = true;
    OnCaption([&] { control.pauseRequested = false; });
    Run(root);
    Golden();
}

// The root ends first (its subdirectories are walked after its end line); A's end line is
// followed by the hold.
TEST_F(PassTest, PauseDuringCheckHoldsAtDirectoryEndAndKeepsTheResult) {
    std::string root = Tree({"A"});
    steps.scripts["A"].onCheck = [&] { control.pauseRequested = true; };
    OnCaption([&] { control.pauseRequested = false; });
    Run(root);
    Golden();
}

TEST_F(PassTest, AbortDuringADeepHoldIsReportedOnce) {
    std::string root = Tree({"A", "B", "B/x"});
    steps.scripts["x"].onCheck = [&] { control.pauseRequested = true; };
    OnCaption([&] { control.abortRequested = true; });
    Run(root);
    Golden();
}

// The next selected directory of the job returns silently.
TEST_F(PassTest, AbortBeforeEntryLogsOnceInRed) {
    std::string root = Tree({"A"});
    control.abortRequested = true;
    Run(root, "first");
    Run(root, "second");
    Golden();
}

TEST_F(PassTest, AbortDuringCheckStopsTheWalk) {
    std::string root = Tree({"A", "B"});
    steps.scripts["B"].onCheck = [&] { control.abortRequested = true; };
    Run(root);
    Golden();
}

// Once the directory was checked, an abort keeps the apply and the tagline from starting and is
// logged as a refusal is.
TEST_F(PassTest, AbortDuringCheckPreventsTheApplyAndTheTagline) {
    std::string root = Tree({});
    steps.scripts["root"] = test::Script(1, 0, false);
    steps.scripts["root"].onCheck = [&] { control.abortRequested = true; };
    Run(root);
    Golden();
}

// An abort already reported in an earlier job must not keep a new hold from ending.
TEST_F(PassTest, AbortEndsAHoldEvenWhenAlreadyReported) {
    std::string root = Tree({});
    control.abortReported = true;
    control.pauseRequested = true;
    OnCaption([&] { control.abortRequested = true; });
    Run(root);
    Golden();
}

}  // namespace
}  // namespace kestrow
