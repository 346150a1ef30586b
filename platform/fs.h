// The Linux side of the file system: listing, reading, moving, deleting and atomic writes.
// Every operation reports failure through a Status carrying the system's reason; nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow::platform {

// Result of a file-system call: errno of the failure, 0 on success.
struct Status {
    int error = 0;
    bool ok() const { return error == 0; }
    explicit operator bool() const { return ok(); }
    // The system's reason, e.g. "No such file or directory".
    std::string message() const;
    static Status fromErrno();
};

// Text files read from a release (lists, backup data, taglines) are capped at this size.
inline constexpr std::uint64_t kMaxTextFileSize = std::uint64_t{16} * 1024 * 1024;

enum class EntryKind { File, Directory, Other };

struct DirEntry {
    std::string name;
    EntryKind kind = EntryKind::Other;
    std::uint64_t size = 0;  // regular files only
    bool symlink = false;    // the entry itself is a symbolic link (kind says what it leads to)
    // A regular file (not a link) named as WriteFileAtomic names its temporary files: the
    // leftover of a write that was killed, never a file of a release.
    bool ownTemporary = false;
};

// Lists a directory: "." and ".." skipped; regular files (symbolic links to them followed) are
// Files, directories (and links to them) are Directories; FIFOs, devices, sockets and dangling
// links are Other. A step that fails transiently is retried a bounded number of times.
Status ListDirectory(const std::string& dir, std::vector<DirEntry>& out);

// Reads a whole regular file of at most maxBytes; a larger file, or anything that is not a
// regular file, fails (EFBIG / EINVAL) without being read. Never blocks on a FIFO.
Status ReadWholeFile(const std::string& path, std::string& out, std::uint64_t maxBytes = kMaxTextFileSize);

// A regular file opened for streaming reads; FIFOs and devices are refused at open.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    Status open(const std::string& path);
    bool isOpen() const { return m_fd >= 0; }
    // Reads up to len bytes; returns the count (0 at end of file) or -1 with errno kept in lastError.
    long long read(void* buffer, std::size_t len);
    std::uint64_t size() const { return m_size; }
    int lastError() const { return m_lastError; }
    void close();

private:
    int m_fd = -1;
    std::uint64_t m_size = 0;
    int m_lastError = 0;
};

enum class PathKind { Missing, File, Directory, Other };
PathKind Stat(const std::string& path);  // follows symbolic links
// The process's working directory; "/" when it cannot be told (removed, or not reachable).
std::string CurrentDirectory();
bool Exists(const std::string& path);  // any kind, links not followed

// Moves a file or directory; never replaces an existing target (EEXIST). Moving a name onto
// itself succeeds and does nothing; a case-only rename is an ordinary rename. Across file
// systems a regular file is copied and the source removed.
Status MoveNoReplace(const std::string& from, const std::string& to);
// Replaces `to` with `from` in one rename (used where the user agreed to overwrite).
Status ReplaceFile(const std::string& from, const std::string& to);
Status DeleteFile(const std::string& path);
Status MakeDirectory(const std::string& path);
// Creates an empty file if no entry of that name exists (EEXIST otherwise).
Status CreateEmptyFile(const std::string& path);

// Writes the file through a temporary file in the same folder, synced and renamed over the old
// one, keeping the old file's mode. A symbolic link at `path` is refused (ELOOP), so a write
// never lands on a file elsewhere. On any failure the old file is left intact. Where the file
// system allows, the temporary file has no name while it is written: a kill then leaves nothing
// behind, except in the moment between naming it ".NAME.kestrow-XXXXXX" and the rename.
Status WriteFileAtomic(const std::string& path, std::string_view data);

// True for ".NAME.kestrow-XXXXXX" (NAME not empty, X a letter or digit), the name of a temporary
// file of WriteFileAtomic.
bool IsOwnTemporaryName(std::string_view name);
// Deletes a leftover temporary file of a killed write: only a regular file (not a link) whose
// name passes IsOwnTemporaryName; anything else is left alone (EINVAL).
Status RemoveOwnTemporary(const std::string& path);

// The directory and inode of a path, to notice a directory already on the current walk.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};
Status GetFileId(const std::string& path, FileId& id);

}  // namespace kestrow::platform
