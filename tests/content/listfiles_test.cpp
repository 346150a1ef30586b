// SFV, M3U and backup-file syntax, the "<N>" prefixes, and loading a directory's lists.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "content/backupfile.h"
#include "content/listeddir.h"
#include "content/listentry.h"
#include "content/m3ulist.h"
#include "content/sfvlist.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::TempDir;
using test::WriteFile;
using Strings = std::vector<std::string>;

TEST(SfvDataLine, SplitsIntoNameAndCrcOrIsInvalid) {
    using Entry = std::optional<std::pair<std::string, std::string>>;  // name, CRC text; none = invalid
    const std::pair<const char*, Entry> cases[] = {
        {"01-intro.mp3 1a2b3c4d", {{"01-intro.mp3", "1a2b3c4d"}}},
        {"01 - my song.mp3   0000ABCD", {{"01 - my song.mp3", "0000ABCD"}}},
        {"a.mp3\tDEADBEEF", {{"a.mp3", "DEADBEEF"}}},
        {"a.mp3 \t DEADBEEF", {{"a.mp3", "DEADBEEF"}}},
        {"a.mp3 DEAD BEEF", {{"a.mp3 DEAD", "BEEF"}}},
        {"x 1", {{"x", "1"}}},
        {"ten.mp3 12345678AB", {{"ten.mp3", "12345678AB"}}},
        {"cd1\\track.mp3 ABCD1234", {{"cd1\\track.mp3", "ABCD1234"}}},
        {"track.mp3", std::nullopt},
        {"track.mp3 1a2b3c4g", std::nullopt},
        {"track.mp3 0x1234", std::nullopt},
        {"name.mp3 DEADBEEF!", std::nullopt},
    };
    for (const auto& [line, entry] : cases) {
        const auto parsed = SfvList::ParseDataLine(line);
        ASSERT_EQ(parsed.has_value(), entry.has_value()) << line;
        if (parsed) {
            EXPECT_EQ(std::make_pair(parsed->Text(), parsed->Crc()), *entry) << line;
        }
    }
}

class SfvListTest : public ::testing::Test {
protected:
    SfvList Load(const std::string& content) {
        WriteFile(m_dir / "album.sfv", content);
        SfvList list(PathName(m_dir / "album.sfv", false));
        EXPECT_TRUE(list.Load());
        EXPECT_TRUE(list.Loaded());
        return list;
    }
    TempDir m_dir;
};

TEST_F(SfvListTest, CommentsEntriesAndInvalidLinesKeepTheirOrderNumbers) {
    const std::string content =
        "; made by a tool  \r\n"     // <0>, trailing blanks kept
        "\r\n"                       // blank: skipped, not counted
        "x\r\n"                      // one character: skipped, not counted
        "01-intro.mp3 1a2b3c4d\r\n"  // entry, number 1
        "bad line here\r\n"          // <2> invalid
        ";\x0b"
        "data\x0b\r\n"        // <3> comment ending in byte 11
        "  \t;indented\r\n"   // <4>
        "last.mp3 00000000";  // entry, no break at the end
    SfvList list = Load(content);
    EXPECT_EQ(list.Comments(), (Strings{"<0> made by a tool  ",
                                        "<3>\x0b"
                                        "data\x0b",
                                        "<4>indented"}));
    EXPECT_EQ(list.Comment(0), " made by a tool  ");
    EXPECT_EQ(list.Comment(1),
              "\x0b"
              "data\x0b");
    EXPECT_EQ(list.InvalidLines(), (Strings{"<2>bad line here"}));
    ASSERT_EQ(list.EntryCount(), 2u);
    EXPECT_EQ(list.EntryName(0), "01-intro.mp3");
    EXPECT_EQ(list.EntryCrc(0), "1a2b3c4d");
    EXPECT_EQ(list.EntryName(1), "last.mp3");
    EXPECT_EQ(list.EntryCrc(1), "00000000");
    EXPECT_EQ(list.EntryName(2), "");
    EXPECT_EQ(list.EntryCrc(2), "");
    EXPECT_EQ(list.Comment(3), "");
}

TEST_F(SfvListTest, OnlyCommentsGiveNoEntriesAndAByteOrderMarkIsNoText) {
    SfvList list = Load(";one\n;two\n;three\n");
    EXPECT_EQ(list.EntryCount(), 0u);
    EXPECT_EQ(list.Comments(), (Strings{"<0>one", "<1>two", "<2>three"}));
    list = Load(
        "\xEF\xBB\xBF"
        "a.mp3 1234ABCD\r\n");
    ASSERT_EQ(list.EntryCount(), 1u);
    EXPECT_EQ(list.EntryName(0), "a.mp3");
}

TEST_F(SfvListTest, WindowsPathsStayAsWritten) {
    SfvList list = Load("cd1\\Track 01.mp3 ABCD1234\r\n..\\x/y.mp3 1\r\n");
    ASSERT_EQ(list.EntryCount(), 2u);
    EXPECT_EQ(list.EntryName(0), "cd1\\Track 01.mp3");
    EXPECT_EQ(list.Entries()[0].DirPart(), "cd1\\");
    EXPECT_EQ(list.Entries()[0].FileName(), "Track 01.mp3");
    EXPECT_EQ(list.Entries()[0].DiskPath(), "cd1/Track 01.mp3");
    EXPECT_EQ(list.Entries()[1].Components(), (Strings{"..", "x"}));
}

TEST_F(SfvListTest, FindAndSetEntries) {
    SfvList list = Load("Track.mp3 11111111\r\ntrack.MP3 22222222\r\nother.mp3 33333333\r\n");
    EXPECT_EQ(list.FindEntry("track.MP3"), 1);  // the exact spelling wins
    EXPECT_EQ(list.FindEntry("TRACK.mp3"), 0);  // else the first without regard to case
    EXPECT_EQ(list.FindEntry("none.mp3"), -1);
    EXPECT_FALSE(list.SetEntry(std::nullopt, std::nullopt, 0));
    EXPECT_FALSE(list.SetEntry("x.mp3", "1", 3));
    EXPECT_TRUE(list.SetEntry("renamed.mp3", std::nullopt, 2));
    EXPECT_TRUE(list.SetEntry(std::nullopt, "ABCDEF01", 0));
    EXPECT_EQ(list.EntryName(2), "renamed.mp3");
    EXPECT_EQ(list.EntryCrc(2), "33333333");
    EXPECT_EQ(list.EntryName(0), "Track.mp3");
    EXPECT_EQ(list.EntryCrc(0), "ABCDEF01");

    // Look-ups between changes see every change.
    EXPECT_EQ(list.FindEntry("OTHER.mp3"), -1);
    EXPECT_EQ(list.FindEntry("RENAMED.MP3"), 2);
    EXPECT_TRUE(list.SetEntry("other.mp3", std::nullopt, 1));  // moves ahead of the others
    EXPECT_EQ(list.FindEntry("track.MP3"), 0);
    EXPECT_EQ(list.FindEntry("OTHER.MP3"), 1);
    EXPECT_TRUE(list.SetEntry("zz.mp3", std::nullopt, 1));  // and behind them
    EXPECT_EQ(list.FindEntry("ZZ.mp3"), 1);
    EXPECT_EQ(list.FindEntry("renamed.mp3"), 2);
    EXPECT_TRUE(list.RemoveEntry(0));
    EXPECT_EQ(list.FindEntry("zz.mp3"), 0);
    EXPECT_EQ(list.FindEntry("Track.mp3"), -1);
}

TEST_F(SfvListTest, ReloadingDoesNotAppendAndAMissingFileLeavesAnEmptyUnloadedList) {
    WriteFile(m_dir / "a.sfv", ";c\r\na.mp3 1\r\nbad\r\n");
    SfvList list(PathName(m_dir / "a.sfv", false));
    ASSERT_TRUE(list.Load());
    ASSERT_TRUE(list.Load());
    EXPECT_EQ(list.EntryCount(), 1u);
    EXPECT_EQ(list.CommentCount(), 1u);
    EXPECT_EQ(list.InvalidLines().size(), 1u);

    SfvList missing(PathName(m_dir / "gone.sfv", false));
    std::string error;
    EXPECT_FALSE(missing.Load(&error));
    EXPECT_FALSE(missing.Loaded());
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(missing.EntryCount(), 0u);
}

// Reading the process's own memory from offset 0 fails with EIO although the open succeeds.
TEST(ListFilesReadError, AListWhoseReadFailsIsNotLoaded) {
    const PathName failing("/proc/self/mem", false);
    if (!platform::InputFile().open(failing.FullPath())) GTEST_SKIP() << "no /proc/self/mem";
    std::string error;
    SfvList sfv(failing);
    EXPECT_FALSE(sfv.Load(&error));
    EXPECT_FALSE(sfv.Loaded());
    EXPECT_FALSE(error.empty());
    M3uList m3u(failing);
    EXPECT_FALSE(m3u.Load());
    EXPECT_FALSE(m3u.Loaded());
    BackupFile backup(failing);
    EXPECT_FALSE(backup.Load());
    EXPECT_FALSE(backup.HasContent());
}

TEST(M3uListTest, EntriesAndCommentsIncludingExtendedLines) {
    TempDir dir;
    WriteFile(dir / "a.m3u",
              "#EXTM3U\r\n"
              "#EXTINF:123,Artist - Title \r\n"
              "01-track.mp3\r\n"
              "\r\n"
              "..\\other\\track.mp3\r\n"
              "  sub/Track 2.mp3  \n");
    M3uList list(PathName(dir / "a.m3u", false));
    ASSERT_TRUE(list.Load());
    EXPECT_EQ(list.Comments(), (Strings{"<0>EXTM3U", "<1>EXTINF:123,Artist - Title "}));
    EXPECT_EQ(list.Comment(1), "EXTINF:123,Artist - Title ");
    ASSERT_EQ(list.EntryCount(), 3u);
    EXPECT_EQ(list.EntryPath(0), "01-track.mp3");
    EXPECT_EQ(list.EntryPath(1), "..\\other\\track.mp3");
    EXPECT_EQ(list.Entries()[1].DirPart(), "..\\other\\");
    EXPECT_EQ(list.EntryPath(2), "sub/Track 2.mp3");
    EXPECT_EQ(list.EntryPath(3), "");
    EXPECT_EQ(list.FindEntry("SUB/track 2.MP3"), 2);
    EXPECT_EQ(list.FindEntry("missing.mp3"), -1);
}

TEST(M3uListTest, AddAndReplaceEntries) {
    M3uList list(PathName("/tmp/planned.m3u", false));
    EXPECT_FALSE(list.Loaded());
    EXPECT_FALSE(list.AddEntry("b.mp3", 1));  // past the end
    EXPECT_TRUE(list.AddEntry("b.mp3", 0));
    EXPECT_TRUE(list.AddEntry("c.mp3", 1));
    EXPECT_TRUE(list.AddEntry("a.mp3", 0));  // 0 inserts in front
    EXPECT_TRUE(list.AddEntry("d.mp3", 2));  // any other position appends
    EXPECT_FALSE(list.ReplaceEntry("x.mp3", 4));
    EXPECT_TRUE(list.ReplaceEntry("B2.mp3", 1));
    EXPECT_EQ((Strings{list.EntryPath(0), list.EntryPath(1), list.EntryPath(2), list.EntryPath(3)}),
              (Strings{"a.mp3", "B2.mp3", "c.mp3", "d.mp3"}));
    EXPECT_EQ(list.FindEntry("b2.MP3"), 1);
    EXPECT_TRUE(list.AddEntry("b2.mp3", 0));
    EXPECT_TRUE(list.AddEntry("D.MP3", 5));
    EXPECT_EQ(list.FindEntry("B2.mp3"), 2);
    EXPECT_EQ(list.FindEntry("B2.MP3"), 0);
    EXPECT_EQ(list.FindEntry("d.Mp3"), 4);
}

TEST(BackupFileTest, KeepsSemicolonLinesUntrimmed) {
    TempDir dir;
    WriteFile(dir / "_kestrow.backup", ";data1 \r\nplain text\r\n; [V100xyz\x0b\r\n");
    BackupFile backup(PathName(dir / "_kestrow.backup", false));
    ASSERT_TRUE(backup.Load());
    EXPECT_TRUE(backup.HasContent());
    EXPECT_EQ(backup.Comments(), (Strings{"data1 ", " [V100xyz\x0b"}));
    EXPECT_EQ(backup.Comment(1), " [V100xyz\x0b");
    EXPECT_EQ(backup.Comment(2), "");

    BackupFile missing(PathName(dir / "nothing.backup", false));
    EXPECT_FALSE(missing.Load());
    EXPECT_FALSE(missing.HasContent());
}

TEST(ListPrefixTest, ReadsTheNumberBack) {
    struct Case {
        const char* stored;
        int n;
    };
    const Case cases[] = {{"<0>abc", 0}, {"<12>x", 12}, {"<7>", 7}, {"", -1},    {"<>x", -1},
                          {"<5", -1},    {"x<1>", -2},  {"a", -2},  {"<1a>", -1}};
    for (const auto& c : cases) EXPECT_EQ(PrefixNumber(c.stored), c.n) << c.stored;
    EXPECT_EQ(ListPrefix(42), "<42>");
    EXPECT_EQ(PrefixNumber(ListPrefix(42) + "text"), 42);
    EXPECT_EQ(WithoutPrefix("<3>a>b"), "a>b");
}

TEST(ListedDirTest, LoadsEveryListOfTheDirectory) {
    TempDir dir;
    WriteFile(dir / "b.sfv", "b.mp3 1\r\n");
    WriteFile(dir / "A.sfv", "a.mp3 2\r\n;note\r\n");
    WriteFile(dir / "album.m3u", "a.mp3\r\nb.mp3\r\n");
    WriteFile(dir / "_KESTROW.backup", ";[V100data\r\n");
    WriteFile(dir / "a.mp3", "x");
    ListedDir listed(dir.path());
    ASSERT_TRUE(listed.LoadLists());
    ASSERT_EQ(listed.sfvLists.size(), 2u);
    EXPECT_EQ(listed.sfvListCount, 2u);
    EXPECT_EQ(listed.sfvLists[0].FileName(), "A.sfv");  // class order
    EXPECT_EQ(listed.sfvLists[0].EntryName(0), "a.mp3");
    EXPECT_EQ(listed.sfvLists[1].EntryName(0), "b.mp3");
    ASSERT_EQ(listed.m3uLists.size(), 1u);
    EXPECT_EQ(listed.m3uListCount, 1u);
    EXPECT_EQ(listed.m3uLists[0].EntryCount(), 2u);
    ASSERT_TRUE(listed.backupFile.has_value());
    EXPECT_EQ(listed.backupFile->Comments(), (Strings{"[V100data"}));
    EXPECT_TRUE(listed.integrity.listingCurrent);

    // Loading again starts from lists built from a fresh scan.
    std::filesystem::remove(dir / "b.sfv");
    std::filesystem::remove(dir / "_KESTROW.backup");
    ASSERT_TRUE(listed.LoadLists());
    ASSERT_EQ(listed.sfvLists.size(), 1u);
    EXPECT_EQ(listed.sfvLists[0].EntryCount(), 1u);
    EXPECT_EQ(listed.sfvLists[0].CommentCount(), 1u);
    EXPECT_EQ(listed.m3uLists[0].EntryCount(), 2u);
    EXPECT_FALSE(listed.backupFile.has_value());
}

TEST(ListedDirTest, AnUnreadableListStaysUnloaded) {
    TempDir dir;
    WriteFile(dir / "huge.sfv", "");
    std::filesystem::resize_file(dir / "huge.sfv", platform::kMaxTextFileSize + 1);
    WriteFile(dir / "ok.sfv", "a.mp3 1\r\n");
    ListedDir listed(dir.path());
    ASSERT_TRUE(listed.LoadLists());
    ASSERT_EQ(listed.sfvLists.size(), 2u);
    EXPECT_FALSE(listed.sfvLists[0].Loaded());
    EXPECT_EQ(listed.sfvLists[0].EntryCount(), 0u);
    EXPECT_TRUE(listed.sfvLists[1].Loaded());
}

}  // namespace
}  // namespace kestrow
