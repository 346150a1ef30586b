// Directory scan into six classes, iteration orders and name look-ups.
#include "content/dircontents.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>

#include "tests/support/golden.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::TempDir;
using test::WriteFile;

TEST(PathName, SplitsFilesAndDirectories) {
    const auto rows = test::TableRows("pathname_rows.txt");
    ASSERT_EQ(rows.size(), 9u);
    for (const auto& row : rows) {
        PathName p(row[0], row[1] == "d");
        EXPECT_EQ(p.dir, row[2]) << row[0];
        EXPECT_EQ(p.title, row[3]) << row[0];
        EXPECT_EQ(p.ext, row[4]) << row[0];
        EXPECT_EQ(p.components, test::Words(row[5])) << row[0];
    }
    PathName file("/music/album/01.mp3", false);
    EXPECT_EQ(file.FullPath(), "/music/album/01.mp3");
    EXPECT_EQ(file.DottedExt(), ".mp3");
    EXPECT_EQ(file.Component(-1), "/music/album/");
    EXPECT_EQ(file.Component(5), "");
    EXPECT_EQ(PathName("/a/README", false).FileName(), "README");
    EXPECT_EQ(PathName("/a/song.", false).FileName(), "song.");
}

TEST(DirContents, EmptyDirectoryScansWithNothingPresentAndAMissingOneFails) {
    TempDir t;
    DirContents d(t.path());
    ASSERT_TRUE(d.Scan());
    for (int c = 0; c < kFileClassCount; ++c) EXPECT_FALSE(d.Has(static_cast<FileClass>(c)));
    EXPECT_EQ(d.TotalSize(), 0u);
    EXPECT_FALSE(d.FirstFile());
    EXPECT_FALSE(d.First(FileClass::Mp3));
    EXPECT_FALSE(DirContents(t / "gone").Scan());
    EXPECT_FALSE(DirContents().Scan());
}

// One folder of every kind of entry: its classes with their entries, the walking orders and the
// look-ups of names in other cases, as a golden transcript.
TEST(DirContents, ClassesOrdersAndLookUps) {
    TempDir t;
    const std::pair<const char*, const char*> files[] = {
        {"album.Mp3", ""},    {"ALBUM.MP3", ""},   {"album.mp3.txt", ""}, {"README", ""},
        {".nfo", ""},         {"list.sfv", ""},    {"play.M3U", ""},      {"cover.JPG", "22"},
        {"b.mp3", "1234567"}, {"Same.txt", "333"}, {"same.txt", "4444"},  {"x.nfo.bak", "55555"},
        {"caf\xE9.mp3", "x"}};
    for (const auto& [name, bytes] : files) WriteFile(t / name, bytes);
    test::MakeDirs(t / "CD2");
    test::MakeDirs(t / "cd1");
    ASSERT_EQ(::mkfifo((t / "fifo.mp3").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("b.mp3", (t / "link.mp3").c_str()), 0);
    DirContents d(t.path());
    ASSERT_TRUE(d.Scan());
    std::string out;
    const char* classes[] = {"subdirs", "mp3", "m3u", "nfo", "sfv", "other"};
    for (int c = 0; c < kFileClassCount; ++c) {
        out += std::string(classes[c]) + ":";
        for (const auto& e : d.List(static_cast<FileClass>(c)))
            out += " " + (c == 0 ? e.path.LastComponent() : e.path.FileName()) + "|" + e.path.title + "|";
        out += "\n";
    }
    out += "total size " + std::to_string(d.TotalSize()) + "\nall files:";
    for (bool more = d.FirstFile(); more; more = d.NextFile()) out += " " + d.CurrentFileName();
    out += "\nother files:";
    for (bool more = d.FirstFile(); more; more = d.NextFile(false)) out += " " + d.CurrentFileName();
    out += "\nsubdirs:";
    for (bool more = d.First(FileClass::Subdir); more; more = d.Next(FileClass::Subdir))
        out += " " + d.CurrentTitle(FileClass::Subdir);
    out += "\nsubdir 1 " + d.SubdirName(1) + ", subdir 2 |" + d.SubdirName(2) + "|\n";
    for (const char* name : {"ALBUM.mp3", "album.MP3", "COVER.jpg", "same.txt", "Same.txt", "SAME.TXT",
                             "X.NFO.BAK", "CAF\xC9.MP3", "missing.mp3", "cd1", "CD1", "CD2"}) {
        const FileEntry* f = d.GetFile(name);
        const FileEntry* s = d.GetSubdir(name);
        out += std::string("look-up ") + name + ": file " + (f ? f->path.FileName() : "-") + " size " +
               std::to_string(f ? f->size : 0) + ", subdir " + (s ? s->path.LastComponent() : "-") + "\n";
        EXPECT_EQ(d.FindSubdir(name), s ? 0 : -1);
    }
    test::ExpectGolden("content/dircontents", out);
}

TEST(DirContents, LargeFilesKeepTheirFullSize) {
    TempDir t;
    const std::uint64_t fiveGiB = 5ULL << 30;
    WriteFile(t / "big.mp3", "");
    if (::truncate((t / "big.mp3").c_str(), static_cast<off_t>(fiveGiB)) != 0)
        GTEST_SKIP() << "no sparse files";
    DirContents d(t.path());
    ASSERT_TRUE(d.Scan());
    ASSERT_NE(d.GetFile("big.mp3"), nullptr);
    EXPECT_EQ(d.GetFile("big.mp3")->size, fiveGiB);
    EXPECT_EQ(d.TotalSize(), fiveGiB);
}

// The look-up index: twins and names that fold alike (Latin-1 letters in UTF-8 and as single
// bytes), files added after the listing, a rename between two look-ups and a held listing.
TEST(DirContents, IndexKeepsExactFirstThroughAddsRenamesAndHolds) {
    TempDir t;
    for (const char* name :
         {"b.txt", "\xC3\x84rger.txt", "\xC3\xA4rger.txt", "Twin.mp3", "TWIN.mp3", "z.txt"})
        WriteFile(t / name, "");
    DirContents d(t.path());
    ASSERT_TRUE(d.Scan());
    auto found = [&](std::string_view name) {
        const FileEntry* e = d.GetFile(name);
        return e ? e->path.FileName() : std::string("-");
    };
    EXPECT_EQ(found("\xC3\xA4RGER.TXT"), "\xC3\x84rger.txt");
    EXPECT_EQ(found("\xC3\xA4rger.txt"), "\xC3\xA4rger.txt");
    EXPECT_EQ(found("twin.MP3"), "TWIN.mp3");  // first in the listing's order
    EXPECT_EQ(found("Twin.mp3"), "Twin.mp3");

    // Added after the listing: found exactly, and ranked among its twins where a new listing
    // would put it.
    d.AddFile("a.txt", 1);
    d.AddFile("B.TXT", 2);
    EXPECT_EQ(found("a.txt"), "a.txt");
    EXPECT_EQ(found("B.TXT"), "B.TXT");
    EXPECT_EQ(found("b.TXT"), "B.TXT");
    EXPECT_EQ(found("Z.TXT"), "z.txt");

    ASSERT_EQ(::rename((t / "z.txt").c_str(), (t / "y.txt").c_str()), 0);
    EXPECT_EQ(found("z.txt"), "z.txt");  // the listing is not the disk
    {
        const HeldListing held(d);
        ASSERT_TRUE(d.Scan());
        EXPECT_EQ(found("z.txt"), "z.txt");  // held: nothing reported changed yet
        d.ListingChanged();
        ASSERT_TRUE(d.Scan());
        EXPECT_EQ(found("z.txt"), "-");
        EXPECT_EQ(found("Y.TXT"), "y.txt");
        EXPECT_EQ(found("a.txt"), "-");
    }
    ASSERT_EQ(::rename((t / "y.txt").c_str(), (t / "x.txt").c_str()), 0);
    ASSERT_TRUE(d.Scan());  // no longer held: listed anew
    EXPECT_EQ(found("x.txt"), "x.txt");
}

TEST(DirContents, CopyKeepsEntriesAndResetsCursors) {
    TempDir t;
    WriteFile(t / "a.mp3", "1");
    WriteFile(t / "b.mp3", "22");
    DirContents d(t.path());
    ASSERT_TRUE(d.Scan());
    ASSERT_TRUE(d.First(FileClass::Mp3));
    ASSERT_TRUE(d.Next(FileClass::Mp3));
    DirContents copy = d;
    EXPECT_EQ(copy.Current(FileClass::Mp3).path.FileName(), "a.mp3");
    EXPECT_EQ(copy.TotalSize(), 3u);
    EXPECT_EQ(copy.DirPath(), d.DirPath());
}

}  // namespace
}  // namespace kestrow
