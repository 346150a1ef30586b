// Special-file rules: their text form, the rule lists of a job, and their effect on the plan and
// the apply of a directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "backup/backupfinder.h"
#include "platform/fs.h"
#include "rename/changeplan.h"
#include "rename/specialfilerules.h"
#include "tests/support/recordingreporter.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::MakeDirs;
using test::ReadFile;
using test::RecordingReporter;
using test::TempDir;
using test::WriteFile;

TEST(RuleTextTest, EveryOperationReadsBackFromItsLine) {
    const struct {
        SpecialFileRule rule;
        const char* line;
    } cases[] = {
        {{SpecialFileOperation::Delete, "thumbs.db", ""}, "DEL: thumbs.db"},
        {{SpecialFileOperation::Ignore, "cover.bmp", ""}, "IGN: cover.bmp"},
        {{SpecialFileOperation::Truncate, "a long name.nfo", ""}, "TRC: a long name.nfo"},
        {{SpecialFileOperation::Rename, "info.txt", "release.nfo"}, "REN: info.txt -> release.nfo"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RuleLine(c.rule), c.line);
        const auto parsed = ParseRuleLine(c.line);
        ASSERT_TRUE(parsed) << c.line;
        EXPECT_EQ(*parsed, c.rule);
    }
}

TEST(RuleTextTest, RenamesWithoutAnArrowOrAPlainTargetAreNoRules) {
    for (const char* line :
         {"REN: info.txt", "REN: info.txt -> ", "REN: a -> sub/b.nfo", "REN: a -> ..", "REN: a -> x;y.nfo",
          "REN: a -> x<F:y", "REN: a -> *.nfo", "REN: a -> b\\c", "XXX: a", "DEL", ""}) {
        EXPECT_FALSE(ParseRuleLine(line)) << line;
    }
    // The first arrow ends the source; a second one leaves a ">" in the target, which the backup
    // data cannot hold.
    EXPECT_FALSE(ParseRuleLine("REN: a -> b -> c"));
}

TEST(RuleListsTest, LinesFillTheirListsInOrderAndBadRenamesAreKeptForTheReport) {
    const auto lists =
        BuildRuleLists({"REN: a.txt -> b.nfo", "DEL: x.tmp", "REN: broken", "IGN: y", "DEL: z.tmp",
                        "TRC: long.nfo", "REN: c.txt -> d/e", "XXX: z", "REN: f.txt -> g.nfo"});
    ASSERT_TRUE(lists.renameSources && lists.renameTargets && lists.deleteNames && lists.ignoreNames &&
                lists.truncateNames);
    EXPECT_EQ(*lists.renameSources, (std::vector<std::string>{"a.txt", "f.txt"}));
    EXPECT_EQ(*lists.renameTargets, (std::vector<std::string>{"b.nfo", "g.nfo"}));
    EXPECT_EQ(*lists.deleteNames, (std::vector<std::string>{"x.tmp", "z.tmp"}));
    EXPECT_EQ(lists.skippedLines, (std::vector<std::string>{"REN: broken", "REN: c.txt -> d/e"}));

    const auto only = BuildRuleLists({"IGN: a"});
    EXPECT_FALSE(only.renameSources);
    EXPECT_FALSE(only.deleteNames);
    EXPECT_FALSE(only.truncateNames);
    EXPECT_TRUE(BuildRuleLists({"REN: nothing"}).Empty());
}

TEST(RuleListsTest, NamesAreMatchedWithoutRegardToCase) {
    const auto lists =
        BuildRuleLists({"DEL: thumbs.db", "IGN: Cover.BMP", "REN: INFO.TXT -> r.nfo", "TRC: x.nfo"});
    EXPECT_TRUE(lists.KeepsFromNameRules("Thumbs.db"));
    EXPECT_TRUE(lists.KeepsFromNameRules("cover.bmp"));
    EXPECT_TRUE(lists.KeepsFromNameRules("info.txt"));
    EXPECT_FALSE(lists.KeepsFromNameRules("X.NFO"));
    EXPECT_TRUE(lists.NamesFile("X.NFO"));
    EXPECT_FALSE(lists.NamesFile("other.txt"));
}

const std::string kLongDat = "a_very_long_file_name_that_certainly_does_not_fit_into_sixty_four.dat";

class SpecialPlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = tmp / "Release-2004-GRP";
        WriteFile(m_path + "/01-track.mp3", "track");
        WriteFile(m_path + "/album.sfv", "01-track.mp3 1234ABCD\r\n");
        WriteFile(m_path + "/album.m3u", "01-track.mp3\r\n");
    }

    void Load(const std::vector<std::string>& lines) {
        rules = std::make_unique<SpecialFileRuleLists>(BuildRuleLists(lines));
        dir = std::make_unique<ListedDir>(m_path);
        ASSERT_TRUE(dir->LoadLists());
    }
    int Plan(bool withRules = true) {
        reporter.reports.clear();
        return PlanDirectory(*dir, plan, PlanSettings{nullptr, withRules ? rules.get() : nullptr}, 64,
                             RenameOptions{}, false, reporter);
    }
    std::vector<std::string> Listed() const {
        std::vector<std::string> lines;
        for (const auto& r : reporter.OfCode(ChangeCode::FileChange)) lines.push_back(r.n + " => " + r.m);
        return lines;
    }

    TempDir tmp;
    std::string m_path;
    std::unique_ptr<SpecialFileRuleLists> rules;
    std::unique_ptr<ListedDir> dir;
    ChangePlan plan;
    RecordingReporter reporter{0};
};

TEST_F(SpecialPlanTest, ADeleteRuleDeletesTheFileWhateverItsCase) {
    WriteFile(m_path + "/Thumbs.db", "cache");
    Load({"DEL: thumbs.db", "DEL: absent.tmp"});
    Plan();
    EXPECT_FALSE(plan.nothingToDo);
    EXPECT_EQ(Listed(), std::vector<std::string>{"thumbs.db => DELETE (tempfile)"});
    EXPECT_EQ(plan.deletions, std::vector<std::string>{"Thumbs.db"});
    EXPECT_TRUE(plan.recordText.empty());
    ASSERT_EQ(ApplyPlan(*dir, plan, 2, reporter), 1);
    EXPECT_FALSE(test::Exists(m_path + "/Thumbs.db"));
    EXPECT_FALSE(test::Exists(m_path + "/_kestrow.backup"));  // nothing renamed, nothing to store
    EXPECT_EQ(reporter.Count(ChangeCode::ApplyingChanges), 1u);
    EXPECT_EQ(reporter.Count(ChangeCode::Done), 1u);
}

TEST_F(SpecialPlanTest, AnIgnoredFileIsListedAndLeftAlone) {
    WriteFile(m_path + "/" + kLongDat, "keep");
    Load({"IGN: " + kLongDat});
    Plan();
    EXPECT_TRUE(plan.nothingToDo);
    EXPECT_EQ(Listed(), std::vector<std::string>{kLongDat + " => IGNORE (tempfile)"});
    EXPECT_TRUE(plan.fileRenames.empty());
    // A file named by a rule raises no note about the lists.
    EXPECT_EQ(reporter.Count(ChangeCode::NonMp3NotInList), 0u);
}

TEST_F(SpecialPlanTest, RulesKeepFilesFromTheNameRulesExceptTruncate) {
    WriteFile(m_path + "/" + kLongDat, "x");
    WriteFile(m_path + "/b" + kLongDat, "y");
    Load({"DEL: " + kLongDat, "TRC: b" + kLongDat});
    Plan();
    ASSERT_EQ(plan.fileRenames.size(), 1u);
    EXPECT_EQ(plan.fileRenames[0].originalName, "b" + kLongDat);
    EXPECT_EQ(reporter.Count(ChangeCode::NonMp3NotInList), 0u);

    // With the rules off (no lists handed over) both names are cut like any other, and noted.
    Plan(false);
    EXPECT_EQ(plan.fileRenames.size(), 2u);
    EXPECT_TRUE(plan.deletions.empty());
    EXPECT_EQ(reporter.Count(ChangeCode::NonMp3NotInList), 4u);
}

TEST_F(SpecialPlanTest, ARenameTargetThatExistsIsNumberedForThisDirectoryOnly) {
    WriteFile(m_path + "/info.txt", "about");
    WriteFile(m_path + "/release.nfo", "already here");
    Load({"REN: info.txt -> release.nfo"});
    Plan();
    ASSERT_EQ(plan.fileRenames.size(), 1u);
    EXPECT_EQ(plan.fileRenames[0], (PlannedChange{"info.txt", "release.nf1"}));
    EXPECT_EQ(Listed(), std::vector<std::string>{"info.txt => release.nf1(tempfile)"});
    EXPECT_EQ(plan.recordText, "<T:.nf1;release;.txt;info>");
    EXPECT_EQ(rules->renameTargets->front(), "release.nfo");  // the job's rule is untouched

    ASSERT_EQ(ApplyPlan(*dir, plan, 2, reporter), 1);
    EXPECT_EQ(ReadFile(m_path + "/release.nf1"), "about");
    EXPECT_EQ(ReadFile(m_path + "/release.nfo"), "already here");
    BackupData data;
    RecordingReporter quiet(1);
    ListedDir after(m_path);
    after.LoadLists();
    findBackupData(after, data, false, quiet);
    ASSERT_EQ(data.TempFileRecords().size(), 1u);
    EXPECT_EQ(data.TempFileRecords()[0].originalName, "info.txt");
    EXPECT_EQ(data.TempFileRecords()[0].newName, "release.nf1");

    // The next directory of the job gets the target as the rule gives it.
    const std::string next = tmp / "Next-2004-GRP";
    WriteFile(next + "/info.txt", "about");
    ListedDir nextDir(next);
    nextDir.LoadLists();
    ChangePlan nextPlan;
    PlanDirectory(nextDir, nextPlan, PlanSettings{nullptr, rules.get()}, 64, RenameOptions{}, false,
                  reporter);
    ASSERT_EQ(nextPlan.fileRenames.size(), 1u);
    EXPECT_EQ(nextPlan.fileRenames[0].newName, "release.nfo");
}

TEST_F(SpecialPlanTest, NumbersGrowIntoTheNameAndMeetNothingPlanned) {
    WriteFile(m_path + "/info.txt", "a");
    WriteFile(m_path + "/notes.txt", "b");
    WriteFile(m_path + "/r.nfo", "taken");
    for (int k = 1; k <= 9; ++k) WriteFile(m_path + "/r.nf" + std::to_string(k), "taken");
    MakeDirs(m_path + "/r.n10");  // a folder blocks a name as well
    Load({"REN: info.txt -> r.nfo", "REN: notes.txt -> r.nfo"});
    Plan();
    ASSERT_EQ(plan.fileRenames.size(), 2u);
    // k = 10 drops two characters; the folder makes it 11, and the second rule meets the first.
    EXPECT_EQ(plan.fileRenames[0].newName, "r.n11");
    EXPECT_EQ(plan.fileRenames[1].newName, "r.n12");
}

TEST_F(SpecialPlanTest, AFileIsHandledByTheFirstRuleThatNamesIt) {
    WriteFile(m_path + "/x.tmp", "x");
    Load({"DEL: x.tmp", "IGN: x.tmp", "REN: x.tmp -> y.tmp"});
    Plan();
    EXPECT_EQ(Listed(), std::vector<std::string>{"x.tmp => DELETE (tempfile)"});
    EXPECT_TRUE(plan.fileRenames.empty());
}

TEST_F(SpecialPlanTest, TheBackupDataIsNeverDeletedOrMovedOutOfReach) {
    WriteFile(m_path + "/_kestrow.backup", "");
    WriteFile(m_path + "/info.txt", "a");
    Load({"DEL: _kestrow.backup", "DEL: album.sfv", "REN: info.txt -> info2.txt"});
    Plan();
    EXPECT_EQ(plan.deletions, std::vector<std::string>{"album.sfv"});
    // A backup file without a block stops the apply; once it is gone the rules are applied.
    ASSERT_EQ(ApplyPlan(*dir, plan, 0, reporter), -2);
    EXPECT_EQ(reporter.Count(ChangeCode::BackupFileUnreadable), 1u);
    EXPECT_TRUE(test::Exists(m_path + "/info.txt"));
    platform::DeleteFile(m_path + "/_kestrow.backup");
    Load({"DEL: _kestrow.backup", "DEL: album.sfv", "REN: info.txt -> info2.txt"});
    Plan();
    // Stored in the SFV list, which the delete rule names: the list stays.
    ASSERT_EQ(ApplyPlan(*dir, plan, 0, reporter), 1);
    EXPECT_TRUE(test::Exists(m_path + "/album.sfv"));
    EXPECT_NE(ReadFile(m_path + "/album.sfv").find("[V100"), std::string::npos);
    const auto kept = reporter.OfCode(ChangeCode::LeftUnchanged);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].n, "album.sfv");
    EXPECT_TRUE(test::Exists(m_path + "/info2.txt"));
}

TEST_F(SpecialPlanTest, ARenameSourceTheBackupDataCannotHoldStays) {
    WriteFile(m_path + "/odd;name.txt", "a");
    Load({"REN: odd;name.txt -> plain.txt"});
    Plan();
    EXPECT_TRUE(plan.fileRenames.empty());
    EXPECT_TRUE(plan.nothingToDo);
    ASSERT_EQ(reporter.Count(ChangeCode::LeftUnchanged), 1u);
    EXPECT_EQ(reporter.OfCode(ChangeCode::LeftUnchanged)[0].m, KeptReasonText(KeptReason::Unstorable));
}

TEST_F(SpecialPlanTest, SpecialFilesAreLeftAloneInCheckOnlyMode) {
    WriteFile(m_path + "/Thumbs.db", "cache");
    Load({"DEL: thumbs.db"});
    PlanDirectory(*dir, plan, PlanSettings{nullptr, rules.get()}, 64, RenameOptions{}, true, reporter);
    EXPECT_TRUE(plan.nothingToDo);
    EXPECT_TRUE(plan.deletions.empty());
    EXPECT_TRUE(Listed().empty());
}

}  // namespace
}  // namespace kestrow
