// A parsed M3U playlist: its entries (paths as written) and its "#" comment lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "content/fileentry.h"
#include "content/listentry.h"
#include "content/pathname.h"
#include "platform/question.h"

namespace kestrow {

class M3uList {
public:
    explicit M3uList(const FileEntry& file) : m_file(file.path) {}
    // Also used for a playlist that is yet to be written.
    explicit M3uList(PathName file) : m_file(std::move(file)) {}

    // Parses the file anew; false when it cannot be opened (empty and not loaded then).
    bool Load(std::string* error = nullptr, platform::Questioner* questioner = nullptr);
    bool Loaded() const { return m_loaded; }

    const PathName& File() const { return m_file; }
    std::string FileName() const { return m_file.FileName(); }
    std::string FullPath() const { return m_file.FullPath(); }

    const std::vector<ListEntry>& Entries() const { return m_entries; }
    std::size_t EntryCount() const { return m_entries.size(); }
    // The entry's path as written; empty past the end.
    std::string EntryPath(std::size_t index) const;
    // Index of the first entry whose path as written equals the name (exactly, else without
    // regard to case), or -1.
    int FindEntry(std::string_view name) const;
    // Position 0 inserts in front, any other position appends; a position past the number of
    // entries is refused.
    bool AddEntry(std::string_view name, std::size_t position);
    // Replaces the entry in place; false for an index past the end.
    bool ReplaceEntry(std::string_view name, std::size_t index);

    // Comments are stored as "<N>" + the line after its "#", untrimmed.
    const std::vector<std::string>& Comments() const { return m_comments; }
    std::size_t CommentCount() const { return m_comments.size(); }
    // The comment without its prefix; empty past the end.
    std::string Comment(std::size_t index) const;

    // Backup storage adds its block lines to the comments and takes a stored block out of them;
    // after the directory was renamed the list is pointed at its new path.
    std::vector<std::string>& MutableComments() { return m_comments; }
    void SetFile(PathName file) { m_file = std::move(file); }

private:
    PathName m_file;
    std::vector<ListEntry> m_entries;
    std::vector<std::string> m_comments;
    bool m_loaded = false;
};

}  // namespace kestrow
