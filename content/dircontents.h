// The contents of one directory sorted into six classes: subdirectories, MP3, M3U, NFO, SFV and
// other files.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "content/fileentry.h"
#include "content/pathname.h"

namespace kestrow {

enum class FileClass { Subdir = 0, Mp3, M3u, Nfo, Sfv, Other };
inline constexpr int kFileClassCount = 6;
// The order in which every file but the subdirectories is walked.
inline constexpr FileClass kAllFilesOrder[] = {FileClass::Other, FileClass::Mp3, FileClass::Sfv,
                                               FileClass::M3u, FileClass::Nfo};

// The class a file name falls in by its extension (never Subdir).
FileClass ClassOfFileName(std::string_view name);

class DirContents {
public:
    DirContents() = default;
    explicit DirContents(std::string_view dirPath) { SetPath(dirPath); }
    DirContents(const DirContents& other);
    DirContents& operator=(const DirContents& other);
    DirContents(DirContents&&) noexcept = default;
    DirContents& operator=(DirContents&&) noexcept = default;
    virtual ~DirContents() = default;

    // A new path leaves the old listing behind: the next Scan lists the directory, held or not.
    void SetPath(std::string_view dirPath) {
        m_path.Set(dirPath, true);
        m_listed = false;
    }
    const PathName& Path() const { return m_path; }
    // The directory path, ending in "/".
    std::string DirPath() const { return m_path.DirPath(); }

    // Lists the directory anew (non-recursive). Each class is sorted by name without regard to
    // case, bytes breaking ties. False when the path is empty or cannot be listed; the lists
    // are then empty. While the listing is held, only the cursors are reset unless a change was
    // reported since the last listing.
    bool Scan();

    // The steps of every subdirectory ask for their parent's listing again; listing a folder of
    // thousands of releases before each of them costs time in the square of their number. While
    // a walk holds the parent's listing, whoever changes the parent's entries (renames one of
    // them, deletes or rewrites a file there) reports it, and only then is it listed again.
    void HoldListing(bool hold) { m_held = hold; }
    void ListingChanged() { m_changed = true; }

    // Per-class iteration; First returns the class's presence flag, Next false at the end.
    bool First(FileClass c);
    bool Next(FileClass c);
    const FileEntry& Current(FileClass c) const;
    // The current entry's title (for a subdirectory: its name).
    std::string CurrentTitle(FileClass c) const;
    std::string SubdirName(std::size_t index) const;

    // All files except subdirectories, in the order other, MP3, SFV, M3U, NFO. NextFile with
    // acrossClasses false stays within "other".
    bool FirstFile();
    bool NextFile(bool acrossClasses = true);
    const FileEntry& CurrentFile() const;
    std::string CurrentFileName() const { return CurrentFile().path.FileName(); }

    // Look-ups by file name: the exact name first, then without regard to case (the first such
    // name in the listing's order). A name with a class extension (.mp3, .m3u, .sfv, .nfo) is
    // looked up in that class only. Each takes time in the logarithm of the class's size.
    const FileEntry* GetFile(std::string_view name) const;
    // 0 when a subdirectory of that name exists (case-blind, exact first), -1 otherwise.
    int FindSubdir(std::string_view name) const { return GetSubdir(name) ? 0 : -1; }
    // The subdirectory of that name: the exact name first, then without regard to case.
    const FileEntry* GetSubdir(std::string_view name) const;

    const std::vector<FileEntry>& List(FileClass c) const { return m_lists[Index(c)]; }
    std::size_t Count(FileClass c) const { return List(c).size(); }
    bool Has(FileClass c) const { return !List(c).empty(); }
    std::size_t SubdirCount() const { return Count(FileClass::Subdir); }
    std::uint64_t TotalSize() const { return m_totalSize; }

    // Leftover temporary files of writes that were killed, seen by the last listing: they are
    // not files of the directory and are in none of its lists.
    const std::vector<std::string>& OwnTemporaries() const { return m_ownTemporaries; }

    // Adds a file entry at the end of its class (used when a step creates a file it knows about);
    // look-ups rank it where a new listing would put it.
    void AddFile(std::string_view name, std::uint64_t size);

private:
    static std::size_t Index(FileClass c) { return static_cast<std::size_t>(c); }
    void Clear();
    void ResetCursors();
    const FileEntry* Find(FileClass c, std::string_view name) const;

    PathName m_path;
    std::array<std::vector<FileEntry>, kFileClassCount> m_lists;
    std::array<std::size_t, kFileClassCount> m_cursor{};
    int m_fileClassIndex = -1;  // position of the all-files cursor in kAllFilesOrder, -1 unused
    std::uint64_t m_totalSize = 0;
    // Per class, the positions in its list ordered by name as a listing sorts them (without
    // regard to case, bytes breaking ties, the earlier position first among equal names): names
    // that fold alike stand together, the exact spelling among them found by its bytes. A deque:
    // the markers a walk adds to its parent come in reverse name order, each in front of the last.
    std::array<std::deque<std::uint32_t>, kFileClassCount> m_byName;
    std::vector<std::string> m_ownTemporaries;
    bool m_listed = false;  // the last Scan of this path succeeded
    bool m_held = false;
    bool m_changed = false;
};

// Holds a listing for as long as it lives.
class HeldListing {
public:
    explicit HeldListing(DirContents& dir) : m_dir(dir) { m_dir.HoldListing(true); }
    ~HeldListing() { m_dir.HoldListing(false); }
    HeldListing(const HeldListing&) = delete;
    HeldListing& operator=(const HeldListing&) = delete;

private:
    DirContents& m_dir;
};

}  // namespace kestrow
