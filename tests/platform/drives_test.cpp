// The places of the folder tree: labels, paths, the mount table's drives and network shares, and
// the listings that re-open a path.
#include "platform/drives.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/golden.h"
#include "tests/support/tempdir.h"

namespace kestrow::platform {
namespace {

TEST(TreeLabel, NamesWithoutLowercaseAreShownInLowerCaseWithACapital) {
    const struct {
        const char* name;
        const char* shown;
    } cases[] = {
        {"CD1", "Cd1"},
        {"Cd1", "Cd1"},
        {"cd1", "cd1"},
        {"MUSIC", "Music"},
        {"2008", "2008"},
        {"", ""},
        {"VA-HITS_(2008)", "Va-hits_(2008)"},
        {"\xC3\x84RGER", "\xC3\x84rger"},  // only a-z count; the first byte of a wider letter stays
        {"/ ROOTFS", "/ rootfs"},
    };
    for (const auto& c : cases) EXPECT_EQ(TreeLabel(c.name), c.shown) << c.name;
}

TEST(ChildPath, JoinsWithOneSlashAndEndsWithOne) {
    const struct {
        const char* parent;
        const char* name;
        const char* path;
    } cases[] = {
        {"/", "home", "/home/"}, {"/media/usb", "A B", "/media/usb/A B/"},      {"/x/", "/y/", "/x/y/"},
        {"/x/", "", "/x/"},      {"//nas/music/", "2008", "//nas/music/2008/"},
    };
    for (const auto& c : cases) EXPECT_EQ(ChildPath(c.parent, c.name), c.path) << c.parent << " + " << c.name;
}

// A desktop machine with a container's leftovers: what a user browses, and the rest.
// tests/data/mountinfo.txt: the mount table of that machine, with a broken line among its lines.
const std::string kMountInfo = test::ReadFile(test::TestDataPath("mountinfo.txt"));

DriveProbe FakeProbe() {
    DriveProbe p;
    p.removable = [](const MountEntry& m) { return m.source == "/dev/sdb1"; };
    p.optical = [](const MountEntry&) { return false; };
    p.volumeLabel = [](const MountEntry& m) -> std::string {
        if (m.source == "/dev/sda2") return "ROOTFS";
        if (m.source == "/dev/sdb1") return "USB STICK";  // the mount point is named after it
        if (m.source == "/dev/sdc1") return "MUSIC";
        if (m.source == "/dev/sdd3") return "Fresh";
        return {};
    };
    p.isDirectory = [](const std::string& path) {
        // A server that stopped answering would hold whoever asks about its mount.
        for (const char* remote : {"/mnt/nas", "/mnt/audio", "/mnt/box", "/mnt/ntfs"})
            if (path == remote) ADD_FAILURE() << "asked about " << path;
        return path != "/mnt/hostfile";
    };
    return p;
}

TEST(MountTable, ParsesFieldsAndDecodesEscapes) {
    const std::vector<MountEntry> m = ParseMountInfo(kMountInfo);
    ASSERT_EQ(m.size(), 24u);  // the broken line is left out
    EXPECT_EQ(m[9].mountPoint, "/media/bob/USB STICK");
    EXPECT_EQ(m[9].fsType, "vfat");
    EXPECT_EQ(m[9].major, 8u);
    EXPECT_EQ(m[9].minor, 17u);
    EXPECT_EQ(m[14].root, "/bob/music");
    EXPECT_EQ(m[11].source, "//NAS/music");
}

TEST(MountTable, DrivesAreWhatAUserBrowsesWithTypesAndLabels) {
    const std::vector<Drive> drives = ListDrives(ParseMountInfo(kMountInfo), "/home/bob", FakeProbe());
    const struct {
        const char* root;
        const char* label;
        DriveType type;
    } expected[] = {
        {"/", "/ Rootfs", DriveType::Fixed},
        {"/home/bob/", "/home/bob", DriveType::Fixed},
        {"/tmp/", "/tmp", DriveType::RamDisk},
        {"/home/", "/home", DriveType::Fixed},
        {"/media/bob/USB STICK/", "/media/bob/USB STICK", DriveType::Removable},
        {"/mnt/cd/", "/mnt/cd", DriveType::Optical},
        {"/mnt/nas/", "/mnt/nas", DriveType::Network},
        {"/mnt/audio/", "/mnt/audio", DriveType::Network},
        {"/mnt/Big Disk/", "/mnt/Big Disk Music", DriveType::Fixed},
        {"/mnt/box/", "/mnt/box", DriveType::Network},
        {"/mnt/fresh/", "/mnt/fresh Fresh", DriveType::Fixed},  // the later mount hides the earlier
        {"/mnt/ntfs/", "/mnt/ntfs", DriveType::Fixed},
    };
    ASSERT_EQ(drives.size(), std::size(expected));
    for (std::size_t i = 0; i < drives.size(); ++i) {
        EXPECT_EQ(drives[i].root, expected[i].root) << i;
        EXPECT_EQ(drives[i].label, expected[i].label) << i;
        EXPECT_EQ(drives[i].type, expected[i].type) << drives[i].root;
    }
}

TEST(MountTable, HomeOnItsOwnVolumeIsShownOnceAndSecond) {
    const std::string table =
        "1 0 8:2 / / rw - ext4 /dev/sda2 rw\n"
        "2 1 8:3 / /home/bob rw - ext4 /dev/sda3 rw\n"
        "3 1 8:4 / /data rw - ext4 /dev/sda4 rw\n";
    const std::vector<Drive> drives = ListDrives(ParseMountInfo(table), "/home/bob/", FakeProbe());
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[1].root, "/home/bob/");
    EXPECT_EQ(drives[2].root, "/data/");
}

TEST(MountTable, NetworkServersGroupMountsAndDesktopSharesBelowTheirServer) {
    const std::vector<std::string> gvfs = {"smb-share:server=nas,share=photos",
                                           "sftp:host=box.local,user=bob", "mtp:host=Phone_123",
                                           "nfs:host=server,prefix=%2Fexport%2Fmovies"};
    const std::vector<NetworkServer> servers =
        NetworkServers(ParseMountInfo(kMountInfo), gvfs, "/run/user/1/gvfs/");
    const struct {
        const char* server;
        std::vector<std::pair<std::string, std::string>> shares;
    } expected[] = {
        {"NAS", {{"music", "/mnt/nas/"}, {"photos", "/run/user/1/gvfs/smb-share:server=nas,share=photos/"}}},
        {"server",
         {{"export/audio", "/mnt/audio/"},
          {"export/movies", "/run/user/1/gvfs/nfs:host=server,prefix=%2Fexport%2Fmovies/"}}},
        {"box.local",
         {{"home/bob", "/mnt/box/"}, {"sftp", "/run/user/1/gvfs/sftp:host=box.local,user=bob/"}}},
    };
    ASSERT_EQ(servers.size(), std::size(expected));
    for (std::size_t i = 0; i < servers.size(); ++i) {
        EXPECT_EQ(servers[i].name, expected[i].server);
        std::vector<std::pair<std::string, std::string>> shares;
        for (const NetworkShare& s : servers[i].shares) shares.emplace_back(s.name, s.path);
        EXPECT_EQ(shares, expected[i].shares) << expected[i].server;
    }
}

TEST(ReopenPath, FindsTheDeepestRootAndMatchesComponentsWithoutCase) {
    const std::vector<std::string> roots = {"/", "/home/bob/", "/media/bob/USB/"};
    const struct {
        const char* path;
        int root;
        std::vector<std::string> components;
    } cases[] = {
        {"/home/BOB/Music/x/", 1, {"Music", "x"}},
        {"/var/x", 0, {"var", "x"}},
        {"/media/bob/usb", 2, {}},
        {"/", 0, {}},
    };
    for (const auto& c : cases) {
        const RootedPath r = SplitBelowRoots(roots, c.path);
        EXPECT_EQ(r.root, c.root) << c.path;
        EXPECT_EQ(r.components, c.components) << c.path;
    }
    EXPECT_EQ(SplitBelowRoots({"/home/bob/"}, "/srv/music").root, -1);
}

TEST(ReopenPath, ListsEachLevelAndStopsWhereAComponentVanished) {
    test::TempDir t;
    test::MakeDirs(t / "Music/Album/CD1");
    test::MakeDirs(t / "Music/Other");
    test::MakeDirs(t / "music");  // the exact spelling wins over a folder equal without case
    test::WriteFile(t / "Music/readme.txt", "not a folder");
    const struct {
        std::vector<std::string> components;
        std::vector<int> chosen;  // per level; the last level lists the folder reached
    } cases[] = {
        {{"MUSIC", "album"}, {0, 0, -1}},
        {{"music"}, {1, -1}},
        {{"Music", "Gone", "Deeper"}, {0, -1}},
        {{}, {-1}},
    };
    for (const auto& c : cases) {
        const std::vector<OpenLevel> levels = ListOpenChain(t.path(), c.components);
        std::vector<int> chosen;
        for (const OpenLevel& l : levels) {
            EXPECT_TRUE(l.listed) << l.path;
            chosen.push_back(l.chosen);
        }
        EXPECT_EQ(chosen, c.chosen) << (c.components.empty() ? "" : c.components[0]);
    }
    const std::vector<OpenLevel> levels = ListOpenChain(t.path(), {"MUSIC", "album"});
    EXPECT_EQ(levels[0].children, (std::vector<std::string>{"Music", "music"}));
    EXPECT_EQ(levels[1].path, t / "Music/");
    EXPECT_EQ(levels[1].children, (std::vector<std::string>{"Album", "Other"}));
    EXPECT_EQ(levels[2].path, t / "Music/Album/");
    EXPECT_EQ(levels[2].children, std::vector<std::string>{"CD1"});
}

}  // namespace
}  // namespace kestrow::platform
