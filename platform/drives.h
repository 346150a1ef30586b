// The machine's browsable places: the mounted volumes a user would open, their types and labels,
// the network servers and shares mounted on this machine, and the plain listings the folder tree
// shows below them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow::platform {

enum class DriveType { Fixed, Removable, Network, Optical, RamDisk };

// One line of /proc/self/mountinfo.
struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::string root;        // the part of the file system mounted here ("/" for the whole)
    std::string mountPoint;  // octal escapes of the kernel decoded
    std::string fsType;
    std::string source;
};

// Lines that do not parse are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// What the mount table alone does not tell; the system's probe reads /sys and /dev/disk.
struct DriveProbe {
    std::function<bool(const MountEntry&)> removable;
    std::function<bool(const MountEntry&)> optical;
    // The file system's label, empty when it has none or it cannot be read.
    std::function<std::string(const MountEntry&)> volumeLabel;
    // Never asked for a network file system: a dead server must not hold the caller.
    std::function<bool(const std::string&)> isDirectory;
};
DriveProbe SystemDriveProbe();

struct Drive {
    std::string root;  // ends with "/"
    std::string label;
    DriveType type = DriveType::Fixed;
};

bool IsNetworkFileSystem(std::string_view fsType);
DriveType ClassifyMount(const MountEntry& m, const DriveProbe& probe);

// "/" and the home folder first, then every other mounted volume a user would browse, in the
// table's order: pseudo file systems, system areas, snaps and second views of what is already
// shown (bind mounts, the same file system mounted twice) are left out.
std::vector<Drive> ListDrives(const std::vector<MountEntry>& mounts, const std::string& home,
                              const DriveProbe& probe);

struct NetworkShare {
    std::string name;  // the share, export or volume name
    std::string path;  // where its files are reached, ends with "/"
};
struct NetworkServer {
    std::string name;
    std::vector<NetworkShare> shares;
};

// Servers, in order of first appearance, with their shares: from the network file systems in the
// mount table and from the desktop's GVfs mounts (the entry names of its folder, gvfsDir).
std::vector<NetworkServer> NetworkServers(const std::vector<MountEntry>& mounts,
                                          const std::vector<std::string>& gvfsNames,
                                          const std::string& gvfsDir);

// A name without a lowercase letter a-z is shown in lower case with its first character raised
// ("MUSIC" -> "Music", "CD1" -> "Cd1"); any other name is shown unchanged.
std::string TreeLabel(std::string_view name);

// The folder below `parent` named `name`, ending with "/".
std::string ChildPath(std::string_view parent, std::string_view name);

// The names of the subdirectories of a folder ("." and ".." excluded), sorted without regard to
// case; false when it cannot be listed.
bool ListSubdirNames(const std::string& dir, std::vector<std::string>& names);

// The index of the name that matches: the exact spelling first, then without regard to case;
// -1 when none does.
int FindName(const std::vector<std::string>& names, std::string_view name);

// Which of the roots a path lies below (the longest match, components compared without regard to
// case) and the components below that root; -1 when none holds it.
struct RootedPath {
    int root = -1;
    std::vector<std::string> components;
};
RootedPath SplitBelowRoots(const std::vector<std::string>& roots, std::string_view path);

// The listings that re-open a path: level 0 lists `root`, each next level the child chosen in the
// one before. Stops at the first component that no longer exists (its level has chosen -1) or
// cannot be listed; the last level found is listed too.
struct OpenLevel {
    std::string path;
    std::vector<std::string> children;
    bool listed = false;
    int chosen = -1;
};
std::vector<OpenLevel> ListOpenChain(const std::string& root, const std::vector<std::string>& components);

// The kernel's mount table of this process; empty when it cannot be read.
std::string ReadMountInfo();
// Where GVfs shows the desktop's network mounts ($XDG_RUNTIME_DIR/gvfs/); empty without a
// runtime folder.
std::string GvfsDirectory();
// Every entry name of a folder, sorted without regard to case; none when it cannot be listed.
std::vector<std::string> ListEntryNames(const std::string& dir);

// The volume label encoding of udev's /dev/disk/by-label names ("\x20" for a space).
std::string DecodeUdevName(std::string_view name);

}  // namespace kestrow::platform
