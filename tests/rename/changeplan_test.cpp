// Change plan and apply of a prepare pass on real folders: what is planned, listed and stored,
// the order of the apply and its failures.
#include "rename/changeplan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "backup/backupfinder.h"
#include "content/crc32.h"
#include "content/integrity.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "tests/rename/plantranscript.h"
#include "tests/support/golden.h"
#include "tests/support/recordingreporter.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::MakeDirs;
using test::ReadFile;
using test::RecordingReporter;
using test::TempDir;
using test::WriteFile;

constexpr RenameOptions kTagAndYear{static_cast<std::uint32_t>(RenameOption::PreserveGrptag) |
                                    static_cast<std::uint32_t>(RenameOption::PreserveRlsyear)};

const std::string kLongDir = "A_Very_Long_Artist_Name-A_Very_Long_Album_Title_Here_Extended_Edition-2004-GRP";
const std::string kLongMp3 = "01-a_very_long_artist_name-a_very_long_song_title_that_goes_on_and_on-grp.mp3";
const std::string kShortMp3 = "02-artist-song-grp.mp3";
const std::string kLongNfo = "00-a_very_long_artist_name-a_very_long_album_title_here_extended-2004-grp.nfo";

std::string CrcOf(const std::string& bytes) {
    return CrcText(Crc32(0, bytes.data(), bytes.size()));
}

class ChangePlanTest : public ::testing::Test {
protected:
    std::string Path() const { return tmp / m_name; }

    // A release with two MP3 files (one over-long), an NFO and lists naming the MP3 files.
    void MakeRelease(const std::string& name, bool withSfv = true, bool withM3u = true) {
        m_name = name;
        WriteFile(Path() + "/" + kLongMp3, "first track");
        WriteFile(Path() + "/" + kShortMp3, "second track");
        WriteFile(Path() + "/" + kLongNfo, "info");
        if (withSfv) {
            WriteFile(Path() + "/album.sfv", "; made by hand\r\n" + kLongMp3 + " " + CrcOf("first track") +
                                                 "\r\n" + kShortMp3 + " " + CrcOf("second track") + "\r\n");
        }
        if (withM3u) WriteFile(Path() + "/album.m3u", "#EXTM3U\r\n" + kLongMp3 + "\r\n" + kShortMp3 + "\r\n");
    }

    void Load() {
        parent = std::make_unique<DirContents>(tmp.path());
        parent->Scan();
        dir = std::make_unique<ListedDir>(Path());
        ASSERT_TRUE(dir->LoadLists());
        dir->parent = parent.get();
    }

    int Plan(int maximum = 64, RenameOptions options = kTagAndYear, bool checkOnly = false) {
        return PlanDirectory(*dir, plan, PlanSettings{&tags, rules.get()}, maximum, options, checkOnly,
                             reporter);
    }
    int Apply(int backupTo) { return ApplyPlan(*dir, plan, backupTo, reporter); }

    void Record(const std::string& title, int result) {
        transcript += test::PlanTranscript(title, result, plan, reporter, *dir);
    }
    void Golden() {
        test::ExpectGolden(
            std::string("changeplan/") + testing::UnitTest::GetInstance()->current_test_info()->name(),
            test::ReplaceAll(transcript, tmp.path(), "<TMP>"));
    }

    const PlannedChange* ChangeOf(const std::string& original) const {
        for (const auto& c : plan.fileRenames) {
            if (c.originalName == original) return &c;
        }
        return nullptr;
    }

    TempDir tmp;
    std::string m_name;
    std::unique_ptr<DirContents> parent;
    std::unique_ptr<ListedDir> dir;
    std::unique_ptr<SpecialFileRuleLists> rules;
    GroupTagMap tags{{"GRP", "GRP"}};
    ChangePlan plan;
    RecordingReporter reporter{0};
    std::string transcript;
};

// The worked example: the directory keeps 53 characters, the cut mark, then the year and tag.
// Files are visited other files first, then MP3, SFV, M3U, NFO; records list the files in that
// order, then the directory; the lists name the new names.
TEST_F(ChangePlanTest, PlansEveryOverLongNameAndPointsTheListEntriesAtIt) {
    MakeRelease(kLongDir);
    Load();
    Record("plan", Plan());
    EXPECT_FALSE(dir->integrity.listingCurrent);
    // A name the backup data cannot hold is left unchanged and reported.
    WriteFile(Path() + "/03-a_very_long_artist_name-a_song;with_a_semicolon_in_its_long_long_title-grp.mp3",
              "odd");
    Load();
    Record("with an unstorable name", Plan());
    Golden();
}

TEST_F(ChangePlanTest, ShortReleasesAndEmptyDirectoriesHaveNothingToDo) {
    m_name = "Artist-Album-2004-GRP";
    WriteFile(Path() + "/01-a-b.mp3", "x");
    WriteFile(Path() + "/album.sfv", "01-a-b.mp3 " + CrcOf("x") + "\r\n");
    WriteFile(Path() + "/album.m3u", "01-a-b.mp3\r\n");
    MakeDirs(Path() + "/CD1");
    MakeDirs(Path() + "/CD2");
    Load();
    Record("short release", Plan());
    m_name = "Short_Name";
    MakeDirs(Path() + "/Sub");
    Load();
    Record("empty directory that fits", Plan());
    // Without truncation the directory's own name still goes through the rules.
    Record("empty directory, no maximum", Plan(0));
    Golden();
}

// Only the header and a playlist to generate are listed.
TEST_F(ChangePlanTest, CheckOnlyListsTheHeaderAndThePlaylistButPlansNothing) {
    MakeRelease(kLongDir, true, false);
    Load();
    Record("check only", Plan(64, kTagAndYear, true));
    RecordingReporter analysis(1);
    CheckIntegrity(*dir, IntegrityFlag::PrepareGenerateM3U, false, analysis);
    ASSERT_TRUE(dir->generatePlaylist);
    Record("check only, playlist to generate", Plan(64, kTagAndYear, true));
    Golden();
}

// Every MP3 in no list of a kind is asked about, and No stops the plan; other files are only
// noted, and list, text and image files not even that.
TEST_F(ChangePlanTest, FilesInNoListAreReported) {
    MakeRelease(kLongDir, true, false);
    WriteFile(Path() + "/cover.dat", "picture");
    WriteFile(Path() + "/cover.jpg", "picture");
    Load();
    Record("no playlist", Plan());
    std::filesystem::remove(Path() + "/album.sfv");
    Load();
    reporter.Queue(ChangeCode::NotInListAsk, {-1});
    Record("no SFV list, refused", Plan());
    Golden();
}

TEST_F(ChangePlanTest, NoPlaceForTheBackupDataChangesNothing) {
    MakeRelease(kLongDir, false, false);
    test::MakeDirs(Path() + "/_kestrow.backup");
    Load();
    Plan();
    const int result = Apply(2);
    EXPECT_EQ(result, -2);
    EXPECT_EQ(reporter.Count(14), 1u);
    EXPECT_EQ(reporter.Count(ChangeCode::ApplyingChanges), 0u);
    EXPECT_TRUE(test::Exists(Path() + "/" + kLongMp3));
}

TEST_F(ChangePlanTest, AListThatCannotBeWrittenStopsBeforeAnyRenameUnlessRetried) {
    MakeRelease(kLongDir);
    Load();
    Plan();
    ::chmod((Path() + "/album.sfv").c_str(), 0444);
    reporter.Queue(ChangeCode::CouldNotSaveFile, {-1});
    ASSERT_EQ(Apply(2), kApplyListsUnwritable);
    ASSERT_EQ(reporter.Count(ChangeCode::CouldNotSaveFile), 1u);
    EXPECT_EQ(reporter.OfCode(ChangeCode::CouldNotSaveFile)[0].m, "album.sfv");
    EXPECT_FALSE(test::Exists(Path() + "/_kestrow.backup"));  // found out before storing
    EXPECT_TRUE(test::Exists(Path() + "/" + kLongMp3));
    EXPECT_EQ(reporter.Count(ChangeCode::ApplyingChanges), 0u);

    // Retry after the cause is gone writes the list and goes on.
    struct FixingReporter : RecordingReporter {
        FixingReporter() : RecordingReporter(0) {}
        std::function<void()> fix;
        int Report(int code, const std::string& n, const std::string& m, const std::string& x) override {
            int answer = RecordingReporter::Report(code, n, m, x);
            if (code == ChangeCode::CouldNotSaveFile) {
                fix();
                return 0;
            }
            return answer;
        }
    } fixing;
    fixing.fix = [&] { ::chmod((Path() + "/album.sfv").c_str(), 0644); };
    EXPECT_EQ(ApplyPlan(*dir, plan, 2, fixing), 1);
    EXPECT_EQ(fixing.Count(ChangeCode::CouldNotSaveFile), 1u);
    EXPECT_EQ(fixing.Count(ChangeCode::Done), 1u);
}

TEST_F(ChangePlanTest, ARefusedFileRenameIsGivenUpAndTheOthersGoOn) {
    MakeRelease(kLongDir);
    Load();
    Plan();
    const std::string blocked = ChangeOf(kLongMp3)->newName;
    WriteFile(Path() + "/" + blocked, "arrived since planning");
    reporter.Always(ChangeCode::CouldNotRenameFile, -1);
    EXPECT_EQ(Apply(2), 1);
    const auto refused = reporter.OfCode(ChangeCode::CouldNotRenameFile);
    ASSERT_EQ(refused.size(), 1u);
    const std::string renamed = tmp / plan.dirNewName;
    EXPECT_EQ(refused[0].n, renamed + "/" + kLongMp3);
    EXPECT_EQ(ReadFile(renamed + "/" + blocked), "arrived since planning");  // never replaced
    EXPECT_TRUE(test::Exists(renamed + "/" + kLongMp3));
    EXPECT_TRUE(test::Exists(renamed + "/" + ChangeOf(kLongNfo)->newName));
    EXPECT_EQ(reporter.Count(ChangeCode::Done), 1u);
}

TEST_F(ChangePlanTest, AGivenUpDirectoryRenameLeavesTheFilesRenamedInTheOldPath) {
    MakeRelease(kLongDir);
    Load();
    Plan();
    MakeDirs(tmp / plan.dirNewName);
    reporter.Queue(ChangeCode::CouldNotRenameDir, {0, -1});  // Retry once, then Cancel
    EXPECT_EQ(Apply(2), 1);
    EXPECT_EQ(reporter.Count(ChangeCode::CouldNotRenameDir), 2u);
    EXPECT_EQ(reporter.OfCode(ChangeCode::CouldNotRenameDir)[0].n, Path());
    EXPECT_EQ(dir->DirPath(), Path() + "/");
    EXPECT_TRUE(test::Exists(Path() + "/" + ChangeOf(kLongMp3)->newName));
    EXPECT_EQ(reporter.Count(ChangeCode::ApplyingChanges), 1u);
}

TEST_F(ChangePlanTest, AGeneratedPlaylistIsWrittenWithTheNewNamesUnderTheListsNewName) {
    m_name = "Rel-2004-GRP";
    const std::string longSfv =
        "00-a_very_long_artist_name-a_very_long_album_title_here_extended-2004-grp.sfv";
    WriteFile(Path() + "/" + kLongMp3, "first track");
    WriteFile(Path() + "/" + longSfv, kLongMp3 + " " + CrcOf("first track") + "\r\n");
    Load();
    RecordingReporter analysis(1);
    CheckIntegrity(*dir, IntegrityFlag::PrepareGenerateM3U, false, analysis);
    ASSERT_TRUE(dir->generatePlaylist);
    Plan();
    EXPECT_EQ(reporter.Count(ChangeCode::NotInListAsk), 0u);
    ASSERT_EQ(Apply(2), 1);

    const std::string newSfv = ChangeOf(longSfv)->newName;
    const std::string playlist = newSfv.substr(0, newSfv.size() - 4) + ".m3u";
    EXPECT_EQ(ReadFile(Path() + "/" + playlist), ChangeOf(kLongMp3)->newName + "\r\n");
    EXPECT_LE(playlist.size(), 64u);
}

TEST_F(ChangePlanTest, ASiblingRenamedAMomentAgoGetsANumberNotARefusal) {
    // Two disc folders whose names cut to the same text; the parent listing is from before.
    const std::string stem = "Artist_Name-An_Album_With_A_Really_Very_Long_Title_Indeed_Disc_";
    const std::string disc1 = stem + "One-2004-GRP", disc2 = stem + "Two-2004-GRP";
    WriteFile(tmp / disc1 + "/a.txt", "1");
    WriteFile(tmp / disc2 + "/b.txt", "2");
    DirContents sharedParent(tmp.path());
    sharedParent.Scan();
    reporter.Always(ChangeCode::CouldNotRenameDir, -1);

    std::vector<std::string> newNames;
    for (const std::string& name : {disc2, disc1}) {
        ListedDir disc(tmp / name);
        disc.LoadLists();
        disc.parent = &sharedParent;
        ChangePlan discPlan;
        ASSERT_EQ(
            PlanDirectory(disc, discPlan, PlanSettings{&tags, nullptr}, 64, kTagAndYear, false, reporter), 0);
        ASSERT_TRUE(discPlan.HasDirRename());
        ASSERT_EQ(ApplyPlan(disc, discPlan, 2, reporter), 1);
        newNames.push_back(discPlan.dirNewName);
    }
    EXPECT_NE(newNames[0], newNames[1]);
    EXPECT_EQ(reporter.Count(ChangeCode::CouldNotRenameDir), 0u);
    for (const auto& n : newNames) {
        EXPECT_LE(n.size(), 64u);
        EXPECT_TRUE(test::Exists(tmp / n));
    }
}

}  // namespace
}  // namespace kestrow
