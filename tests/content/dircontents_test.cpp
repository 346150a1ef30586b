// Directory scan into six classes, iteration orders and name look-ups.
#include "content/dircontents.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>

#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::TempDir;
using test::WriteFile;

std::vector<std::string> Names(const DirContents& d, FileClass c) {
    std::vector<std::string> names;
    for (const auto& e : d.List(c))
        names.push_back(c == FileClass::Subdir ? e.path.LastComponent() : e.path.FileName());
    return names;
}

TEST(PathName, SplitsFilesAndDirectories) {
    struct Case {
        const char* path;
        bool isDir;
        const char* dir;
        const char* title;
        const char* ext;
        std::vector<std::string> components;
    } cases[] = {
        {"/music/album/01-track.mp3", false, "/music/album/", "01-track", "mp3", {"music", "album"}},
        {"/music/cd.1", true, "/music/cd.1/", "", "", {"music", "cd.1"}},
        {"/music/album/", true, "/music/album/", "", "", {"music", "album"}},
        {"README", false, "", "README", "", {}},
        {"/r/.nfo", false, "/r/", "", "nfo", {"r"}},
        {"/r/a.b.c", false, "/r/", "a.b", "c", {"r"}},
        {"/r/song.", false, "/r/", "song.", "", {"r"}},
        {"rel/CD1", true, "rel/CD1/", "", "", {"rel", "CD1"}},
        {"/r/cd1\\track.mp3", false, "/r/", "cd1\\track", "mp3", {"r"}},  // a backslash is a character
    };
    for (const auto& c : cases) {
        PathName p(c.path, c.isDir);
        EXPECT_EQ(p.dir, c.dir) << c.path;
        EXPECT_EQ(p.title, c.title) << c.path;
        EXPECT_EQ(p.ext, c.ext) << c.path;
        EXPECT_EQ(p.components, c.components) << c.path;
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

TEST(DirContents, SortsEntriesIntoClassesByExtension) {
    TempDir t;
    for (const char* name : {"album.Mp3", "ALBUM.MP3", "album.mp3.txt", "README", ".nfo", "list.sfv",
                             "play.M3U", "cover.JPG", "empty-tagline"}) {
        WriteFile(t / name, "");
    }
    WriteFile(t / "b.mp3", "1234567");
    test::MakeDirs(t / "CD2");
    test::MakeDirs(t / "cd1");
    ASSERT_EQ(::mkfifo((t / "fifo.mp3").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("b.mp3", (t / "link.mp3").c_str()), 0);

    DirContents d(t.path());
    ASSERT_TRUE(d.Scan());
    EXPECT_EQ(Names(d, FileClass::Mp3),
              (std::vector<std::string>{"ALBUM.MP3", "album.Mp3", "b.mp3", "link.mp3"}));
    EXPECT_EQ(Names(d, FileClass::Nfo), (std::vector<std::string>{".nfo"}));
    EXPECT_EQ(Names(d, FileClass::Sfv), (std::vector<std::string>{"list.sfv"}));
    EXPECT_EQ(Names(d, FileClass::M3u), (std::vector<std::string>{"play.M3U"}));
    EXPECT_EQ(Names(d, FileClass::Other),
              (std::vector<std::string>{"album.mp3.txt", "cover.JPG", "empty-tagline", "README"}));
    EXPECT_EQ(Names(d, FileClass::Subdir), (std::vector<std::string>{"cd1", "CD2"}));
    EXPECT_EQ(d.TotalSize(), 14u);  // b.mp3 and the link to it
    EXPECT_EQ(d.List(FileClass::Subdir)[0].path.title, "");
    EXPECT_EQ(d.List(FileClass::Nfo)[0].path.title, "");
}

TEST(DirContents, LargeFilesKeepTheirFullSize) {
    TempDir t;
    const std::uint64_t fiveGiB = 5ULL << 30;
    WriteFile(t / "big.mp3", "");
    if (::truncate((t / "big.mp3").c_str(), static_cast<off_t>(fiveGiB)) != 0)
        GTEST_SKIP() << "no sparse files";
    DirContents d(t.path());
    ASSERT_TRUE(d.Scan());
    EXPECT_EQ(d.GetFile("big.mp3")->size, fiveGiB);
    EXPECT_EQ(d.TotalSize(), fiveGiB);
}

TEST(DirContents, IterationOrders) {
    TempDir t;
    for (const char* name : {"b.nfo", "a.m3u", "z.sfv", "x.mp3", "w.mp3", "other.txt", "cover.jpg"})
        WriteFile(t / name, "");
    test::MakeDirs(t / "CD1");
    test::MakeDirs(t / "CD2");
    DirContents d(t.path());
    ASSERT_TRUE(d.Scan());

    std::vector<std::string> all;
    for (bool more = d.FirstFile(); more; more = d.NextFile()) all.push_back(d.CurrentFileName());
    EXPECT_EQ(all, (std::vector<std::string>{"cover.jpg", "other.txt", "w.mp3", "x.mp3", "z.sfv", "a.m3u",
                                             "b.nfo"}));

    std::vector<std::string> others;
    for (bool more = d.FirstFile(); more; more = d.NextFile(false)) others.push_back(d.CurrentFileName());
    EXPECT_EQ(others, (std::vector<std::string>{"cover.jpg", "other.txt"}));

    std::vector<std::string> subdirs;
    for (bool more = d.First(FileClass::Subdir); more; more = d.Next(FileClass::Subdir))
        subdirs.push_back(d.CurrentTitle(FileClass::Subdir));
    EXPECT_EQ(subdirs, (std::vector<std::string>{"CD1", "CD2"}));
    EXPECT_EQ(d.SubdirName(1), "CD2");
    EXPECT_EQ(d.SubdirName(2), "");
}

TEST(DirContents, LookupsPreferTheExactNameThenIgnoreCase) {
    TempDir t;
    WriteFile(t / "track01.mp3", "1");
    WriteFile(t / "cover.JPG", "22");
    WriteFile(t / "Same.txt", "333");
    WriteFile(t / "same.txt", "4444");
    WriteFile(t / "x.nfo.bak", "55555");
    test::MakeDirs(t / "CD1");
    DirContents d(t.path());
    ASSERT_TRUE(d.Scan());

    EXPECT_EQ(d.GetFile("TRACK01.MP3")->path.FileName(), "track01.mp3");
    EXPECT_EQ(d.GetFile("cover.jpg")->size, 2u);
    EXPECT_EQ(d.GetFile("same.txt")->size, 4u);
    EXPECT_EQ(d.GetFile("Same.txt")->size, 3u);
    EXPECT_EQ(d.GetFile("SAME.TXT")->size, 3u);  // first in order when no exact match
    EXPECT_EQ(d.GetFile("missing.mp3"), nullptr);
    EXPECT_EQ(d.GetFile("X.NFO.BAK")->size, 5u);
    EXPECT_EQ(d.FindSubdir("cd1"), 0);
    EXPECT_EQ(d.GetSubdir("cd1")->path.LastComponent(), "CD1");
    EXPECT_EQ(d.FindSubdir("CD2"), -1);
    EXPECT_EQ(d.GetFile("CD1"), nullptr);
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

TEST(DirContents, NamesThatAreNotUtf8AreListedAsTheyAre) {
    TempDir t;
    const std::string legacy = "caf\xE9.mp3";
    WriteFile(t / legacy, "x");
    DirContents d(t.path());
    ASSERT_TRUE(d.Scan());
    ASSERT_EQ(d.Count(FileClass::Mp3), 1u);
    EXPECT_EQ(d.List(FileClass::Mp3)[0].path.FileName(), legacy);
    EXPECT_NE(d.GetFile("CAF\xC9.MP3"), nullptr);
}

}  // namespace
}  // namespace kestrow
