// File-system layer: listings, moves that never replace, atomic writes that survive failure.
#include "platform/fs.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "tests/support/tempdir.h"

namespace kestrow::platform {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const DirEntry* FindEntry(const std::vector<DirEntry>& entries, const std::string& name) {
    auto it = std::find_if(entries.begin(), entries.end(), [&](const DirEntry& e) { return e.name == name; });
    return it == entries.end() ? nullptr : &*it;
}

TEST(ListDirectory, ClassifiesFilesDirectoriesLinksAndSpecialFiles) {
    TempDir t;
    WriteFile(t / "a.mp3", "12345");
    test::MakeDirs(t / "CD1");
    ASSERT_EQ(::mkfifo((t / "pipe").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("a.mp3", (t / "link.mp3").c_str()), 0);
    ASSERT_EQ(::symlink("CD1", (t / "linkdir").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (t / "dangling").c_str()), 0);

    std::vector<DirEntry> entries;
    ASSERT_TRUE(ListDirectory(t.path(), entries));
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(FindEntry(entries, "a.mp3")->kind, EntryKind::File);
    EXPECT_EQ(FindEntry(entries, "a.mp3")->size, 5u);
    EXPECT_EQ(FindEntry(entries, "link.mp3")->kind, EntryKind::File);
    EXPECT_EQ(FindEntry(entries, "link.mp3")->size, 5u);
    EXPECT_EQ(FindEntry(entries, "CD1")->kind, EntryKind::Directory);
    EXPECT_EQ(FindEntry(entries, "linkdir")->kind, EntryKind::Directory);
    EXPECT_EQ(FindEntry(entries, "pipe")->kind, EntryKind::Other);
    EXPECT_EQ(FindEntry(entries, "dangling")->kind, EntryKind::Other);
}

TEST(ListDirectory, MissingFolderFailsWithReason) {
    TempDir t;
    std::vector<DirEntry> entries;
    Status s = ListDirectory(t / "missing", entries);
    EXPECT_FALSE(s);
    EXPECT_EQ(s.error, ENOENT);
    EXPECT_FALSE(s.message().empty());
}

TEST(ReadWholeFile, HonoursTheSizeCap) {
    TempDir t;
    WriteFile(t / "list.sfv", std::string(100, 'x'));
    std::string out;
    EXPECT_TRUE(ReadWholeFile(t / "list.sfv", out, 100));
    EXPECT_EQ(out.size(), 100u);
    Status s = ReadWholeFile(t / "list.sfv", out, 99);
    EXPECT_EQ(s.error, EFBIG);
    EXPECT_TRUE(out.empty());
}

TEST(MoveNoReplace, NeverReplacesAFileOrDirectory) {
    TempDir t;
    WriteFile(t / "old.mp3", "old");
    WriteFile(t / "new.mp3", "precious");
    Status s = MoveNoReplace(t / "old.mp3", t / "new.mp3");
    EXPECT_EQ(s.error, EEXIST);
    EXPECT_EQ(ReadFile(t / "new.mp3"), "precious");
    EXPECT_EQ(ReadFile(t / "old.mp3"), "old");

    test::MakeDirs(t / "dirA");
    test::MakeDirs(t / "dirB");
    WriteFile(t / "dirB/keep", "k");
    EXPECT_EQ(MoveNoReplace(t / "dirA", t / "dirB").error, EEXIST);
    EXPECT_EQ(ReadFile(t / "dirB/keep"), "k");
    // A directory never replaces a file either.
    EXPECT_FALSE(MoveNoReplace(t / "dirA", t / "new.mp3"));
    EXPECT_EQ(ReadFile(t / "new.mp3"), "precious");
}

TEST(MoveNoReplace, MovesFilesDirectoriesCaseOnlyAndOntoItself) {
    TempDir t;
    WriteFile(t / "a.mp3", "a");
    EXPECT_TRUE(MoveNoReplace(t / "a.mp3", t / "a.mp3"));
    EXPECT_EQ(ReadFile(t / "a.mp3"), "a");
    EXPECT_TRUE(MoveNoReplace(t / "a.mp3", t / "A.MP3"));
    EXPECT_FALSE(Exists(t / "a.mp3"));
    EXPECT_EQ(ReadFile(t / "A.MP3"), "a");
    test::MakeDirs(t / "Release.Name");
    EXPECT_TRUE(MoveNoReplace(t / "Release.Name", t / "ReleaseName"));
    EXPECT_EQ(Stat(t / "ReleaseName"), PathKind::Directory);
}

TEST(MoveNoReplace, ReadOnlyFolderFailsWithReason) {
    TempDir t;
    WriteFile(t / "ro/a.mp3", "a");
    ::chmod(t.path().c_str(), 0755);
    ::chmod((t / "ro").c_str(), 0555);
    // Root ignores folder permissions, so the move runs as an ordinary user where it can.
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::geteuid() == 0 && ::setuid(65534) != 0) ::_exit(2);
        Status s = MoveNoReplace(t / "ro/a.mp3", t / "ro/b.mp3");
        ::_exit(s.error == EACCES ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(Exists(t / "ro/a.mp3"));
}

TEST(WriteFileAtomic, ReplacesContentKeepsModeAndLeavesNoTemporaries) {
    TempDir t;
    WriteFile(t / "list.sfv", "old content that is longer");
    ::chmod((t / "list.sfv").c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomic(t / "list.sfv", "new"));
    EXPECT_EQ(ReadFile(t / "list.sfv"), "new");
    struct stat st {};
    ASSERT_EQ(::stat((t / "list.sfv").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    std::vector<DirEntry> entries;
    ASSERT_TRUE(ListDirectory(t.path(), entries));
    EXPECT_EQ(entries.size(), 1u);
}

TEST(WriteFileAtomic, RefusesToWriteThroughASymbolicLink) {
    TempDir t;
    WriteFile(t / "elsewhere.txt", "outside");
    ASSERT_EQ(::symlink((t / "elsewhere.txt").c_str(), (t / "list.m3u").c_str()), 0);
    EXPECT_EQ(WriteFileAtomic(t / "list.m3u", "x").error, ELOOP);
    EXPECT_EQ(ReadFile(t / "elsewhere.txt"), "outside");
}

TEST(WriteFileAtomic, FullDiskKeepsTheOldFileIntact) {
    TempDir t;
    const std::string original(4096, 'o');
    WriteFile(t / "list.sfv", original);
    {
        test::FileSizeLimit full(1024);  // the write fails part way
        EXPECT_EQ(WriteFileAtomic(t / "list.sfv", std::string(1 << 20, 'n')).error, EFBIG);
    }
    EXPECT_EQ(ReadFile(t / "list.sfv"), original);
    std::vector<DirEntry> entries;
    ASSERT_TRUE(ListDirectory(t.path(), entries));
    EXPECT_EQ(entries.size(), 1u) << "the temporary file was left behind";
}

TEST(CreateEmptyFile, NeverTruncatesAnExistingFile) {
    TempDir t;
    WriteFile(t / "#corrupt", "data");
    EXPECT_EQ(CreateEmptyFile(t / "#corrupt").error, EEXIST);
    EXPECT_EQ(ReadFile(t / "#corrupt"), "data");
    EXPECT_TRUE(CreateEmptyFile(t / "#incomplete"));
    EXPECT_EQ(ReadFile(t / "#incomplete"), "");
}

}  // namespace
}  // namespace kestrow::platform
