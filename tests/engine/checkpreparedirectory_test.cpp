// The check/prepare pass against scripted steps and a recording host: step order, what each
// step result leads to, pause, abort, confirmation and the walk over subdirectories.
#include "engine/checkpreparedirectory.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/analysisreporter.h"
#include "engine/changereporter.h"
#include "engine/passoptions.h"
#include "tests/engine/fakehost.h"
#include "tests/engine/fakesteps.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::FakeHost;
using test::FakeSteps;
using test::TempDir;

const std::string kSep(76, '-');
const std::string kSep80(80, '-');
const std::string kEnd(124, '*');

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

    int Run(const std::string& path) {
        DirContents dir(path);
        EXPECT_TRUE(dir.Scan());
        PrepareDirJob job(dir);
        return CheckPrepareDirectory(job, context);
    }

    TempDir tmp;
    FakeHost host;
    JobControl control;
    FakeSteps steps;
    AnalysisReporter analysis{host, &control};
    ChangeReporter change{host, &control};
    PassContext context{host, control, steps, analysis, change, std::chrono::milliseconds(1)};
};

TEST_F(PassTest, RunsTheStepsInOrderAndFramesTheDirectory) {
    std::string root = Tree({});
    steps.scripts["root"].nothingToDo = false;
    steps.scripts["root"].plan = 0;
    host.options.prepareBackupTo = 1;
    EXPECT_EQ(Run(root), 0);
    std::vector<std::string> calls = {"check root flags=1", "plan root max=0 bits=0 tag-only",
                                      "apply root to=1", "tagline root [KSTW] check"};
    EXPECT_EQ(steps.calls, calls);
    std::vector<std::string> log = {"Processing " + root, kSep, kEnd};
    EXPECT_EQ(host.LogTexts(), log);
    EXPECT_EQ(host.log.At(0).foreground, LogColour::White);
    EXPECT_EQ(host.log.At(0).background, LogColour::Blue);
}

TEST_F(PassTest, NothingToDoSkipsApplyButTags) {
    std::string root = Tree({});
    Run(root);
    EXPECT_EQ(steps.calls.back(), "tagline root [KSTW] check");
    EXPECT_EQ(std::count_if(steps.calls.begin(), steps.calls.end(),
                            [](const std::string& c) { return c.rfind("apply", 0) == 0; }),
              0);
    std::vector<std::string> log = {"Processing " + root, kSep,
                                    "* No necessary modifications detected for this dir!", kSep, kEnd};
    EXPECT_EQ(host.LogTexts(), log);
}

TEST_F(PassTest, RefusedPlanningEndsWithoutApplyOrTagline) {
    std::string root = Tree({"A"});
    steps.scripts["root"] = test::Script(1, -2, false);
    EXPECT_EQ(Run(root), 0);
    std::vector<std::string> calls = {"check root flags=1", "plan root max=0 bits=0 tag-only"};
    EXPECT_EQ(steps.calls, calls);
    std::vector<std::string> log = {"Processing " + root, kSep,
                                    "* Progress in dir " + root + " ABORTED BY USER, no changes made!", kSep,
                                    kEnd};
    EXPECT_EQ(host.LogTexts(), log);
    EXPECT_TRUE(control.sawRefusal);
}

TEST_F(PassTest, ApplyFailuresAreLoggedAndTheTaglineStillRuns) {
    struct Row {
        int apply;
        std::string line;  // "" when nothing is logged
    };
    const std::string root = Tree({});
    const Row rows[] = {
        {-2, "* Failed to save Backupdata for dir " + root + " Progress ABORTED!"},
        {-1, "* INTERNAL ERROR: Failed to CREATE valid Backupdata for dir " + root +
                 " Progress ABORTED, no changes made!"},
        {-3, "* Progress in dir " + root +
                 " ABORTED, no changes made!. You need to manually REMOVE the stored backupdata!"},
        {1, ""},
        {-4, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.apply);
        FakeHost h;
        h.options = host.options;
        JobControl c;
        FakeSteps s;
        s.scripts["root"] = test::Script(1, 0, false, row.apply);
        PassContext ctx{h, c, s, analysis, change, std::chrono::milliseconds(1)};
        DirContents dir(root);
        dir.Scan();
        PrepareDirJob job(dir);
        CheckPrepareDirectory(job, ctx);
        std::vector<std::string> log = {"Processing " + root, kSep};
        if (!row.line.empty()) {
            log.push_back(row.line);
            log.push_back(kSep);
        }
        log.push_back(kEnd);
        EXPECT_EQ(h.LogTexts(), log);
        EXPECT_EQ(s.calls.back(), "tagline root [KSTW] check");
        EXPECT_EQ(c.accepted.load(), row.line.empty() ? 1 : 0);
        EXPECT_EQ(c.sawFailure.load(), !row.line.empty());
    }
}

TEST_F(PassTest, FailedCheckWithoutSubdirectoriesIsSkipped) {
    std::string root = Tree({});
    steps.scripts["root"].check = -1;
    EXPECT_EQ(Run(root), 0);
    std::vector<std::string> calls = {"check root flags=1"};
    EXPECT_EQ(steps.calls, calls);
    std::vector<std::string> log = {"Processing " + root, kSep,
                                    "* Progress ABORTED in directory: " + root + ", no changes made!", kSep,
                                    kEnd};
    EXPECT_EQ(host.LogTexts(), log);
}

// A parent whose check fails (it may hold backup data) is neither planned nor tagged, but its
// subdirectories are still processed.
TEST_F(PassTest, FailedCheckWithSubdirectoriesOnlyWalksThem) {
    std::string root = Tree({"A"});
    steps.scripts["root"].check = -1;
    Run(root);
    std::vector<std::string> calls = {"check root flags=1", "lists A", "check A flags=1",
                                      "plan A max=0 bits=0 tag-only", "tagline A [KSTW] check"};
    EXPECT_EQ(steps.calls, calls);
    // The parent says it was left alone, ends, and only then are its subdirectories entered.
    std::vector<std::string> log = {"Processing " + root,
                                    kSep,
                                    "* Progress ABORTED in directory: " + root + ", no changes made!",
                                    kSep,
                                    kEnd,
                                    "Processing subdir " + root + "A/",
                                    kSep,
                                    "Processing " + root + "A/",
                                    kSep,
                                    "* No necessary modifications detected for this dir!",
                                    kSep,
                                    kEnd};
    EXPECT_EQ(host.LogTexts(), log);
}

TEST_F(PassTest, TaglineFollowsTheCheckAndTaglineOptions) {
    struct Row {
        int crc;
        int generate;
        std::string call;  // "" when no tagline is written
    };
    const Row rows[] = {
        {0, 0, "tagline root [KSTW] nocheck"},
        {0, 1, "tagline root [KSTW] nocheck"},
        {1, 1, "tagline root [KSTW] check"},
        {1, 0, ""},
    };
    std::string root = Tree({});
    for (const Row& row : rows) {
        steps.calls.clear();
        host.options.PrepareCRCCheck = row.crc;
        host.options.GeneratePrepareTagline = row.generate;
        Run(root);
        bool tagged = steps.calls.back().rfind("tagline", 0) == 0;
        EXPECT_EQ(tagged ? steps.calls.back() : "", row.call) << row.crc << row.generate;
    }
}

TEST_F(PassTest, OptionsReachTheSteps) {
    std::string root = Tree({});
    host.options.Truncate = 1;
    host.options.TruncateMaxChars = 64;
    host.options.preserveRlsyear = 1;
    host.options.lastProcessOption = 1;
    host.options.ReplaceDots = 1;
    host.options.PrepareCRCCheck = 0;
    host.options.PrepareTaglineTrustExisting = 1;
    host.options.PrepareGenerateM3U = 1;
    Run(root);
    EXPECT_EQ(steps.calls[0], "check root flags=10");
    EXPECT_EQ(steps.calls[1], "plan root max=64 bits=32");
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
        EXPECT_EQ(RenameOptionBitsFor(o), row.needsTruncate ? 0u : 1u << row.bit) << row.bit;
        o.Truncate = 1;
        EXPECT_EQ(RenameOptionBitsFor(o), 1u << row.bit) << row.bit;
    }
    ProcessOptions o;
    o.preserveRlsyear = 0;
    EXPECT_EQ(RenameOptionBitsFor(o), 0u);
    o.Truncate = 1;
    EXPECT_EQ(RenameOptionBitsFor(o), 2u);
    EXPECT_EQ(MaxLengthFor(o), 0);
    o.TruncateMaxChars = 64;
    EXPECT_EQ(MaxLengthFor(o), 64);
    o.Truncate = 0;
    EXPECT_EQ(MaxLengthFor(o), 0);
}

// ---------------------------------------------------------------------------------------------
// Confirmation.

TEST_F(PassTest, ConfirmationWaitsForAccept) {
    std::string root = Tree({});
    host.options.ConfirmChanges = 1;
    steps.scripts["root"] = test::Script(1, 0, false);
    host.onEvent = [&](const std::string& e) {
        if (e == "accept/no on") control.accepted = 1;
    };
    Run(root);
    EXPECT_EQ(steps.calls[2], "apply root to=2");
    std::vector<std::string> tail(host.events.end() - 0, host.events.end());
    auto at = std::find(host.events.begin(), host.events.end(), "accept/no on");
    ASSERT_NE(at, host.events.end());
    std::vector<std::string> expected = {
        "accept/no on",
        "abort/pause off",
        "log * VERIFY THE SUGGESTED CHANGES FOR THIS DIR, HIT ACCEPT TO PROCEED!*",
        "log " + kSep80,
        "accept/no off",
        "abort/pause on"};
    EXPECT_EQ(std::vector<std::string>(at, at + 6), expected);
}

TEST_F(PassTest, ConfirmationOffDoesNotWait) {
    std::string root = Tree({});
    steps.scripts["root"] = test::Script(1, 0, false);
    Run(root);
    EXPECT_EQ(host.CountEvent("accept/no on"), 0u);
    EXPECT_EQ(steps.calls[2], "apply root to=2");
}

TEST_F(PassTest, RefusalEndsTheDirectoryAtOnce) {
    std::string root = Tree({"A"});
    host.options.ConfirmChanges = 1;
    steps.scripts["root"] = test::Script(1, 1, false);
    host.onEvent = [&](const std::string& e) {
        if (e == "accept/no on") control.rejected = 1;
    };
    EXPECT_EQ(Run(root), 0);
    std::vector<std::string> calls = {"check root flags=1", "plan root max=0 bits=0 tag-only"};
    EXPECT_EQ(steps.calls, calls);
    std::vector<std::string> log = {"Processing " + root, kSep,
                                    "* VERIFY THE SUGGESTED CHANGES FOR THIS DIR, HIT ACCEPT TO PROCEED!*",
                                    kSep80, "USER ABORTED!"};
    EXPECT_EQ(host.LogTexts(), log);
    EXPECT_EQ(host.log.At(4).background, LogColour::White);
    EXPECT_EQ(control.rejected.load(), 0);
    EXPECT_EQ(host.events.back(), "abort/pause on");
    EXPECT_TRUE(control.sawRefusal);
}

// ---------------------------------------------------------------------------------------------
// Subdirectories.

TEST_F(PassTest, SubdirectoriesAreVisitedLastFirst) {
    std::string root = Tree({"A", "B", "C"});
    Run(root);
    std::vector<std::string> checks;
    for (const auto& c : steps.calls) {
        if (c.rfind("check", 0) == 0) checks.push_back(c.substr(6, c.find(' ', 6) - 6));
    }
    EXPECT_EQ(checks, (std::vector<std::string>{"root", "C", "B", "A"}));
    std::vector<std::string> log = host.LogTexts();
    auto sub = std::find(log.begin(), log.end(), "Processing subdir " + root + "C/");
    ASSERT_NE(sub, log.end());
    EXPECT_EQ(*(sub + 1), kSep);
    EXPECT_EQ(*(sub + 2), "Processing " + root + "C/");
}

TEST_F(PassTest, ChildJobsGetParentTagsAndRules) {
    std::string root = Tree({"A"});
    host.options.preserveGrptag = 1;
    host.options.groupTags["GRP"] = "x";
    DirContents dir(root);
    dir.Scan();
    PrepareDirJob job(dir);
    SpecialFileRuleLists rules = BuildRuleLists({"DEL: x"});
    job.rules = &rules;
    CheckPrepareDirectory(job, context);
    EXPECT_EQ(steps.seen["A"].groupTags, &host.options.groupTags);
    EXPECT_EQ(steps.seen["A"].parent, &job);
    EXPECT_EQ(steps.seen["A"].rules, &rules);
}

TEST_F(PassTest, NoDescentWhenPlanningSaysSo) {
    std::string root = Tree({"A"});
    steps.scripts["root"].plan = 0;
    Run(root);
    EXPECT_EQ(steps.calls.size(), 3u);
}

TEST_F(PassTest, MissingSubdirectoryIsReportedAndSiblingsGoOn) {
    std::string root = Tree({"A", "B", "C"});
    steps.scripts["C"].onCheck = [&] { std::filesystem::remove(tmp / "root/B"); };
    Run(root);
    std::vector<std::string> log = host.LogTexts();
    std::string text = "Could not locate selected dir B, Directory skipped!";
    auto at = std::find(log.begin(), log.end(), text);
    ASSERT_NE(at, log.end());
    EXPECT_EQ(host.log.At(static_cast<std::size_t>(at - log.begin())).background, LogColour::Red);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0].caption, "WARNING");
    EXPECT_EQ(host.questions[0].text, text);
    EXPECT_EQ(host.questions[0].buttons, platform::Buttons::Ok);
    EXPECT_NE(std::find(steps.calls.begin(), steps.calls.end(), "check A flags=1"), steps.calls.end());
    EXPECT_TRUE(control.sawUnreadableDir);
}

TEST_F(PassTest, UnreadableSubdirectoryIsNotTakenForAnEmptyOne) {
    std::string root = Tree({"A"});
    steps.unreadable.insert("A");
    Run(root);
    EXPECT_NE(std::find(host.events.begin(), host.events.end(),
                        "log Could not locate selected dir A, Directory skipped!"),
              host.events.end());
    EXPECT_EQ(std::find(steps.calls.begin(), steps.calls.end(), "check A flags=1"), steps.calls.end());
}

TEST_F(PassTest, LinkBackUpTheTreeIsNotEntered) {
    std::string root = Tree({"A"});
    std::filesystem::create_directory_symlink(tmp / "root", tmp / "root/A/up");
    Run(root);
    EXPECT_EQ(std::count_if(steps.calls.begin(), steps.calls.end(),
                            [](const std::string& c) { return c.rfind("check", 0) == 0; }),
              2);
}

// ---------------------------------------------------------------------------------------------
// Pause and abort.

TEST_F(PassTest, PauseAtEntryHoldsUntilContinued) {
    std::string root = Tree({});
    control.pauseRequested = true;
    host.onEvent = [&](const std::string& e) {
        if (e == "caption Continue!") control.pauseRequested = false;
    };
    EXPECT_EQ(Run(root), 0);
    std::vector<std::string> log = host.LogTexts();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "* USER PAUSED EXECUTION, Hit Continue or Abort to proceed*");
    EXPECT_EQ(host.log.At(0).background, LogColour::Red);
    EXPECT_EQ(log[1], kSep80);
    EXPECT_EQ(log[2], "Processing " + root);
    EXPECT_EQ(log.back(), kEnd);
    EXPECT_EQ(host.events[0], "abort/pause on");
}

TEST_F(PassTest, PauseDuringCheckHoldsAtDirectoryEndAndKeepsTheResult) {
    std::string root = Tree({"A"});
    steps.scripts["A"].onCheck = [&] { control.pauseRequested = true; };
    host.onEvent = [&](const std::string& e) {
        if (e == "caption Continue!") control.pauseRequested = false;
    };
    Run(root);
    std::vector<std::string> log = host.LogTexts();
    // The root ends first (its subdirectories are walked after its end line); A's end line is
    // followed by the hold.
    std::vector<std::string> tail(log.end() - 3, log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{
                        kEnd, "* USER PAUSED EXECUTION, Hit Continue or Abort to proceed*", kSep80}));
    EXPECT_EQ(std::count(log.begin(), log.end(), kEnd), 2);
    EXPECT_EQ(std::count(log.begin(), log.end(), "USER ABORTED!"), 0);
}

TEST_F(PassTest, AbortDuringADeepHoldIsReportedOnce) {
    std::string root = Tree({"A", "B", "B/x"});
    steps.scripts["x"].onCheck = [&] { control.pauseRequested = true; };
    host.onEvent = [&](const std::string& e) {
        if (e == "caption Continue!") control.abortRequested = true;
    };
    EXPECT_EQ(Run(root), 0);
    std::vector<std::string> log = host.LogTexts();
    EXPECT_EQ(std::count(log.begin(), log.end(), "USER ABORTED!"), 1);
    EXPECT_EQ(std::find(steps.calls.begin(), steps.calls.end(), "check A flags=1"), steps.calls.end());
    EXPECT_TRUE(control.abortReported);
}

TEST_F(PassTest, AbortBeforeEntryLogsOnceInRed) {
    std::string root = Tree({"A"});
    control.abortRequested = true;
    EXPECT_EQ(Run(root), 0);
    EXPECT_TRUE(steps.calls.empty());
    EXPECT_EQ(host.LogTexts(), std::vector<std::string>{"USER ABORTED!"});
    EXPECT_EQ(host.log.At(0).background, LogColour::Red);
    // The next selected directory of the job returns silently.
    EXPECT_EQ(Run(root), 0);
    EXPECT_EQ(host.log.Size(), 1u);
}

TEST_F(PassTest, AbortDuringCheckStopsTheWalk) {
    std::string root = Tree({"A", "B"});
    steps.scripts["B"].onCheck = [&] { control.abortRequested = true; };
    Run(root);
    EXPECT_EQ(std::find(steps.calls.begin(), steps.calls.end(), "check A flags=1"), steps.calls.end());
    std::vector<std::string> log = host.LogTexts();
    EXPECT_EQ(std::count(log.begin(), log.end(), "USER ABORTED!"), 1);
}

// An abort already reported in an earlier job must not keep a new hold from ending.
TEST_F(PassTest, AbortEndsAHoldEvenWhenAlreadyReported) {
    std::string root = Tree({});
    control.abortReported = true;
    control.pauseRequested = true;
    host.onEvent = [&](const std::string& e) {
        if (e == "caption Continue!") control.abortRequested = true;
    };
    EXPECT_EQ(Run(root), 0);
    EXPECT_TRUE(steps.calls.empty());
}

}  // namespace
}  // namespace kestrow
