// Linux file-system calls behind the platform interface.
#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace kestrow::platform {

namespace {

constexpr int kListRetries = 5;
constexpr std::string_view kTempMark = ".kestrow-";
constexpr std::size_t kTempRandomChars = 6;
constexpr std::size_t kTempNameMaxBytes = 200;
constexpr off_t kSequentialAdviceBytes = off_t{256} * 1024;

bool IsTempChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The six letters and digits that end a temporary name, as mkstemp picks them.
std::string RandomTempChars() {
    static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
    std::string s(kTempRandomChars, 'X');
    for (char& c : s) c = kChars[pick(engine)];
    return s;
}

bool IsRegularNotLink(int dirFd, const char* name) {
    struct stat st {};
    return ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

std::string ParentOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

int RenameNoReplace(const char* from, const char* to) {
#ifdef SYS_renameat2
    long r = ::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
    if (r == 0) return 0;
    if (errno != ENOSYS && errno != EINVAL) return -1;
#endif
    // The file system lacks renameat2: for files, link and unlink never replace.
    struct stat st {};
    if (::lstat(from, &st) != 0) return -1;
    if (!S_ISDIR(st.st_mode)) {
        if (::link(from, to) == 0) return ::unlink(from);
        if (errno == EEXIST) return -1;
    }
    // Last resort (directories, or no hard links): check right before the rename.
    if (::access(to, F_OK) == 0 || errno != ENOENT) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from, to);
}

Status CopyThenRemove(const std::string& from, const std::string& to) {
    struct stat st {};
    if (::stat(from.c_str(), &st) != 0) return Status::fromErrno();
    if (!S_ISREG(st.st_mode)) return Status{EXDEV};
    InputFile in;
    if (Status s = in.open(from); !s) return s;
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) return Status::fromErrno();
    std::vector<char> buffer(1 << 20);
    Status result;
    for (;;) {
        long long n = in.read(buffer.data(), buffer.size());
        if (n < 0) {
            result = Status{in.lastError()};
            break;
        }
        if (n == 0) break;
        const char* p = buffer.data();
        while (n > 0) {
            ssize_t w = ::write(out, p, static_cast<std::size_t>(n));
            if (w < 0) {
                if (errno == EINTR) continue;
                result = Status::fromErrno();
                break;
            }
            p += w;
            n -= w;
        }
        if (!result) break;
    }
    if (result && ::fsync(out) != 0) result = Status::fromErrno();
    if (::close(out) != 0 && result) result = Status::fromErrno();
    if (!result) {
        ::unlink(to.c_str());
        return result;
    }
    in.close();
    if (::unlink(from.c_str()) != 0) return Status::fromErrno();
    return {};
}

}  // namespace

std::string Status::message() const {
    if (error == 0) return "Success";
    return std::strerror(error);
}

Status Status::fromErrno() {
    return Status{errno ? errno : EIO};
}

Status ListDirectory(const std::string& dir, std::vector<DirEntry>& out) {
    out.clear();
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return Status::fromErrno();
    int dfd = ::dirfd(d);
    int retries = 0;
    Status result;
    for (;;) {
        errno = 0;
        dirent* e = ::readdir(d);
        if (!e) {
            if (errno == 0) break;
            if (++retries > kListRetries) {
                result = Status::fromErrno();
                break;
            }
            continue;
        }
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        DirEntry entry;
        entry.name = e->d_name;
        struct stat st {};
        if (e->d_type == DT_LNK) {
            entry.symlink = true;
        } else if (e->d_type == DT_UNKNOWN && ::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            entry.symlink = S_ISLNK(st.st_mode);
        }
        if (::fstatat(dfd, e->d_name, &st, 0) == 0) {
            if (S_ISREG(st.st_mode)) {
                entry.kind = EntryKind::File;
                entry.size = static_cast<std::uint64_t>(st.st_size);
            } else if (S_ISDIR(st.st_mode)) {
                entry.kind = EntryKind::Directory;
            }
        }
        entry.ownTemporary = entry.kind == EntryKind::File && IsOwnTemporaryName(entry.name) &&
                             IsRegularNotLink(dfd, e->d_name);
        out.push_back(std::move(entry));
    }
    ::closedir(d);
    return result;
}

InputFile::~InputFile() {
    close();
}

InputFile::InputFile(InputFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_size(other.m_size), m_lastError(other.m_lastError) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_size = other.m_size;
        m_lastError = other.m_lastError;
    }
    return *this;
}

std::string CurrentDirectory() {
    std::vector<char> buf(4096);
    while (!::getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE) return "/";
        buf.resize(buf.size() * 2);
    }
    return buf.data();
}

Status InputFile::open(const std::string& path) {
    close();
    // O_NONBLOCK keeps a FIFO from blocking the open; it is refused right after.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return Status::fromErrno();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return Status{err};
    }
    // No other status flag was asked for, so clearing them all clears O_NONBLOCK in one call.
    ::fcntl(fd, F_SETFL, 0);
    // Read-ahead advice pays only beyond the kernel's default window; a check of thousands of
    // small files would spend a call per file on it.
    if (st.st_size > kSequentialAdviceBytes) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fd = fd;
    m_size = static_cast<std::uint64_t>(st.st_size);
    return {};
}

long long InputFile::read(void* buffer, std::size_t len) {
    for (;;) {
        ssize_t n = ::read(m_fd, buffer, len);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        m_lastError = errno;
        return -1;
    }
}

void InputFile::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

Status ReadWholeFile(const std::string& path, std::string& out, std::uint64_t maxBytes) {
    out.clear();
    InputFile in;
    if (Status s = in.open(path); !s) return s;
    if (in.size() > maxBytes) return Status{EFBIG};
    out.resize(static_cast<std::size_t>(in.size()));
    std::size_t got = 0;
    for (;;) {
        if (got == out.size()) {
            // The file may have grown since it was opened; read on up to the cap.
            if (out.size() >= maxBytes + 1) break;
            out.resize(std::min<std::uint64_t>(maxBytes + 1, out.size() + 65536));
        }
        long long n = in.read(out.data() + got, out.size() - got);
        if (n < 0) return Status{in.lastError()};
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    if (got > maxBytes) {
        out.clear();
        return Status{EFBIG};
    }
    return {};
}

PathKind Stat(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return PathKind::Missing;
    if (S_ISREG(st.st_mode)) return PathKind::File;
    if (S_ISDIR(st.st_mode)) return PathKind::Directory;
    return PathKind::Other;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

Status MoveNoReplace(const std::string& from, const std::string& to) {
    if (from == to) return {};
    if (RenameNoReplace(from.c_str(), to.c_str()) == 0) return {};
    if (errno == EEXIST) {
        // A case-only rename on a case-blind file system finds the source itself at the target.
        struct stat a {
        }, b{};
        if (::lstat(from.c_str(), &a) == 0 && ::lstat(to.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
            a.st_ino == b.st_ino) {
            if (::rename(from.c_str(), to.c_str()) == 0) return {};
            return Status::fromErrno();
        }
        return Status{EEXIST};
    }
    if (errno == EXDEV) return CopyThenRemove(from, to);
    return Status::fromErrno();
}

Status ReplaceFile(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return Status::fromErrno();
    return {};
}

Status DeleteFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) return Status::fromErrno();
    return {};
}

Status MakeDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0) return Status::fromErrno();
    return {};
}

Status CreateEmptyFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return Status::fromErrno();
    ::close(fd);
    return {};
}

namespace {

// Gives the unnamed file open at fd a name. The /proc link works for every user; AT_EMPTY_PATH
// needs a capability but no /proc.
Status LinkUnnamed(int fd, const std::string& to) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0) return {};
    const int err = errno;
    if (err != ENOENT) return Status{err};
    if (::linkat(fd, "", AT_FDCWD, to.c_str(), AT_EMPTY_PATH) == 0) return {};
    return Status::fromErrno();
}

Status WriteAll(int fd, std::string_view data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t w = ::write(fd, p, left);
        if (w < 0) {
            if (errno == EINTR) continue;
            return Status::fromErrno();
        }
        p += w;
        left -= static_cast<std::size_t>(w);
    }
    return {};
}

}  // namespace

Status WriteFileAtomic(const std::string& path, std::string_view data) {
    mode_t mode = 0666;
    bool existed = false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) return Status{ELOOP};
        if (!S_ISREG(st.st_mode)) return Status{EINVAL};
        mode = st.st_mode & 07777;
        existed = true;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const std::string folder = ParentOf(path);
    std::string base = path.substr(path.find_last_of('/') + 1);
    const std::string tempPrefix = folder + "/." + base.substr(0, kTempNameMaxBytes) + std::string(kTempMark);
    auto fill = [&](int fd) {
        Status result = WriteAll(fd, data);
        if (result && ::fchmod(fd, mode) != 0) result = Status::fromErrno();
        if (result && ::fsync(fd) != 0) result = Status::fromErrno();
        return result;
    };

    // Unnamed while it is written, so that a kill leaves nothing behind.
    std::string temp;
    bool inPlace = false;
    Status result;
    if (int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode); fd >= 0) {
        result = fill(fd);
        if (!result) {
            ::close(fd);
            return result;
        }
        // A new file takes its name at once; an old one is replaced by a rename, which needs a
        // name for the new content, held only for that moment.
        inPlace = !existed && LinkUnnamed(fd, path);
        for (int tries = 0; !inPlace && tries < 100; ++tries) {
            temp = tempPrefix + RandomTempChars();
            const Status linked = LinkUnnamed(fd, temp);
            if (linked) break;
            temp.clear();
            if (linked.error != EEXIST) break;
        }
        if (::close(fd) != 0) result = Status::fromErrno();
    }
    if (!inPlace && temp.empty()) {
        // No unnamed files here, or none could be linked: a named one from the start.
        temp = tempPrefix + "XXXXXX";
        int fd = ::mkstemp(temp.data());
        if (fd < 0) return Status::fromErrno();
        result = fill(fd);
        if (::close(fd) != 0 && result) result = Status::fromErrno();
    }
    if (result && !inPlace && ::rename(temp.c_str(), path.c_str()) != 0) result = Status::fromErrno();
    if (!result) {
        if (!temp.empty()) ::unlink(temp.c_str());
        // The file was new and ours alone.
        if (inPlace) ::unlink(path.c_str());
        return result;
    }
    // Make the rename itself durable.
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return {};
}

bool IsOwnTemporaryName(std::string_view name) {
    const std::size_t fixed = 1 + kTempMark.size() + kTempRandomChars;
    if (name.size() <= fixed || name.size() > fixed + kTempNameMaxBytes || name.front() != '.') return false;
    const std::string_view random = name.substr(name.size() - kTempRandomChars);
    return std::all_of(random.begin(), random.end(), IsTempChar) &&
           name.substr(name.size() - kTempRandomChars - kTempMark.size(), kTempMark.size()) == kTempMark;
}

Status RemoveOwnTemporary(const std::string& path) {
    if (!IsOwnTemporaryName(path.substr(path.find_last_of('/') + 1))) return Status{EINVAL};
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return Status::fromErrno();
    if (!S_ISREG(st.st_mode)) return Status{EINVAL};
    return DeleteFile(path);
}

Status GetFileId(const std::string& path, FileId& id) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Status::fromErrno();
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    return {};
}

}  // namespace kestrow::platform
