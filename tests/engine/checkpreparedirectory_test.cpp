// The check/prepare pass against scripted steps and a recording host: step order, what each
// step result leads to, pause, abort, confirmation and the walk over subdirectories.
#include "engine/checkpreparedirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
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
using Lines = std::vector<std::string>;

const std::string kSep(76, '-');
const std::string kSep80(80, '-');
const std::string kEnd(124, '*');
const std::string kPaused = "* USER PAUSED EXECUTION, Hit Continue or Abort to proceed*";
const std::string kVerify = "* VERIFY THE SUGGESTED CHANGES FOR THIS DIR, HIT ACCEPT TO PROCEED!*";

long Count(const Lines& lines, const std::string& line) {
    return std::count(lines.begin(), lines.end(), line);
}
long CountPrefix(const Lines& lines, const std::string& prefix) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

// A directory's log: its header, the given lines each closed by a separator, and its end line.
Lines Framed(const std::string& path, const Lines& middle) {
    Lines out = {"Processing " + path, kSep};
    for (const auto& line : middle) {
        out.push_back(line);
        out.push_back(kSep);
    }
    out.push_back(kEnd);
    return out;
}

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
};

// Planning that returns 0 keeps the pass out of the subdirectory.
TEST_F(PassTest, RunsTheStepsInOrderAndFramesTheDirectory) {
    std::string root = Tree({"A"});
    steps.scripts["root"] = test::Script(1, 0, false);
    host.options.prepareBackupTo = 1;
    EXPECT_EQ(Run(root), 0);
    EXPECT_EQ(steps.calls, (Lines{"check root flags=1", "plan root max=0 bits=0 tag-only", "apply root to=1",
                                  "tagline root [KSTW] check"}));
    EXPECT_EQ(host.LogTexts(), Framed(root, {}));
    EXPECT_EQ(host.log.At(0).foreground, LogColour::White);
    EXPECT_EQ(host.log.At(0).background, LogColour::Blue);
    EXPECT_EQ(host.CountEvent("accept/no on"), 0u);
}

TEST_F(PassTest, StepResultsThatEndTheDirectoryEarly) {
    struct Row {
        test::DirScript script;
        bool subdir;
        Lines calls;
        std::string line;
        bool refusal;
    };
    const std::string root = tmp / "root/";
    const Row rows[] = {
        {test::Script(1, 0, true),
         true,
         {"check root flags=1", "plan root max=0 bits=0 tag-only", "tagline root [KSTW] check"},
         "* No necessary modifications detected for this dir!",
         false},
        {test::Script(1, -2, false),
         true,
         {"check root flags=1", "plan root max=0 bits=0 tag-only"},
         "* Progress in dir " + root + " ABORTED BY USER, no changes made!",
         true},
        {test::Script(-1, 0, false),
         false,
         {"check root flags=1"},
         "* Progress ABORTED in directory: " + root + ", no changes made!",
         true},
    };
    Tree({});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        steps.calls.clear();
        host.log.Clear();
        control.sawRefusal = false;
        steps.scripts["root"] = row.script;
        if (row.subdir)
            test::MakeDirs(tmp / "root/A");
        else
            std::filesystem::remove(tmp / "root/A");
        EXPECT_EQ(Run(root), 0);
        EXPECT_EQ(steps.calls, row.calls);
        EXPECT_EQ(host.LogTexts(), Framed(root, {row.line}));
        EXPECT_EQ(control.sawRefusal.load(), row.refusal);
    }
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
                 " ABORTED before any rename. You need to manually REMOVE the stored backupdata!"},
        {-4, "* Progress in dir " + root + " ABORTED, no changes made!"},
        {1, ""},
        {-6, ""},
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
        EXPECT_EQ(h.LogTexts(), Framed(root, row.line.empty() ? Lines{} : Lines{row.line}));
        EXPECT_EQ(s.calls.back(), "tagline root [KSTW] check");
        EXPECT_EQ(c.accepted.load(), row.line.empty() ? 1 : 0);
        EXPECT_EQ(c.sawFailure.load(), !row.line.empty());
    }
}

// A parent whose check fails (it may hold backup data) is neither planned nor tagged, but its
// subdirectories are still processed after its end line.
TEST_F(PassTest, FailedCheckWithSubdirectoriesOnlyWalksThem) {
    std::string root = Tree({"A"});
    steps.scripts["root"].check = -1;
    Run(root);
    EXPECT_EQ(steps.calls, (Lines{"check root flags=1", "lists A", "check A flags=1",
                                  "plan A max=0 bits=0 tag-only", "tagline A [KSTW] check"}));
    Lines log = Framed(root, {"* Progress ABORTED in directory: " + root + ", no changes made!"});
    log.insert(log.end(), {"Processing subdir " + root + "A/", kSep});
    for (const auto& line : Framed(root + "A/", {"* No necessary modifications detected for this dir!"}))
        log.push_back(line);
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
    auto at = std::find(host.events.begin(), host.events.end(), "accept/no on");
    ASSERT_LE(at - host.events.begin() + 6, static_cast<long>(host.events.size()));
    EXPECT_EQ(Lines(at, at + 6), (Lines{"accept/no on", "abort/pause off", "log " + kVerify, "log " + kSep80,
                                        "accept/no off", "abort/pause on"}));
}

TEST_F(PassTest, RefusalEndsTheDirectoryAtOnce) {
    std::string root = Tree({"A"});
    host.options.ConfirmChanges = 1;
    steps.scripts["root"] = test::Script(1, 1, false);
    host.onEvent = [&](const std::string& e) {
        if (e == "accept/no on") control.rejected = 1;
    };
    EXPECT_EQ(Run(root), 0);
    EXPECT_EQ(steps.calls, (Lines{"check root flags=1", "plan root max=0 bits=0 tag-only"}));
    EXPECT_EQ(host.LogTexts(), (Lines{"Processing " + root, kSep, kVerify, kSep80, "USER ABORTED!"}));
    EXPECT_EQ(host.log.At(4).background, LogColour::White);
    EXPECT_EQ(control.rejected.load(), 0);
    EXPECT_EQ(host.events.back(), "abort/pause on");
    EXPECT_TRUE(control.sawRefusal);
}

// Subdirectories.

TEST_F(PassTest, SubdirectoriesAreVisitedLastFirstWithParentTagsAndRules) {
    std::string root = Tree({"A", "B", "C"});
    host.options.preserveGrptag = 1;
    host.options.groupTags["GRP"] = "x";
    DirContents dir(root);
    dir.Scan();
    PrepareDirJob job(dir);
    SpecialFileRuleLists rules = BuildRuleLists({"DEL: x"});
    job.rules = &rules;
    CheckPrepareDirectory(job, context);
    Lines checks;
    for (const auto& c : steps.calls) {
        if (c.rfind("check", 0) == 0) checks.push_back(c.substr(6, c.find(' ', 6) - 6));
    }
    EXPECT_EQ(checks, (Lines{"root", "C", "B", "A"}));
    Lines log = host.LogTexts();
    auto sub = std::find(log.begin(), log.end(), "Processing subdir " + root + "C/");
    ASSERT_LE(sub - log.begin() + 3, static_cast<long>(log.size()));
    EXPECT_EQ(*(sub + 1), kSep);
    EXPECT_EQ(*(sub + 2), "Processing " + root + "C/");
    EXPECT_EQ(steps.seen["A"].groupTags, &host.options.groupTags);
    EXPECT_EQ(steps.seen["A"].parent, &job);
    EXPECT_EQ(steps.seen["A"].rules, &rules);
}

TEST_F(PassTest, MissingSubdirectoryIsReportedAndSiblingsGoOn) {
    std::string root = Tree({"A", "B", "C"});
    steps.scripts["C"].onCheck = [&] { std::filesystem::remove(tmp / "root/B"); };
    Run(root);
    Lines log = host.LogTexts();
    std::string text = "Could not locate selected dir B, Directory skipped!";
    auto at = std::find(log.begin(), log.end(), text);
    ASSERT_NE(at, log.end());
    EXPECT_EQ(host.log.At(static_cast<std::size_t>(at - log.begin())).background, LogColour::Red);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0].caption, "WARNING");
    EXPECT_EQ(host.questions[0].text, text);
    EXPECT_EQ(host.questions[0].buttons, platform::Buttons::Ok);
    EXPECT_EQ(Count(steps.calls, "check A flags=1"), 1);
    EXPECT_TRUE(control.sawUnreadableDir);
}

TEST_F(PassTest, UnreadableSubdirectoryIsNotTakenForAnEmptyOne) {
    std::string root = Tree({"A"});
    steps.unreadable.insert("A");
    Run(root);
    EXPECT_EQ(host.CountEvent("log Could not locate selected dir A, Directory skipped!"), 1u);
    EXPECT_EQ(Count(steps.calls, "check A flags=1"), 0);
}

TEST_F(PassTest, LinkBackUpTheTreeIsNotEntered) {
    std::string root = Tree({"A"});
    std::filesystem::create_directory_symlink(tmp / "root", tmp / "root/A/up");
    Run(root);
    EXPECT_EQ(CountPrefix(steps.calls, "check"), 2);
}

// Pause and abort.

TEST_F(PassTest, PauseAtEntryHoldsUntilContinued) {
    std::string root = Tree({});
    control.pauseRequested = true;
    OnCaption([&] { control.pauseRequested = false; });
    EXPECT_EQ(Run(root), 0);
    Lines log = host.LogTexts();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(Lines(log.begin(), log.begin() + 3), (Lines{kPaused, kSep80, "Processing " + root}));
    EXPECT_EQ(host.log.At(0).background, LogColour::Red);
    EXPECT_EQ(log.back(), kEnd);
    EXPECT_EQ(host.events[0], "abort/pause on");
}

// The root ends first (its subdirectories are walked after its end line); A's end line is
// followed by the hold.
TEST_F(PassTest, PauseDuringCheckHoldsAtDirectoryEndAndKeepsTheResult) {
    std::string root = Tree({"A"});
    steps.scripts["A"].onCheck = [&] { control.pauseRequested = true; };
    OnCaption([&] { control.pauseRequested = false; });
    Run(root);
    Lines log = host.LogTexts();
    EXPECT_EQ(Lines(log.end() - 3, log.end()), (Lines{kEnd, kPaused, kSep80}));
    EXPECT_EQ(Count(log, kEnd), 2);
    EXPECT_EQ(Count(log, "USER ABORTED!"), 0);
}

TEST_F(PassTest, AbortDuringADeepHoldIsReportedOnce) {
    std::string root = Tree({"A", "B", "B/x"});
    steps.scripts["x"].onCheck = [&] { control.pauseRequested = true; };
    OnCaption([&] { control.abortRequested = true; });
    EXPECT_EQ(Run(root), 0);
    EXPECT_EQ(Count(host.LogTexts(), "USER ABORTED!"), 1);
    EXPECT_EQ(Count(steps.calls, "check A flags=1"), 0);
    EXPECT_TRUE(control.abortReported);
}

TEST_F(PassTest, AbortBeforeEntryLogsOnceInRed) {
    std::string root = Tree({"A"});
    control.abortRequested = true;
    EXPECT_EQ(Run(root), 0);
    EXPECT_TRUE(steps.calls.empty());
    EXPECT_EQ(host.LogTexts(), Lines{"USER ABORTED!"});
    EXPECT_EQ(host.log.At(0).background, LogColour::Red);
    // The next selected directory of the job returns silently.
    EXPECT_EQ(Run(root), 0);
    EXPECT_EQ(host.log.Size(), 1u);
}

TEST_F(PassTest, AbortDuringCheckStopsTheWalk) {
    std::string root = Tree({"A", "B"});
    steps.scripts["B"].onCheck = [&] { control.abortRequested = true; };
    Run(root);
    EXPECT_EQ(Count(steps.calls, "check A flags=1"), 0);
    EXPECT_EQ(Count(host.LogTexts(), "USER ABORTED!"), 1);
}

// Once the directory was checked, an abort keeps the apply and the tagline from starting and is
// logged as a refusal is.
TEST_F(PassTest, AbortDuringCheckPreventsTheApplyAndTheTagline) {
    std::string root = Tree({});
    steps.scripts["root"] = test::Script(1, 0, false);
    steps.scripts["root"].onCheck = [&] { control.abortRequested = true; };
    EXPECT_EQ(Run(root), 0);
    for (const auto& call : steps.calls) {
        EXPECT_TRUE(call.find("apply") == std::string::npos && call.find("tagline") == std::string::npos)
            << call;
    }
    EXPECT_EQ(host.LogTexts().back(), "USER ABORTED!");
    EXPECT_EQ(Count(host.LogTexts(), "USER ABORTED!"), 1);
}

// An abort already reported in an earlier job must not keep a new hold from ending.
TEST_F(PassTest, AbortEndsAHoldEvenWhenAlreadyReported) {
    std::string root = Tree({});
    control.abortReported = true;
    control.pauseRequested = true;
    OnCaption([&] { control.abortRequested = true; });
    EXPECT_EQ(Run(root), 0);
    EXPECT_TRUE(steps.calls.empty());
}

}  // namespace
}  // namespace kestrow
