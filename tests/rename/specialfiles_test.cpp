// Special-file rules: their text form, the rule lists of a job, and their effect on the plan and
// the apply of a directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "backup/backupfinder.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "rename/changeplan.h"
#include "rename/specialfilerules.h"
#include "tests/rename/plantranscript.h"
#include "tests/support/golden.h"
#include "tests/support/recordingreporter.h"
#include "tests/support/releasefixture.h"
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
          "REN: a -> x<F:y", "REN: a -> *.nfo", "REN: a -> b\\c", "XXX: a", "DEL", "",
          "REN: a -> b -> c" /* the first arrow ends the source: ">" is left in the target */}) {
        EXPECT_FALSE(ParseRuleLine(line)) << line;
    }
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

// Each scenario's plans, applies, reports and the folder afterwards are a golden transcript under
// tests/golden/specialfiles.
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
    void Plan(const std::string& title, bool withRules = true, bool checkOnly = false) {
        const int result = PlanDirectory(*dir, plan, PlanSettings{nullptr, withRules ? rules.get() : nullptr},
                                         64, RenameOptions{}, checkOnly, reporter);
        transcript += test::PlanTranscript(title, result, plan, reporter, *dir);
    }
    // Applies the plan and adds the reports and the folder's files (with their text) afterwards.
    void Apply(int backupTo) {
        const int result = ApplyPlan(*dir, plan, backupTo, reporter);
        transcript += "== apply: result " + std::to_string(result) + "\n" + reporter.TakeTranscript();
        for (const auto& [path, bytes] : test::Tree(m_path)) {
            const bool list = bytes.find("[V100") != std::string::npos;
            transcript +=
                "  " + path + " |" + (list ? "(holds backup data)" : platform::EscapeControls(bytes)) + "|\n";
        }
    }
    void Golden() {
        test::ExpectGolden(
            std::string("specialfiles/") + testing::UnitTest::GetInstance()->current_test_info()->name(),
            test::ReplaceAll(transcript, tmp.path(), "<TMP>"));
    }

    TempDir tmp;
    std::string m_path;
    std::unique_ptr<SpecialFileRuleLists> rules;
    std::unique_ptr<ListedDir> dir;
    ChangePlan plan;
    RecordingReporter reporter{0};
    std::string transcript;
};

// A delete rule whatever the case; nothing renamed, nothing stored. In check-only mode special
// files are left alone.
TEST_F(SpecialPlanTest, ADeleteRuleDeletesTheFileWhateverItsCase) {
    WriteFile(m_path + "/Thumbs.db", "cache");
    Load({"DEL: thumbs.db", "DEL: absent.tmp"});
    Plan("check only", true, true);
    Plan("prepare");
    Apply(2);
    Golden();
}

// An ignored file is listed and left alone, and raises no note about the lists; rules keep files
// from the name rules except truncate; with the rules off both names are cut and noted.
TEST_F(SpecialPlanTest, IgnoreDeleteAndTruncateAgainstTheNameRules) {
    WriteFile(m_path + "/" + kLongDat, "x");
    WriteFile(m_path + "/b" + kLongDat, "y");
    WriteFile(m_path + "/c" + kLongDat, "z");
    Load({"DEL: " + kLongDat, "TRC: b" + kLongDat, "IGN: c" + kLongDat});
    Plan("with the rules");
    Plan("without the rules", false);
    Golden();
}

// The target is numbered for this directory only: the next directory of the job gets it as the
// rule gives it.
TEST_F(SpecialPlanTest, ARenameTargetThatExistsIsNumberedForThisDirectoryOnly) {
    WriteFile(m_path + "/info.txt", "about");
    WriteFile(m_path + "/release.nfo", "already here");
    Load({"REN: info.txt -> release.nfo"});
    Plan("plan");
    Apply(2);
    m_path = tmp / "Next-2004-GRP";
    WriteFile(m_path + "/info.txt", "about");
    dir = std::make_unique<ListedDir>(m_path);
    dir->LoadLists();
    plan = ChangePlan();
    Plan("next directory");
    Golden();
}

// k = 10 drops two characters; a folder blocks a name as well, and the second rule meets the
// first. A file is handled by the first rule that names it; a source the backup data cannot hold
// stays.
TEST_F(SpecialPlanTest, NumbersFirstRuleAndUnstorableSources) {
    WriteFile(m_path + "/info.txt", "a");
    WriteFile(m_path + "/notes.txt", "b");
    WriteFile(m_path + "/r.nfo", "taken");
    for (int k = 1; k <= 9; ++k) WriteFile(m_path + "/r.nf" + std::to_string(k), "taken");
    MakeDirs(m_path + "/r.n10");
    WriteFile(m_path + "/x.tmp", "x");
    WriteFile(m_path + "/odd;name.txt", "a");
    Load({"REN: info.txt -> r.nfo", "REN: notes.txt -> r.nfo", "DEL: x.tmp", "IGN: x.tmp",
          "REN: x.tmp -> y.tmp", "REN: odd;name.txt -> plain.txt"});
    Plan("plan");
    Golden();
}

// A backup file without a block stops the apply; once it is gone the rules are applied, and the
// list that holds the backup data stays although a delete rule names it.
TEST_F(SpecialPlanTest, TheBackupDataIsNeverDeletedOrMovedOutOfReach) {
    WriteFile(m_path + "/_kestrow.backup", "");
    WriteFile(m_path + "/info.txt", "a");
    Load({"DEL: _kestrow.backup", "DEL: album.sfv", "REN: info.txt -> info2.txt"});
    Plan("with an empty backup file");
    Apply(0);
    platform::DeleteFile(m_path + "/_kestrow.backup");
    Load({"DEL: _kestrow.backup", "DEL: album.sfv", "REN: info.txt -> info2.txt"});
    Plan("without it");
    Apply(0);
    Golden();
}

}  // namespace
}  // namespace kestrow
