// The restore pass against scripted steps and a recording host: what each step result leads to,
// the confirmation, the walk over subdirectories, and the runner's restore branch.
#include "engine/restoredirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "engine/analysisreporter.h"
#include "engine/changereporter.h"
#include "engine/cprocesscontrolthread.h"
#include "engine/restoresteps.h"
#include "tests/engine/fakehost.h"
#include "tests/engine/fakesteps.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using Lines = std::vector<std::string>;

struct RestoreScript {
    int find = 1;
    int analysis = 0;  // INT_MIN: the number of subdirectories
    bool nothingToDo = false;
    int apply = 1;
};

class FakeRestoreSteps : public RestoreSteps {
public:
    std::map<std::string, RestoreScript> scripts;
    Lines calls;

    static std::string Name(const DirContents& dir) { return dir.Path().LastComponent(); }
    bool Scan(DirContents& dir) override { return dir.Scan(); }
    void LoadLists(RestoreDirJob& job) override { calls.push_back("lists " + Name(job)); }
    int FindBackupData(RestoreDirJob& job, Reporter&) override {
        calls.push_back("find " + Name(job));
        return scripts[Name(job)].find;
    }
    int RestoreAnalysis(RestoreDirJob& job, int flags, Reporter&) override {
        calls.push_back("analyse " + Name(job) + " flags=" + std::to_string(flags));
        const RestoreScript& s = scripts[Name(job)];
        job.nothingToDo = s.nothingToDo;
        return s.analysis == INT_MIN ? static_cast<int>(job.SubdirCount()) : s.analysis;
    }
    int RestoreApply(RestoreDirJob& job, int backupTo, int flags, Reporter&) override {
        calls.push_back("apply " + Name(job) + " to=" + std::to_string(backupTo) +
                        " flags=" + std::to_string(flags));
        return scripts[Name(job)].apply;
    }
    int WriteTagline(RestoreDirJob& job, const std::string&, bool noCheck, Reporter&) override {
        calls.push_back("tagline " + Name(job) + (noCheck ? " nocheck" : " check"));
        return 0;
    }
};

class RestorePassTest : public ::testing::Test {
protected:
    RestorePassTest() {
        host.options.RestoreCRCCheck = 1;
        host.options.GenerateRestoreTagline = 1;
        host.options.RestoreTruncated = 1;
        context.restore = &steps;
        test::MakeDirs(tmp / "root");
    }

    int Run() {
        DirContents dir(root);
        EXPECT_TRUE(dir.Scan());
        RestoreDirJob job(dir);
        return RestoreDirectory(job, context);
    }

    test::TempDir tmp;
    const std::string root = tmp / "root/";
    test::FakeHost host;
    JobControl control;
    test::FakeSteps prepareSteps;
    FakeRestoreSteps steps;
    AnalysisReporter analysis{host, &control};
    ChangeReporter change{host, &control};
    PassContext context{host, control, prepareSteps, analysis, change, std::chrono::milliseconds(1)};
};

Lines Framed(const std::string& path, const Lines& middle) {
    Lines out = {"Processing " + path, std::string(76, '-')};
    for (const auto& line : middle) {
        out.push_back(line);
        out.push_back(std::string(76, '-'));
    }
    out.push_back(std::string(124, '*'));
    return out;
}

TEST_F(RestorePassTest, StepResultsAndWhatTheyLeadTo) {
    struct Row {
        const char* title;
        RestoreScript script;
        bool subdir;
        Lines calls;  // of the root, "sub" lines for the subdirectory's own find
        Lines lines;
    };
    const std::string abortedHere = "* Progress ABORTED in directory: " + root + ", no changes made!";
    const std::string apply = "apply root to=2 flags=1";
    const Row rows[] = {
        {"Restored",
         {1, 0, false, 1},
         false,
         {"find root", "analyse root flags=1", apply, "tagline root check"},
         {}},
        {"NothingToDoStillApplies",
         {1, 0, true, 1},
         false,
         {"find root", "analyse root flags=1", apply, "tagline root check"},
         {"* No necessary modifications detected in this dir!"}},
        {"NoBackupDataNoSubdirs", {0, 0, false, 1}, false, {"find root"}, {abortedHere}},
        {"NoBackupDataWithSubdirsGoesOn",
         {0, INT_MIN, true, 1},
         true,
         {"find root", "analyse root flags=1", apply, "tagline root check", "lists A", "find A"},
         {"* No necessary modifications detected in this dir!"}},
        {"CorruptDataOnlyWalks", {-2, 0, false, 1}, true, {"find root", "lists A", "find A"}, {abortedHere}},
        {"AnalysisFailed",
         {1, -1, false, 1},
         true,
         {"find root", "analyse root flags=1"},
         {"* Progress in dir " + root + " ABORTED, no changes made!"}},
        {"AnalysisRefused",
         {1, -2, false, 1},
         false,
         {"find root", "analyse root flags=1"},
         {"* Progress in dir " + root + " ABORTED BY USER, no changes made!"}},
        {"ApplyStoppedByUser",
         {1, 0, false, 0},
         false,
         {"find root", "analyse root flags=1", apply, "tagline root check"},
         {"* Progress in dir " + root + " ABORTED BY USER, no changes made!"}},
        {"ApplyNoValidData",
         {1, 0, false, -1},
         false,
         {"find root", "analyse root flags=1", apply, "tagline root check"},
         {"* INTERNAL ERROR: Failed to CREATE valid Backupdata for dir " + root + " Progress ABORTED!"}},
        {"ApplyNotWrittenBack",
         {1, 0, false, -2},
         false,
         {"find root", "analyse root flags=1", apply, "tagline root check"},
         {"* Failed to write back unused Backupdata for dir " + root + " Progress ABORTED!"}},
        {"ApplyStoppedAfterStore",
         {1, 0, false, -3},
         false,
         {"find root", "analyse root flags=1", apply, "tagline root check"},
         {"* Progress in dir " + root +
          " ABORTED, no changes made!. You need to manually REMOVE the stored backupdata!"}},
        {"ApplyToRetry",
         {1, 0, false, -4},
         false,
         {"find root", "analyse root flags=1", apply, "tagline root check"},
         {"* Progress in dir " + root + " ABORTED, no changes made!. Please retry!"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        steps.calls.clear();
        host.log.Clear();
        steps.scripts["root"] = row.script;
        // The subdirectory holds nothing.
        steps.scripts["A"] = {0, 0, false, 1};
        if (row.subdir)
            test::MakeDirs(tmp / "root/A");
        else
            std::filesystem::remove(tmp / "root/A");
        Run();
        EXPECT_EQ(steps.calls, row.calls);
        Lines log = host.LogTexts();
        // The subdirectory's own lines follow the root's end line.
        log.resize(std::min(log.size(), Framed(root, row.lines).size()));
        EXPECT_EQ(log, Framed(root, row.lines));
    }
}

TEST_F(RestorePassTest, ConfirmationAndRefusal) {
    host.options.ConfirmChanges = 1;
    steps.scripts["root"] = {1, 0, false, 1};
    host.onEvent = [this](const std::string& e) {
        if (e == "accept/no on") control.rejected = 1;
    };
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(steps.calls, (Lines{"find root", "analyse root flags=1"}));
    EXPECT_EQ(host.LogTexts().back(), "USER ABORTED!");

    steps.calls.clear();
    host.onEvent = [this](const std::string& e) {
        if (e == "accept/no on") control.accepted = 1;
    };
    Run();
    EXPECT_EQ(steps.calls,
              (Lines{"find root", "analyse root flags=1", "apply root to=2 flags=1", "tagline root check"}));
}

TEST_F(RestorePassTest, TheRunnerStartsARestorePassForEachSelectedDirectory) {
    test::MakeDirs(tmp / "B");
    host.currentFolder = tmp.path() + "/";
    host.selected = {"root", "B"};
    host.options.lastProcessOption = 0;
    steps.scripts["root"] = {1, 0, true, 1};
    steps.scripts["B"] = {1, 0, true, 1};
    CProcessControlThread runner;
    runner.Attach(context);
    EXPECT_EQ(runner.Run(), 0);
    EXPECT_EQ(steps.calls, (Lines{"lists root", "find root", "analyse root flags=1",
                                  "apply root to=2 flags=1", "tagline root check", "lists B", "find B",
                                  "analyse B flags=1", "apply B to=2 flags=1", "tagline B check"}));
    EXPECT_FALSE(control.sawFailure.load());
}

}  // namespace
}  // namespace kestrow
