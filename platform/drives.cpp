// The machine's browsable places, read from the kernel's mount table, /sys and /dev/disk.
#include "platform/drives.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

#include "platform/fs.h"
#include "platform/text.h"

namespace kestrow::platform {

namespace {

// The kernel writes a space, tab, newline and backslash in a path as an octal escape.
std::string DecodeOctal(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && s.size() - i >= 4 && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' &&
            s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

std::vector<std::string> Components(std::string_view path) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/') ++i;
        const std::size_t start = i;
        while (i < path.size() && path[i] != '/') ++i;
        if (i > start) out.emplace_back(path.substr(start, i - start));
    }
    return out;
}

// `inner` lies at or below `outer`, components compared as given (case-sensitive: mount roots).
bool Within(std::string_view outer, std::string_view inner) {
    const std::vector<std::string> a = Components(outer);
    const std::vector<std::string> b = Components(inner);
    return a.size() <= b.size() && std::equal(a.begin(), a.end(), b.begin());
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// File systems that hold no user's files.
constexpr std::string_view kPseudoTypes[] = {
    "proc",      "sysfs",           "cgroup",      "cgroup2",       "devpts",     "devtmpfs",  "securityfs",
    "debugfs",   "tracefs",         "pstore",      "bpf",           "mqueue",     "hugetlbfs", "configfs",
    "fusectl",   "autofs",          "binfmt_misc", "efivarfs",      "rpc_pipefs", "nsfs",      "squashfs",
    "selinuxfs", "fuse.gvfsd-fuse", "fuse.portal", "fuse.snapfuse", "fuse.lxcfs", "nfsd"};

// Areas of the system a user does not browse for music, even when a real file system is mounted
// there (the boot partitions, snaps, the runtime folders; /run/media is where removable media go).
bool SystemArea(const std::string& mountPoint) {
    if (StartsWith(mountPoint, "/run/media/") || mountPoint == "/run/media") return false;
    for (std::string_view area : {"/proc", "/sys", "/dev", "/run", "/snap", "/var/snap", "/boot",
                                  "/var/lib/docker", "/var/lib/snapd", "/etc"}) {
        if (Within(area, mountPoint)) return true;
    }
    return false;
}

bool IsPseudo(std::string_view fsType) {
    return std::find(std::begin(kPseudoTypes), std::end(kPseudoTypes), fsType) != std::end(kPseudoTypes);
}

std::string LastComponent(std::string_view path) {
    const std::vector<std::string> c = Components(path);
    return c.empty() ? std::string() : c.back();
}

std::string ReadSmallFile(const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text, 1u << 20)) text.clear();
    return text;
}

// /proc files report a size of 0: they are read until the end.
std::string ReadProcFile(const std::string& path) {
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char buf[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

std::string RealPath(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

std::string SysBlockPath(const MountEntry& m) {
    if (m.major == 0) return {};
    return RealPath("/sys/dev/block/" + std::to_string(m.major) + ":" + std::to_string(m.minor));
}

bool FlagFile(const std::string& path) {
    const std::string text = ReadSmallFile(path);
    return !text.empty() && text[0] == '1';
}

std::string PercentDecode(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// Server and share of a network mount's source: "//server/share", "server:/export",
// "user@host:path".
bool SplitNetworkSource(const MountEntry& m, std::string& server, std::string& share) {
    std::string src = m.source;
    std::replace(src.begin(), src.end(), '\\', '/');
    if (StartsWith(src, "//")) {
        const std::size_t slash = src.find('/', 2);
        server = src.substr(2, slash == std::string::npos ? std::string::npos : slash - 2);
        share = slash == std::string::npos ? std::string() : src.substr(slash + 1);
        while (!share.empty() && share.back() == '/') share.pop_back();
    } else if (const std::size_t colon = src.find(':'); colon != std::string::npos && colon > 0) {
        server = src.substr(0, colon);
        share = src.substr(colon + 1);
        while (!share.empty() && share.front() == '/') share.erase(0, 1);
        while (!share.empty() && share.back() == '/') share.pop_back();
    } else {
        return false;
    }
    if (const std::size_t at = server.rfind('@'); at != std::string::npos) server.erase(0, at + 1);
    if (share.empty()) share = LastComponent(m.mountPoint);
    if (share.empty()) share = "/";
    return !server.empty();
}

NetworkServer& ServerNamed(std::vector<NetworkServer>& servers, const std::string& name) {
    for (NetworkServer& s : servers) {
        if (IEquals(s.name, name)) return s;
    }
    servers.push_back({name, {}});
    return servers.back();
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::vector<std::string_view> f = SplitFields(text.substr(pos, end - pos));
        pos = end + 1;
        // id parent major:minor root mount-point options [optional fields...] - type source super
        const auto dash = std::find(f.begin(), f.end(), std::string_view("-"));
        if (f.size() < 6 || dash == f.end() || dash - f.begin() < 6 || f.end() - dash < 3) continue;
        MountEntry m;
        const std::string_view dev = f[2];
        const std::size_t colon = dev.find(':');
        if (colon == std::string_view::npos) continue;
        char* stop = nullptr;
        const std::string majorText(dev.substr(0, colon));
        const std::string minorText(dev.substr(colon + 1));
        m.major = static_cast<unsigned>(std::strtoul(majorText.c_str(), &stop, 10));
        if (*stop) continue;
        m.minor = static_cast<unsigned>(std::strtoul(minorText.c_str(), &stop, 10));
        if (*stop) continue;
        m.root = DecodeOctal(f[3]);
        m.mountPoint = DecodeOctal(f[4]);
        m.fsType = std::string(dash[1]);
        m.source = DecodeOctal(dash[2]);
        out.push_back(std::move(m));
    }
    return out;
}

bool IsNetworkFileSystem(std::string_view t) {
    for (std::string_view n :
         {"nfs",    "nfs4",        "cifs",        "smb3",      "smbfs",          "ncpfs",
          "afs",    "9p",          "ceph",        "glusterfs", "davfs",          "fuse.sshfs",
          "sshfs",  "fuse.davfs2", "fuse.rclone", "fuse.s3fs", "fuse.glusterfs", "fuse.curlftpfs",
          "lustre", "gfs2",        "ocfs2"}) {
        if (t == n) return true;
    }
    return false;
}

DriveType ClassifyMount(const MountEntry& m, const DriveProbe& probe) {
    if (IsNetworkFileSystem(m.fsType)) return DriveType::Network;
    if (m.fsType == "tmpfs" || m.fsType == "ramfs") return DriveType::RamDisk;
    if (m.fsType == "iso9660" || m.fsType == "udf" || (probe.optical && probe.optical(m)))
        return DriveType::Optical;
    if (probe.removable && probe.removable(m)) return DriveType::Removable;
    return DriveType::Fixed;
}

DriveProbe SystemDriveProbe() {
    DriveProbe probe;
    probe.removable = [](const MountEntry& m) {
        if (StartsWith(m.mountPoint, "/media/") || StartsWith(m.mountPoint, "/run/media/")) return true;
        const std::string sys = SysBlockPath(m);
        if (sys.empty()) return false;
        // A partition's flag is its disk's.
        return FlagFile(sys + "/removable") || FlagFile(sys + "/../removable");
    };
    probe.optical = [](const MountEntry& m) {
        const std::string device = LastComponent(m.source);
        return StartsWith(m.source, "/dev/") && (StartsWith(device, "sr") || StartsWith(device, "scd"));
    };
    // The labels are read once per probe: /dev/disk/by-label names each labelled device.
    auto labels = std::make_shared<std::map<std::string, std::string>>();
    auto read = std::make_shared<bool>(false);
    probe.volumeLabel = [labels, read](const MountEntry& m) -> std::string {
        if (!*read) {
            *read = true;
            const std::string dir = "/dev/disk/by-label/";
            if (DIR* d = ::opendir(dir.c_str())) {
                while (const dirent* e = ::readdir(d)) {
                    const std::string name = e->d_name;
                    if (name == "." || name == "..") continue;
                    const std::string device = RealPath(dir + name);
                    if (!device.empty()) (*labels)[device] = DecodeUdevName(name);
                }
                ::closedir(d);
            }
        }
        if (!StartsWith(m.source, "/dev/")) return {};
        const std::string device = RealPath(m.source);
        const auto it = labels->find(device.empty() ? m.source : device);
        return it == labels->end() ? std::string() : it->second;
    };
    probe.isDirectory = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    };
    return probe;
}

std::vector<Drive> ListDrives(const std::vector<MountEntry>& mounts, const std::string& home,
                              const DriveProbe& probe) {
    // What each mount point shows: a later mount on the same point hides the earlier one.
    std::vector<const MountEntry*> visible;
    for (const MountEntry& m : mounts) {
        auto same = std::find_if(visible.begin(), visible.end(),
                                 [&](const MountEntry* v) { return v->mountPoint == m.mountPoint; });
        if (same != visible.end())
            *same = &m;
        else
            visible.push_back(&m);
    }
    const MountEntry* rootMount = nullptr;
    const MountEntry* homeMount = nullptr;  // the mount holding the home folder
    for (const MountEntry* m : visible) {
        if (m->mountPoint == "/") rootMount = m;
        if (!home.empty() && Within(m->mountPoint, home) &&
            (!homeMount || Components(m->mountPoint).size() > Components(homeMount->mountPoint).size()))
            homeMount = m;
    }

    auto label = [&](const MountEntry* m, DriveType type, const std::string& root) {
        std::string text = root.size() > 1 ? root.substr(0, root.size() - 1) : root;
        if (!m || type == DriveType::Network || !probe.volumeLabel) return text;
        const std::string volume = probe.volumeLabel(*m);
        // A mount point named after its volume says it already.
        if (volume.empty() || volume == LastComponent(m->mountPoint)) return text;
        return text + " " + TreeLabel(volume);
    };

    std::vector<Drive> drives;
    std::vector<const MountEntry*> shown;
    {
        const DriveType type = rootMount ? ClassifyMount(*rootMount, probe) : DriveType::Fixed;
        drives.push_back({"/", label(rootMount, type, "/"), type});
        if (rootMount) shown.push_back(rootMount);
    }
    const std::string homeRoot = home.empty() ? std::string() : WithSlash(home);
    if (!homeRoot.empty() && homeRoot != "/") {
        const DriveType type = homeMount ? ClassifyMount(*homeMount, probe) : DriveType::Fixed;
        const bool ownMount = homeMount && WithSlash(homeMount->mountPoint) == homeRoot;
        drives.push_back({homeRoot, label(ownMount ? homeMount : nullptr, type, homeRoot), type});
        if (ownMount) shown.push_back(homeMount);
    }
    for (const MountEntry* m : visible) {
        if (std::find(shown.begin(), shown.end(), m) != shown.end()) continue;
        if (IsPseudo(m->fsType) || SystemArea(m->mountPoint)) continue;
        // A second view of what is shown already: a bind mount of a part of it, or the same
        // file system mounted twice. Network mounts have a device number of their own.
        const bool secondView = std::any_of(shown.begin(), shown.end(), [&](const MountEntry* s) {
            return s->major == m->major && s->minor == m->minor && Within(s->root, m->root);
        });
        if (secondView) continue;
        const DriveType type = ClassifyMount(*m, probe);
        // Files bound into place (containers do that) are no drives. A FUSE file system may be
        // served from anywhere and is not asked.
        if (type != DriveType::Network && !StartsWith(m->fsType, "fuse") && probe.isDirectory &&
            !probe.isDirectory(m->mountPoint))
            continue;
        const std::string root = WithSlash(m->mountPoint);
        drives.push_back({root, label(m, type, root), type});
        shown.push_back(m);
    }
    return drives;
}

std::vector<NetworkServer> NetworkServers(const std::vector<MountEntry>& mounts,
                                          const std::vector<std::string>& gvfsNames,
                                          const std::string& gvfsDir) {
    std::vector<NetworkServer> servers;
    for (const MountEntry& m : mounts) {
        if (!IsNetworkFileSystem(m.fsType)) continue;
        std::string server, share;
        if (!SplitNetworkSource(m, server, share)) continue;
        NetworkServer& s = ServerNamed(servers, server);
        const std::string path = WithSlash(m.mountPoint);
        if (std::none_of(s.shares.begin(), s.shares.end(),
                         [&](const NetworkShare& x) { return x.path == path; }))
            s.shares.push_back({share, path});
    }
    // GVfs names its mounts "smb-share:server=nas,share=music", "sftp:host=example.org,user=bob".
    for (const std::string& name : gvfsNames) {
        const std::size_t colon = name.find(':');
        if (colon == std::string::npos) continue;
        const std::string scheme = name.substr(0, colon);
        // Cameras, phones, archives and discs are no network places.
        constexpr std::string_view kNetworkSchemes[] = {"smb-share", "sftp",       "ftp", "ftps", "dav",
                                                        "davs",      "afp-volume", "nfs", "ssh"};
        if (std::find(std::begin(kNetworkSchemes), std::end(kNetworkSchemes), scheme) ==
            std::end(kNetworkSchemes))
            continue;
        std::map<std::string, std::string> keys;
        std::stringstream list(name.substr(colon + 1));
        for (std::string pair; std::getline(list, pair, ',');) {
            const std::size_t eq = pair.find('=');
            if (eq != std::string::npos) keys[pair.substr(0, eq)] = PercentDecode(pair.substr(eq + 1));
        }
        std::string server = keys.count("server") ? keys["server"] : keys["host"];
        if (server.empty()) continue;
        std::string share = keys.count("share")    ? keys["share"]
                            : keys.count("volume") ? keys["volume"]
                            : keys.count("prefix") ? keys["prefix"]
                                                   : scheme;
        while (!share.empty() && share.front() == '/') share.erase(0, 1);
        if (share.empty()) share = scheme;
        ServerNamed(servers, server).shares.push_back({share, ChildPath(gvfsDir, name)});
    }
    return servers;
}

std::string TreeLabel(std::string_view name) {
    if (std::any_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
        return std::string(name);
    std::string out(name);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
    return out;
}

std::string ChildPath(std::string_view parent, std::string_view name) {
    std::string out = WithSlash(std::string(parent));
    while (!name.empty() && name.front() == '/') name.remove_prefix(1);
    while (!name.empty() && name.back() == '/') name.remove_suffix(1);
    if (name.empty()) return out;
    out += name;
    out += '/';
    return out;
}

bool ListSubdirNames(const std::string& dir, std::vector<std::string>& names) {
    names.clear();
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return false;
    DIR* d = ::fdopendir(dfd);
    if (!d) {
        ::close(dfd);
        return false;
    }
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        bool isDir = e->d_type == DT_DIR;
        // A link to a folder is a folder here, as it is to the scan of a release.
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st {};
            isDir = ::fstatat(dfd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (isDir) names.emplace_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NameLess(a, b); });
    return true;
}

int FindName(const std::vector<std::string>& names, std::string_view name) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) return static_cast<int>(i);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (IEquals(names[i], name)) return static_cast<int>(i);
    }
    return -1;
}

RootedPath SplitBelowRoots(const std::vector<std::string>& roots, std::string_view path) {
    RootedPath out;
    const std::vector<std::string> parts = Components(path);
    std::size_t best = 0;
    for (std::size_t r = 0; r < roots.size(); ++r) {
        const std::vector<std::string> rootParts = Components(roots[r]);
        if (rootParts.size() > parts.size()) continue;
        if (!std::equal(rootParts.begin(), rootParts.end(), parts.begin(),
                        [](const std::string& a, const std::string& b) { return IEquals(a, b); }))
            continue;
        if (out.root < 0 || rootParts.size() > best) {
            out.root = static_cast<int>(r);
            best = rootParts.size();
        }
    }
    if (out.root >= 0) out.components.assign(parts.begin() + static_cast<std::ptrdiff_t>(best), parts.end());
    return out;
}

std::vector<OpenLevel> ListOpenChain(const std::string& root, const std::vector<std::string>& components) {
    std::vector<OpenLevel> levels;
    std::string path = WithSlash(root);
    for (std::size_t i = 0;; ++i) {
        OpenLevel level;
        level.path = path;
        level.listed = ListSubdirNames(path, level.children);
        if (level.listed && i < components.size()) level.chosen = FindName(level.children, components[i]);
        levels.push_back(std::move(level));
        const OpenLevel& last = levels.back();
        if (last.chosen < 0) break;
        path = ChildPath(path, last.children[static_cast<std::size_t>(last.chosen)]);
    }
    return levels;
}

std::string ReadMountInfo() {
    return ReadProcFile("/proc/self/mountinfo");
}

std::string GvfsDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return {};
    return ChildPath(runtime, "gvfs");
}

std::vector<std::string> ListEntryNames(const std::string& dir) {
    std::vector<std::string> names;
    if (dir.empty()) return names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string_view name = e->d_name;
            if (name != "." && name != "..") names.emplace_back(name);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NameLess(a, b); });
    return names;
}

std::string DecodeUdevName(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            out += static_cast<char>(std::stoi(std::string(name.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

}  // namespace kestrow::platform
