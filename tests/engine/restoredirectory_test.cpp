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
#include "tests/support/golden.h"
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

    // Runs the pass on root/ and adds its calls and log to the transcript.
    int Run(const std::string& title) {
        DirContents dir(root);
        EXPECT_TRUE(dir.Scan());
        RestoreDirJob job(dir);
        const int result = RestoreDirectory(job, context);
        transcript += "== " + title + ": result " + std::to_string(result) + "\n";
        for (const auto& c : steps.calls) transcript += "  call " + c + "\n";
        transcript += test::ReplaceAll(host.Transcript(), tmp.path(), "<TMP>");
        steps.calls.clear();
        host.events.clear();
        host.log.Clear();
        return result;
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
    std::string transcript;
};

// Each step result of the root, with an empty subdirectory where it matters; then the
// confirmation accepted and refused.
TEST_F(RestorePassTest, StepResultsConfirmationAndRefusal) {
    const struct {
        const char* title;
        RestoreScript script;
        bool subdir;
    } rows[] = {
        {"restored", {1, 0, false, 1}, false},
        {"nothing to do still applies", {1, 0, true, 1}, false},
        {"no backup data, no subdirectories", {0, 0, false, 1}, false},
        {"no backup data, subdirectories go on", {0, INT_MIN, true, 1}, true},
        {"corrupt data only walks", {-2, 0, false, 1}, true},
        {"analysis failed", {1, -1, false, 1}, true},
        {"analysis refused", {1, -2, false, 1}, false},
        {"apply stopped by the user", {1, 0, false, 0}, false},
        {"apply found no valid data", {1, 0, false, -1}, false},
        {"apply could not write back", {1, 0, false, -2}, false},
        {"apply stopped after the store", {1, 0, false, -3}, false},
        {"apply to retry", {1, 0, false, -4}, false},
    };
    steps.scripts["A"] = {0, 0, false, 1};
    for (const auto& row : rows) {
        steps.scripts["root"] = row.script;
        if (row.subdir)
            test::MakeDirs(tmp / "root/A");
        else
            std::filesystem::remove(tmp / "root/A");
        Run(row.title);
    }
    host.options.ConfirmChanges = 1;
    steps.scripts["root"] = {1, 0, false, 1};
    host.onEvent = [this](const std::string& e) {
        if (e == "accept/no on") control.rejected = 1;
    };
    Run("confirmation refused");
    host.onEvent = [this](const std::string& e) {
        if (e == "accept/no on") control.accepted = 1;
    };
    Run("confirmation accepted");
    test::ExpectGolden("pass/restore", transcript);
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
