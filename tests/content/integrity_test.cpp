// The integrity check against a recording reporter, file CRCs, and recognising taglines.
#include "content/integrity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "content/crc32.h"
#include "content/existingtagline.h"
#include "content/listeddir.h"
#include "tests/support/recordingreporter.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::RecordingReporter;
using test::TempDir;
using test::WriteFile;
using Strings = std::vector<std::string>;
using Codes = std::vector<int>;

constexpr unsigned kCrc = IntegrityFlag::PrepareCRCCheck;
constexpr unsigned kTrust = IntegrityFlag::PrepareTaglineTrustExisting;
constexpr unsigned kGenerate = IntegrityFlag::PrepareGenerateM3U;

// Contents with published CRC-32 values.
const std::string kDigits = "123456789";  // CBF43926
const std::string kAbc = "abc";           // 352441C2

class IntegrityTest : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(m_dir / "release.nfo", "info"); }
    void Write(const std::string& name, const std::string& content) { WriteFile(m_dir / name, content); }
    ListedDir& Load() {
        m_listed = ListedDir(m_dir.path());
        EXPECT_TRUE(m_listed.LoadLists());
        return m_listed;
    }
    int Check(unsigned flags) {
        Load();
        return CheckIntegrity(m_listed, flags, false, m_reporter);
    }
    const IntegrityResult& Result() const { return m_listed.integrity; }
    // listed, OK, corrupt, missing
    std::vector<unsigned> Counts() const {
        const auto& r = m_listed.integrity;
        return {r.listedCount, r.okCount, r.corruptCount, r.missingCount};
    }

    TempDir m_dir;
    ListedDir m_listed;
    RecordingReporter m_reporter;
};

TEST_F(IntegrityTest, IntactReleaseIsAllOk) {
    Write("01.mp3", kDigits);
    Write("02.mp3", kAbc);
    Write("album.sfv", "; made by a tool\r\n01.mp3 cbf43926\r\n02.mp3 0352441C2\r\n");
    Write("album.m3u", "01.mp3\r\n02.mp3\r\n");
    EXPECT_EQ(Check(kCrc), 1);
    EXPECT_EQ(m_reporter.Codes(), (Codes{8, 7, 1, 7, 1, 8, 12}));
    const auto& checking = m_reporter.reports[1];
    EXPECT_EQ(checking.n, "album.sfv");
    EXPECT_EQ(checking.m, "cbf43926");
    EXPECT_EQ(checking.x, "01.mp3");
    EXPECT_EQ(m_reporter.reports[0].n, "album.sfv");
    EXPECT_EQ(m_reporter.reports[5].n, "album.m3u");
    EXPECT_EQ(Counts(), (std::vector<unsigned>{2, 2, 0, 0}));
    EXPECT_FALSE(Result().mismatch);
    EXPECT_TRUE(m_listed.problemLines.empty());
}

TEST_F(IntegrityTest, MissingAndCorruptFilesAreCountedAndListed) {
    Write("01.mp3", kDigits);
    Write("track.mp3", kAbc);
    Write("album.sfv", "01.mp3 DEADBEEF\r\n03.mp3 12345678\r\ncd1\\track.mp3 352441C2\r\n");
    EXPECT_EQ(Check(kCrc), 1);
    EXPECT_EQ(m_reporter.Codes(), (Codes{10, 8, 7, 2, 3, 3, 45}));
    EXPECT_EQ(m_reporter.reports[0].n, m_dir.path() + "/");
    const auto bad = m_reporter.OfCode(2)[0];
    EXPECT_EQ(bad.n, "album.sfv");
    EXPECT_EQ(bad.m, "DEADBEEF");
    EXPECT_EQ(bad.x, "01.mp3");
    EXPECT_EQ(m_reporter.OfCode(3)[1].x, "cd1\\track.mp3");
    EXPECT_EQ(m_reporter.OfCode(45)[0].n, "album.sfv");
    EXPECT_EQ(m_listed.problemLines,
              (Strings{"Corrupt: 01.mp3\r\n", "Missing: 03.mp3\r\n", "Missing: cd1\\track.mp3\r\n"}));
    EXPECT_EQ(Counts(), (std::vector<unsigned>{3, 0, 1, 2}));
}

TEST_F(IntegrityTest, StoppingAtTheMissingFilesQuestionEndsTheCheck) {
    Write("album.sfv", "gone.mp3 1\r\n");
    Write("album.m3u", "gone.mp3\r\n");
    m_reporter.Queue(45, {-1});
    EXPECT_EQ(Check(kCrc), -1);
    EXPECT_EQ(m_reporter.Codes(), (Codes{8, 3, 45}));
}

// With reload the lists are loaded first.
TEST_F(IntegrityTest, CaseOfTheListedNameDoesNotMatter) {
    Write("Track.MP3", kDigits);
    Write("album.sfv", "track.mp3 CBF43926\r\n");
    m_listed = ListedDir(m_dir.path());
    EXPECT_EQ(CheckIntegrity(m_listed, kCrc, true, m_reporter), 1);
    EXPECT_EQ(Counts(), (std::vector<unsigned>{1, 1, 0, 0}));
}

TEST_F(IntegrityTest, FileListedTwiceIsCheckedTwice) {
    Write("01.mp3", kDigits);
    Write("album.sfv", "01.mp3 CBF43926\r\n01.mp3 CBF43926\r\n");
    EXPECT_EQ(Check(kCrc), 1);
    EXPECT_EQ(m_reporter.Count(1), 2u);
    EXPECT_EQ(Counts(), (std::vector<unsigned>{2, 2, 0, 0}));
}

TEST_F(IntegrityTest, CrcTextsCompareAsNumbers) {
    Write("empty.txt", "");
    Write("01.mp3", kAbc);
    Write("02.mp3", kAbc);
    Write("03.mp3", kAbc);
    Write("album.sfv", "empty.txt 00000000\r\n01.mp3 0352441c2\r\n02.mp3 1352441C2\r\n03.mp3 352441C\r\n");
    EXPECT_EQ(Check(kCrc), 1);
    EXPECT_EQ(Counts(), (std::vector<unsigned>{4, 2, 2, 0}));
    EXPECT_EQ(m_listed.problemLines, (Strings{"Corrupt: 02.mp3\r\n", "Corrupt: 03.mp3\r\n"}));
}

TEST_F(IntegrityTest, UnreadableFileIsRetriedThenGivenUp) {
    Write("01.mp3", kDigits);
    Write("album.sfv", "01.mp3 CBF43926\r\n");
    Load();
    std::filesystem::remove(m_dir / "01.mp3");  // vanishes between the scan and the check
    m_reporter.Queue(6, {0, 0, -1});
    EXPECT_EQ(CheckIntegrity(m_listed, kCrc, false, m_reporter), 1);
    EXPECT_EQ(m_reporter.Codes(), (Codes{10, 8, 7, 6, 6, 6}));
    EXPECT_EQ(m_reporter.OfCode(6)[0].n, "album.sfv");
    EXPECT_EQ(m_reporter.OfCode(6)[0].x, "01.mp3");
    EXPECT_EQ(Counts(), (std::vector<unsigned>{1, 0, 0, 1}));
    EXPECT_TRUE(m_listed.problemLines.empty());  // given up: no problem line
}

// Puts the file back when asked about it, then answers Retry.
class RestoringReporter : public RecordingReporter {
public:
    explicit RestoringReporter(std::string path) : m_path(std::move(path)) {}
    int Report(int code, const std::string& n, const std::string& m, const std::string& x) override {
        RecordingReporter::Report(code, n, m, x);
        if (code != 6) return 1;
        WriteFile(m_path, kDigits);
        return 0;
    }

private:
    std::string m_path;
};

TEST_F(IntegrityTest, RetryAfterTheFileIsBackChecksIt) {
    Write("01.mp3", kDigits);
    Write("album.sfv", "01.mp3 CBF43926\r\n");
    Load();
    std::filesystem::remove(m_dir / "01.mp3");
    RestoringReporter reporter(m_dir / "01.mp3");
    EXPECT_EQ(CheckIntegrity(m_listed, kCrc, false, reporter), 1);
    EXPECT_EQ(reporter.Codes(), (Codes{10, 8, 7, 6, 1}));
    EXPECT_EQ(Counts(), (std::vector<unsigned>{1, 1, 0, 0}));
}

TEST_F(IntegrityTest, OkTaglineIsTrustedOnlyWhenAskedFor) {
    Write("01.mp3", kDigits);
    Write("02.mp3", "corrupted");
    Write("[KSTW]-[OK-3_Files-1KB]-[KSTW]", "");
    Write("album.sfv", "01.mp3 CBF43926\r\n02.mp3 352441C2\r\n03.mp3 1\r\n");
    EXPECT_EQ(Check(kCrc | kTrust), 1);
    EXPECT_EQ(m_reporter.Codes(), (Codes{10, 8, 7, 44, 7, 44, 3, 45}));
    EXPECT_EQ(Result().okCount, 2u);
    EXPECT_EQ(Result().missingCount, 1u);

    // Trust alone, without CRC checking, still counts found files as OK.
    m_reporter.reports.clear();
    EXPECT_EQ(Check(kTrust), 1);
    EXPECT_EQ(Result().okCount, 2u);

    // A tagline shipped with a download does not vouch for a corrupt file.
    m_reporter.reports.clear();
    EXPECT_EQ(Check(kCrc), 1);
    EXPECT_EQ(Result().okCount, 1u);
    EXPECT_EQ(Result().corruptCount, 1u);
    EXPECT_EQ(m_reporter.Count(44), 0u);
}

TEST_F(IntegrityTest, ProblemTaglineRecomputesOnlyTheFilesItNames) {
    Write("01.mp3", "corrupt but trusted");
    Write("02.mp3", kAbc);
    Write("[KSTW]-[#CORRUPT#-1_of_2_Files-1KB]-[KSTW]", "corrupt: 02.MP3\r\n");
    Write("album.sfv", "01.mp3 CBF43926\r\n02.mp3 352441C2\r\n");
    EXPECT_EQ(Check(kCrc | kTrust), 1);
    EXPECT_EQ(m_reporter.Codes(), (Codes{10, 8, 7, 44, 7, 1}));
    EXPECT_EQ(Result().okCount, 2u);
}

TEST_F(IntegrityTest, WithoutCrcCheckFoundFilesAreNeitherOkNorCorrupt) {
    Write("01.mp3", "anything");
    Write("album.sfv", "01.mp3 CBF43926\r\n02.mp3 1\r\n");
    EXPECT_EQ(Check(0), 1);
    EXPECT_EQ(m_reporter.Codes(), (Codes{10, 8, 3, 45}));
    EXPECT_EQ(Counts(), (std::vector<unsigned>{2, 0, 0, 1}));
}

TEST_F(IntegrityTest, OnlyTheListMissingAFileAsks) {
    Write("01.mp3", kDigits);
    Write("a.sfv", "01.mp3 CBF43926\r\ngone.mp3 1\r\n");
    Write("b.sfv", "01.mp3 CBF43926\r\n");
    Write("album.m3u", "01.mp3\r\n");
    EXPECT_EQ(Check(kCrc), 1);
    EXPECT_EQ(m_reporter.Codes(), (Codes{8, 7, 1, 3, 45, 8, 7, 1, 8, 12}));
    EXPECT_EQ(m_reporter.OfCode(45)[0].n, "a.sfv");
    EXPECT_TRUE(Result().mismatch);  // one SFV entry missing, no playlist entry missing
}

TEST_F(IntegrityTest, MissingPlaylistEntriesAreNotProblems) {
    Write("01.mp3", kDigits);
    Write("album.sfv", "01.mp3 CBF43926\r\n");
    Write("album.m3u", "01.mp3\r\n02.mp3\r\n..\\other\\01.mp3\r\n");
    EXPECT_EQ(Check(kCrc), 1);
    EXPECT_EQ(m_reporter.Codes(), (Codes{8, 7, 1, 8, 3, 3, 45}));
    EXPECT_EQ(m_reporter.OfCode(3)[1].x, "..\\other\\01.mp3");
    EXPECT_EQ(Result().missingCount, 0u);
    EXPECT_TRUE(m_listed.problemLines.empty());
    EXPECT_TRUE(Result().mismatch);
}

TEST_F(IntegrityTest, SyntaxErrorsAreReportedWithTheirLine) {
    Write("album.sfv", "; c\r\nno crc here\r\n");
    Write("album.m3u", "");
    EXPECT_EQ(Check(kCrc), 1);
    const auto syntax = m_reporter.OfCode(5);
    ASSERT_EQ(syntax.size(), 1u);
    EXPECT_EQ(syntax[0].n, "album.sfv");
    EXPECT_EQ(syntax[0].x, "no crc here");  // the internal "<1>" stays out of sight
}

TEST_F(IntegrityTest, PlaylistIsPlannedForAnSfvWithoutOne) {
    Write("01.MP3", kDigits);
    Write("02.mp3", kAbc);
    Write("album.sfv", "01.MP3 CBF43926\r\n02.mp3 352441C2\r\n");
    EXPECT_EQ(Check(kCrc | kGenerate), 1);
    EXPECT_TRUE(m_listed.generatePlaylist);
    ASSERT_EQ(m_listed.m3uLists.size(), 1u);
    const M3uList& planned = m_listed.m3uLists[0];
    EXPECT_EQ(planned.FullPath(), m_dir / "album.m3u");
    EXPECT_EQ(planned.EntryCount(), 2u);
    EXPECT_EQ(planned.EntryPath(0), "01.MP3");
    EXPECT_EQ(planned.EntryPath(1), "02.mp3");
    EXPECT_FALSE(Result().listingCurrent);
}

TEST_F(IntegrityTest, NoPlaylistIsPlannedWhenFilesAreMissingOrNotAsked) {
    Write("01.mp3", kDigits);
    Write("album.sfv", "01.mp3 CBF43926\r\n02.mp3 1\r\n");
    EXPECT_EQ(Check(kCrc | kGenerate), 1);
    EXPECT_FALSE(m_listed.generatePlaylist);
    EXPECT_TRUE(m_listed.m3uLists.empty());

    Write("album.sfv", "01.mp3 CBF43926\r\n");
    EXPECT_EQ(Check(kCrc), 1);
    EXPECT_TRUE(m_listed.m3uLists.empty());
    EXPECT_TRUE(Result().listingCurrent);
}

TEST_F(IntegrityTest, NothingToCheckWithoutListsOrBackupFile) {
    Write("01.mp3", kDigits);
    EXPECT_EQ(Check(kCrc), 0);
    EXPECT_EQ(m_reporter.Codes(), (Codes{11, 13}));
}

TEST_F(IntegrityTest, BackupDataAlreadyPresentRefusesTheDirectory) {
    Write("_kestrow.backup", ";[V100abc\r\n");
    EXPECT_EQ(Check(kCrc), -1);
    EXPECT_EQ(m_reporter.Codes(), (Codes{11, -1}));
    EXPECT_EQ(m_reporter.reports[1].n, "_kestrow.backup");

    m_reporter.reports.clear();
    std::filesystem::remove(m_dir / "_kestrow.backup");
    Write("01.mp3", kDigits);
    Write("album.sfv", ";[V100packed\r\n01.mp3 CBF43926\r\n");
    Write("album.m3u", "#[V100packed\r\n01.mp3\r\n");
    EXPECT_EQ(Check(kCrc), -1);
    EXPECT_EQ(m_reporter.Codes(), (Codes{8, -1, 7, 1, 8, -1, 12}));
}

TEST_F(IntegrityTest, MissingNfoIsAskedOnlyWithoutSubdirectories) {
    std::filesystem::remove(m_dir / "release.nfo");
    Write("01.mp3", kDigits);
    Write("album.sfv", "01.mp3 CBF43926\r\n");
    Write("album.m3u", "01.mp3\r\n");
    m_reporter.Queue(42, {-1});
    EXPECT_EQ(Check(kCrc), -1);
    EXPECT_EQ(m_reporter.Codes(), (Codes{42}));

    m_reporter.reports.clear();
    EXPECT_EQ(Check(kCrc), 1);  // answered "go on" this time
    EXPECT_EQ(m_reporter.Codes().front(), 42);

    m_reporter.reports.clear();
    test::MakeDirs(m_dir / "CD1");
    EXPECT_EQ(Check(kCrc), 1);
    EXPECT_EQ(m_reporter.Codes().front(), 43);
}

TEST(CrcText, ComparesAsNumbers) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    };
    const Case cases[] = {{"0000ABCD", "ABCD", true},      {"abcd", "ABCD", true},
                          {"00000000", "0", true},         {"", "0", true},
                          {"0ABCD1234", "ABCD1234", true}, {"1ABCD1234", "ABCD1234", false},
                          {"ABCD", "ABCE", false},         {"ABCD0", "ABCD", false}};
    for (const auto& c : cases) EXPECT_EQ(CrcTextsEqual(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(CrcText(0xCBF43926u), "CBF43926");
    EXPECT_EQ(CrcText(0xABCDu), "ABCD");
    EXPECT_EQ(CrcText(0), "0");
}

TEST(VerifyFile, ComparesTheRealFile) {
    TempDir dir;
    WriteFile(dir / "Song.mp3", kDigits);
    ListedDir listed(dir.path());
    ASSERT_TRUE(listed.LoadLists());
    WriteFile(dir / "later.txt", kAbc);  // not in the scan: its real CRC is still computed
    std::string computed;
    EXPECT_EQ(VerifyFile(listed, "song.MP3", "cbf43926", &computed), 1);
    EXPECT_EQ(computed, "CBF43926");
    EXPECT_EQ(VerifyFile(listed, "Song.mp3", "12345678", &computed), 0);
    EXPECT_EQ(VerifyFile(listed, "later.txt", "352441C2"), 1);
    EXPECT_EQ(VerifyFile(listed, "none.mp3", "0"), -1);
    EXPECT_EQ(FileCrcText(listed, "later.txt"), std::optional<std::string>("352441C2"));
    EXPECT_EQ(FileCrcText(listed, "none.mp3"), std::nullopt);
}

TEST(FileCrc32, StreamsFilesLargerThanItsBuffer) {
    TempDir dir;
    std::string content(2 * kCrcBufferSize + 17, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>((i * 131) ^ (i >> 9));
    WriteFile(dir / "big.bin", content);
    std::uint32_t crc = 0;
    ASSERT_TRUE(FileCrc32(dir / "big.bin", crc));
    EXPECT_EQ(crc, Crc32With(Crc32Kernel::SliceBy8, 0, content.data(), content.size()));
    test::MakeDirs(dir / "folder");
    EXPECT_FALSE(FileCrc32(dir / "folder", crc));
}

TEST(ExistingTagline, RecognisesOkAndProblemTaglines) {
    struct Case {
        const char* name;
        std::string content;
        bool trusted;
        Strings names;
    };
    const Case cases[] = {
        {"[KSTW]-[OK-12_Files-85,3MB]-[KSTW]", "", true, {}},
        {"x-[OK-anything", "", true, {}},
        {"-[OK-at-the-start", "", false, {}},  // the marker must come after the first character
        {"[KSTW]-[OK-1_File-1KB]-[KSTW]", "not empty", false, {}},
        {"[KSTW]-[#INCOMPLETE#-1_of_3_Files-1KB]-[KSTW]",
         "Missing: a.mp3\r\n  MISSING: b.mp3  \r\nCorrupt: \r\nnoise line\r\ncorrupt: c d.mp3\r\n",
         false,
         {"a.mp3", "b.mp3", "c d.mp3"}},
        {"[KSTW]-[#CORRUPT#-1_of_2_Files-1KB]-[KSTW]", "Corrupt: x.mp3", false, {"x.mp3"}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / c.name, c.content);
        DirContents contents(dir.path());
        ASSERT_TRUE(contents.Scan());
        Strings names;
        EXPECT_EQ(ReadExistingTagline(contents, &names), c.trusted) << c.name;
        EXPECT_EQ(names, c.names) << c.name;
    }
}

TEST(ExistingTagline, EmptyOkTaglineWinsWhenFoundBeforeAProblemTagline) {
    TempDir dir;
    WriteFile(dir / "a-[OK-2_Files]", "");
    WriteFile(dir / "b-[#CORRUPT#-1_of_2]", "Corrupt: x.mp3\r\n");
    DirContents contents(dir.path());
    ASSERT_TRUE(contents.Scan());
    Strings names;
    EXPECT_TRUE(ReadExistingTagline(contents, &names));
    EXPECT_TRUE(names.empty());
    // Without a list, a problem tagline is not read.
    EXPECT_TRUE(ReadExistingTagline(contents));
}

}  // namespace
}  // namespace kestrow
