// The places of the folder tree: labels, paths, the mount table's drives and network shares, and
// the listings that re-open a path.
#include "platform/drives.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/golden.h"
#include "tests/support/tempdir.h"

namespace kestrow::platform {
namespace {

TEST(PathTable, LabelsJoinsAndSplitsBelowRoots) {
    const auto rows = test::TableRows("paths_rows.txt");
    ASSERT_EQ(rows.size(), 18u);
    for (const auto& r : rows) {
        if (r[0] == "label") {
            EXPECT_EQ(TreeLabel(test::Unescape(r[1])), test::Unescape(r[2])) << r[1];
        } else if (r[0] == "child") {
            EXPECT_EQ(ChildPath(r[1], r[2]), r[3]) << r[1] << " + " << r[2];
        } else {
            const RootedPath split = SplitBelowRoots({"/", "/home/bob/", "/media/bob/USB/"}, r[1]);
            EXPECT_EQ(split.root, std::stoi(r[2])) << r[1];
            EXPECT_EQ(split.components, test::Words(r[3])) << r[1];
        }
    }
    EXPECT_EQ(SplitBelowRoots({"/home/bob/"}, "/srv/music").root, -1);
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

const char* TypeName(DriveType t) {
    constexpr const char* kNames[] = {"fixed", "removable", "network", "optical", "ram disk"};
    return kNames[static_cast<int>(t)];
}

// Every entry parsed (the broken line left out), the drives a user browses with their types and
// labels, a home on its own volume shown once and second, and the network's servers with the
// mounts and desktop shares below them.
TEST(MountTable, EntriesDrivesAndServers) {
    std::string out = "== entries\n";
    const std::vector<MountEntry> mounts = ParseMountInfo(kMountInfo);
    for (const MountEntry& m : mounts)
        out += std::to_string(m.major) + ":" + std::to_string(m.minor) + " " + m.root + " [" + m.mountPoint +
               "] " + m.fsType + " " + m.source + "\n";
    const auto drives = [&out](const std::vector<MountEntry>& table, const std::string& home) {
        out += "== drives, home " + home + "\n";
        for (const Drive& d : ListDrives(table, home, FakeProbe()))
            out += "[" + d.root + "] [" + d.label + "] " + TypeName(d.type) + "\n";
    };
    drives(mounts, "/home/bob");
    drives(ParseMountInfo("1 0 8:2 / / rw - ext4 /dev/sda2 rw\n"
                          "2 1 8:3 / /home/bob rw - ext4 /dev/sda3 rw\n"
                          "3 1 8:4 / /data rw - ext4 /dev/sda4 rw\n"),
           "/home/bob/");
    out += "== servers\n";
    for (const NetworkServer& server :
         NetworkServers(mounts,
                        {"smb-share:server=nas,share=photos", "sftp:host=box.local,user=bob",
                         "mtp:host=Phone_123", "nfs:host=server,prefix=%2Fexport%2Fmovies"},
                        "/run/user/1/gvfs/")) {
        out += server.name + "\n";
        for (const NetworkShare& share : server.shares) out += "  " + share.name + " [" + share.path + "]\n";
    }
    test::ExpectGolden("platform/drives", out);
}

TEST(ReopenPath, ListsEachLevelAndStopsWhereAComponentVanished) {
    test::TempDir t;
    test::MakeDirs(t / "Music/Album/CD1");
    test::MakeDirs(t / "Music/Other");
    test::MakeDirs(t / "music");  // the exact spelling wins over a folder equal without case
    test::WriteFile(t / "Music/readme.txt", "not a folder");
    // Per level: the folder listed, its subfolders and the one chosen for the next component.
    std::string out;
    for (const auto& components : std::vector<std::vector<std::string>>{
             {"MUSIC", "album"}, {"music"}, {"Music", "Gone", "Deeper"}, {}}) {
        out += "==";
        for (const std::string& c : components) out += " " + c;
        out += "\n";
        for (const OpenLevel& l : ListOpenChain(t.path(), components)) {
            out += "  " + test::ReplaceAll(l.path, t.path(), "<TMP>") + (l.listed ? "" : " (not listed)") +
                   ", chosen " + std::to_string(l.chosen) + ":";
            for (const std::string& child : l.children) out += " " + child;
            out += "\n";
        }
    }
    test::ExpectGolden("platform/open_chain", out);
}

}  // namespace
}  // namespace kestrow::platform
