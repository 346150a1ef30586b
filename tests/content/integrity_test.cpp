// The integrity check against a recording reporter, file CRCs, and recognising taglines.
#include "content/integrity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "content/crc32.h"
#include "content/existingtagline.h"
#include "content/listeddir.h"
#include "tests/support/golden.h"
#include "tests/support/recordingreporter.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::RecordingReporter;
using test::TempDir;
using test::WriteFile;
using Strings = std::vector<std::string>;

constexpr unsigned kCrc = IntegrityFlag::PrepareCRCCheck;
constexpr unsigned kTrust = IntegrityFlag::PrepareTaglineTrustExisting;
constexpr unsigned kGenerate = IntegrityFlag::PrepareGenerateM3U;

// Contents with published CRC-32 values.
const std::string kDigits = "123456789";  // CBF43926
const std::string kAbc = "abc";           // 352441C2

// Each check's result, reports, counts and problem lines go into a golden transcript under
// tests/golden/integrity.
class IntegrityTest : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(m_dir / "release.nfo", "info"); }
    void Write(const std::string& name, const std::string& content) { WriteFile(m_dir / name, content); }
    void Load() {
        m_listed = ListedDir(m_dir.path());
        EXPECT_TRUE(m_listed.LoadLists());
    }
    int Check(unsigned flags, const std::string& title = "check") {
        Load();
        return Checked(CheckIntegrity(m_listed, flags, false, m_reporter), title);
    }
    // Adds a check's outcome to the transcript.
    int Checked(int result, const std::string& title, RecordingReporter* reporter = nullptr) {
        const auto& r = m_listed.integrity;
        m_transcript += "== " + title + ": result " + std::to_string(result) + "\n" +
                        (reporter ? *reporter : m_reporter).TakeTranscript() + "  listed " +
                        std::to_string(r.listedCount) + ", ok " + std::to_string(r.okCount) + ", corrupt " +
                        std::to_string(r.corruptCount) + ", missing " + std::to_string(r.missingCount) +
                        (r.mismatch ? ", mismatch" : "") + (r.listingCurrent ? ", listing current" : "") +
                        (m_listed.generatePlaylist ? ", playlist planned" : "") + "\n";
        for (const auto& line : m_listed.problemLines)
            m_transcript += "  problem |" + test::ReplaceAll(line, "\r\n", "\\r\\n") + "|\n";
        for (const auto& list : m_listed.m3uLists) {
            m_transcript += "  playlist " + list.FullPath().substr(m_dir.path().size()) + ":";
            for (std::size_t i = 0; i < list.EntryCount(); ++i) m_transcript += " " + list.EntryPath(i);
            m_transcript += "\n";
        }
        return result;
    }
    void Golden() {
        test::ExpectGolden(
            std::string("integrity/") + testing::UnitTest::GetInstance()->current_test_info()->name(),
            test::ReplaceAll(m_transcript, m_dir.path(), "<DIR>"));
    }

    TempDir m_dir;
    ListedDir m_listed;
    RecordingReporter m_reporter;
    std::string m_transcript;
};

// Checksums compare as numbers, in any case; a list may name a file in another case or twice.
TEST_F(IntegrityTest, IntactReleaseIsAllOk) {
    Write("01.mp3", kDigits);
    Write("02.mp3", kAbc);
    Write("Track.MP3", kDigits);
    Write("empty.txt", "");
    Write("album.sfv",
          "; made by a tool\r\n01.mp3 cbf43926\r\n02.mp3 0352441C2\r\ntrack.mp3 CBF43926\r\n"
          "01.mp3 CBF43926\r\nempty.txt 00000000\r\n");
    Write("album.m3u", "01.mp3\r\n02.mp3\r\n");
    Check(kCrc);
    Golden();
}

TEST_F(IntegrityTest, MissingAndCorruptFilesAreCountedAndListed) {
    Write("01.mp3", kDigits);
    Write("track.mp3", kAbc);
    Write("02.mp3", kAbc);
    Write("03.mp3", kAbc);
    Write("album.sfv",
          "01.mp3 DEADBEEF\r\n03.mp3 12345678\r\ncd1\\track.mp3 352441C2\r\n02.mp3 1352441C2\r\n03.mp3 "
          "352441C\r\n04.mp3 1\r\n");
    Check(kCrc);
    // Without CRC checking, found files are neither OK nor corrupt.
    Check(0, "without CRC check");
    m_reporter.Queue(45, {-1});
    Check(kCrc, "stopped at the missing files question");
    Golden();
}

TEST_F(IntegrityTest, UnreadableFileIsRetriedThenGivenUpOrFoundAgain) {
    Write("01.mp3", kDigits);
    Write("album.sfv", "01.mp3 CBF43926\r\n");
    Load();
    std::filesystem::remove(m_dir / "01.mp3");  // vanishes between the scan and the check
    m_reporter.Queue(6, {0, 0, -1});
    Checked(CheckIntegrity(m_listed, kCrc, false, m_reporter), "given up");

    // Put back when asked about, then Retry.
    struct Restoring : RecordingReporter {
        std::string path;
        int Report(int code, const std::string& n, const std::string& m, const std::string& x) override {
            RecordingReporter::Report(code, n, m, x);
            if (code != 6) return 1;
            WriteFile(path, kDigits);
            return 0;
        }
    } restoring;
    restoring.path = m_dir / "01.mp3";
    Load();
    std::filesystem::remove(m_dir / "01.mp3");
    Checked(CheckIntegrity(m_listed, kCrc, false, restoring), "back on retry", &restoring);
    Golden();
}

// An OK tagline vouches only when trusting is asked for; a problem tagline recomputes only the
// files it names.
TEST_F(IntegrityTest, TaglinesAreTrustedOnlyWhenAskedFor) {
    Write("01.mp3", kDigits);
    Write("02.mp3", "corrupted");
    Write("[KSTW]-[OK-3_Files-1KB]-[KSTW]", "");
    Write("album.sfv", "01.mp3 CBF43926\r\n02.mp3 352441C2\r\n03.mp3 1\r\n");
    Check(kCrc | kTrust, "crc and trust");
    Check(kTrust, "trust alone");
    Check(kCrc, "crc alone");
    std::filesystem::remove(m_dir / "[KSTW]-[OK-3_Files-1KB]-[KSTW]");
    Write("01.mp3", "corrupt but trusted");
    Write("02.mp3", kAbc);
    Write("[KSTW]-[#CORRUPT#-1_of_2_Files-1KB]-[KSTW]", "corrupt: 02.MP3\r\n");
    Write("album.sfv", "01.mp3 CBF43926\r\n02.mp3 352441C2\r\n");
    Check(kCrc | kTrust, "problem tagline");
    Golden();
}

// Only the list missing a file asks; missing playlist entries are no problems; syntax errors
// are reported with their line.
TEST_F(IntegrityTest, SeveralListsPlaylistsAndSyntaxErrors) {
    Write("01.mp3", kDigits);
    Write("a.sfv", "01.mp3 CBF43926\r\ngone.mp3 1\r\n");
    Write("b.sfv", "01.mp3 CBF43926\r\n; c\r\nno crc here\r\n");
    Write("album.m3u", "01.mp3\r\n02.mp3\r\n..\\other\\01.mp3\r\n");
    Check(kCrc);
    Golden();
}

TEST_F(IntegrityTest, PlaylistIsPlannedOnlyForACompleteSfvWithoutOne) {
    Write("01.MP3", kDigits);
    Write("02.mp3", kAbc);
    Write("album.sfv", "01.MP3 CBF43926\r\n02.mp3 352441C2\r\n");
    Check(kCrc | kGenerate, "asked for");
    Check(kCrc, "not asked for");
    Write("album.sfv", "01.MP3 CBF43926\r\n03.mp3 1\r\n");
    Check(kCrc | kGenerate, "a file missing");
    Golden();
}

TEST_F(IntegrityTest, NothingToCheckOrBackupDataAlreadyPresent) {
    Write("01.mp3", kDigits);
    Check(kCrc, "no lists");
    Write("_kestrow.backup", ";[V100abc\r\n");
    Check(kCrc, "backup file");
    std::filesystem::remove(m_dir / "_kestrow.backup");
    Write("album.sfv", ";[V100packed\r\n01.mp3 CBF43926\r\n");
    Write("album.m3u", "#[V100packed\r\n01.mp3\r\n");
    Check(kCrc, "blocks in the lists");
    Golden();
}

TEST_F(IntegrityTest, MissingNfoIsAskedOnlyWithoutSubdirectories) {
    std::filesystem::remove(m_dir / "release.nfo");
    Write("01.mp3", kDigits);
    Write("album.sfv", "01.mp3 CBF43926\r\n");
    Write("album.m3u", "01.mp3\r\n");
    m_reporter.Queue(42, {-1});
    Check(kCrc, "refused");
    Check(kCrc, "go on");
    test::MakeDirs(m_dir / "CD1");
    Check(kCrc, "with a subdirectory");
    Golden();
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
    // A name with a folder part, in either spelling, is not a file of this directory.
    WriteFile(dir / "cd1/track.mp3", kDigits);
    EXPECT_EQ(VerifyFile(listed, "cd1/track.mp3", "CBF43926"), -1);
    EXPECT_EQ(VerifyFile(listed, "cd1\\track.mp3", "CBF43926"), -1);
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
