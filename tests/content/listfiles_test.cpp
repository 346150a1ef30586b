// SFV, M3U and backup-file syntax, the "<N>" prefixes, and loading a directory's lists.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "content/backupfile.h"
#include "content/listeddir.h"
#include "content/listentry.h"
#include "content/m3ulist.h"
#include "content/sfvlist.h"
#include "tests/support/golden.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::TempDir;
using test::WriteFile;
using Strings = std::vector<std::string>;

std::string Quoted(std::string_view text) {
    return "|" + std::string(text) + "|";
}

// Comments, invalid lines and entries of every list under tests/data/lists as the lists read
// them, entries split into their parts, and what the accessors give one past the end.
TEST(ListFiles, ReadAsTheTranscriptShows) {
    std::string t;
    for (const char* name : {"comments-entries-invalid.sfv", "only-comments.sfv", "byte-order-mark.sfv",
                             "windows-paths.sfv", "extended.m3u", "_kestrow.backup"}) {
        const PathName path(test::TestDataPath(std::string("lists/") + name), false);
        std::vector<std::string> comments;
        std::vector<ListEntry> entries;
        t += std::string("== ") + name + "\n";
        if (path.ext == "sfv") {
            SfvList list(path);
            ASSERT_TRUE(list.Load());
            comments = list.Comments();
            entries = list.Entries();
            for (const auto& line : list.InvalidLines()) t += "invalid " + Quoted(line) + "\n";
            const std::size_t n = list.EntryCount();
            t += "beyond: " + Quoted(list.EntryName(n)) + Quoted(list.EntryCrc(n)) +
                 Quoted(list.Comment(list.CommentCount())) + "\n";
            for (std::size_t i = 0; i < list.CommentCount(); ++i)
                t += "comment text " + Quoted(list.Comment(i)) + "\n";
        } else if (path.ext == "m3u") {
            M3uList list(path);
            ASSERT_TRUE(list.Load());
            comments = list.Comments();
            entries = list.Entries();
            t += "beyond: " + Quoted(list.EntryPath(list.EntryCount())) + "\n";
        } else {
            BackupFile backup(path);
            ASSERT_TRUE(backup.Load());
            EXPECT_TRUE(backup.HasContent());
            comments = backup.Comments();
            t += "beyond: " + Quoted(backup.Comment(comments.size())) + "\n";
        }
        for (const auto& c : comments) t += "comment " + Quoted(c) + "\n";
        for (const auto& e : entries) {
            t += "entry " + Quoted(e.Text()) + " crc " + Quoted(e.Crc()) + " dir " + Quoted(e.DirPart()) +
                 " file " + Quoted(e.FileName()) + " disk " + Quoted(e.DiskPath()) + " components";
            for (const auto& c : e.Components()) t += " " + Quoted(c);
            t += "\n";
        }
    }
    // One line at a time: name and checksum, or not an entry.
    t += "== data lines\n";
    std::istringstream lines(test::ReadFile(test::TestDataPath("lists/data-lines.sfv")));
    for (std::string line; std::getline(lines, line);) {
        const auto parsed = SfvList::ParseDataLine(line);
        t += Quoted(line) + " -> " +
             (parsed ? Quoted(parsed->Text()) + " " + Quoted(parsed->Crc()) : "invalid") + "\n";
    }
    test::ExpectGolden("lists/read", t);
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

TEST_F(SfvListTest, ReloadingDoesNotAppend) {
    WriteFile(m_dir / "a.sfv", ";c\r\na.mp3 1\r\nbad\r\n");
    SfvList list(PathName(m_dir / "a.sfv", false));
    ASSERT_TRUE(list.Load());
    ASSERT_TRUE(list.Load());
    EXPECT_EQ(list.EntryCount(), 1u);
    EXPECT_EQ(list.CommentCount(), 1u);
    EXPECT_EQ(list.InvalidLines().size(), 1u);
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
    M3uList read(PathName(test::TestDataPath("lists/extended.m3u"), false));
    ASSERT_TRUE(read.Load());
    EXPECT_EQ(read.FindEntry("SUB/track 2.MP3"), 2);
    EXPECT_EQ(read.FindEntry("missing.mp3"), -1);
    EXPECT_FALSE(BackupFile(PathName(test::TestDataPath("lists/none.backup"), false)).Load());
}

TEST(ListPrefixTest, ReadsTheNumberBack) {
    const auto rows = test::TableRows("list_prefix_rows.txt");
    EXPECT_EQ(rows.size(), 9u);
    for (const auto& row : rows) EXPECT_EQ(PrefixNumber(row[0]), std::stoi(row[1])) << row[0];
    EXPECT_EQ(ListPrefix(42), "<42>");
    EXPECT_EQ(PrefixNumber(ListPrefix(42) + "text"), 42);
    EXPECT_EQ(WithoutPrefix("<3>a>b"), "a>b");
}

// Loading again starts from lists built from a fresh scan: nothing of a deleted list or backup
// file stays behind.
TEST(ListedDirTest, LoadingAgainForgetsListsThatWentAway) {
    TempDir dir;
    WriteFile(dir / "b.sfv", "b.mp3 1\r\n");
    WriteFile(dir / "A.sfv", "a.mp3 2\r\n");
    WriteFile(dir / "_KESTROW.backup", ";[V100data\r\n");
    ListedDir listed(dir.path());
    ASSERT_TRUE(listed.LoadLists());
    ASSERT_TRUE(listed.backupFile.has_value());
    std::filesystem::remove(dir / "b.sfv");
    std::filesystem::remove(dir / "_KESTROW.backup");
    ASSERT_TRUE(listed.LoadLists());
    ASSERT_EQ(listed.sfvLists.size(), 1u);
    EXPECT_EQ(listed.sfvLists[0].EntryName(0), "a.mp3");
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
