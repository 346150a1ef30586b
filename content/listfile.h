// What SFV lists and M3U playlists share: the file, its entries in list order and its comment
// lines, each stored with the "<N>" prefix that keeps its place among the file's lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "content/fileentry.h"
#include "content/listentry.h"
#include "content/pathname.h"

namespace kestrow {

class ListFile {
public:
    bool Loaded() const { return m_loaded; }
    // Why the last load failed (empty when it did not).
    const std::string& LoadError() const { return m_loadError; }

    const PathName& File() const { return m_file; }
    std::string FileName() const { return m_file.FileName(); }
    std::string FullPath() const { return m_file.FullPath(); }

    const std::vector<ListEntry>& Entries() const { return m_entries; }
    std::size_t EntryCount() const { return m_entries.size(); }
    // Index of the first entry whose path as written equals the name (exactly, else without
    // regard to case), or -1. Takes time in the logarithm of the number of entries.
    int FindEntry(std::string_view name) const;
    // Positions of every entry whose path as written equals the name without regard to case, in
    // list order.
    std::vector<std::size_t> EntriesAlike(std::string_view name) const;
    // False for an index past the end.
    bool RemoveEntry(std::size_t index) {
        if (index >= m_entries.size()) return false;
        m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
        EntriesReordered();
        return true;
    }

    // Comments are stored as "<N>" + the line after its comment mark, untrimmed.
    const std::vector<std::string>& Comments() const { return m_comments; }
    std::size_t CommentCount() const { return m_comments.size(); }
    // The comment without its prefix; empty past the end.
    std::string Comment(std::size_t index) const;

    // Backup storage adds its block lines to the comments and takes a stored block out of them;
    // after the directory was renamed the list is pointed at its new path.
    std::vector<std::string>& MutableComments() { return m_comments; }
    void SetFile(PathName file) { m_file = std::move(file); }

protected:
    explicit ListFile(PathName file) : m_file(std::move(file)) {}

    // Every change of the entries goes through these, so that look-ups see it: a new path for
    // one entry and an entry at the end are filed in the look-up order at once; anything else
    // (a load, an insertion in front, a removal) has the order rebuilt at the next look-up.
    void SetEntryText(std::size_t index, std::string_view text);
    void AppendEntry(ListEntry entry);
    void EntriesReordered() { m_indexed = false; }

    PathName m_file;
    std::vector<ListEntry> m_entries;
    std::vector<std::string> m_comments;
    bool m_loaded = false;
    std::string m_loadError;

private:
    // Entry positions ordered by path without regard to case, the earlier entry first among
    // paths that fold alike; built at the first look-up.
    mutable std::vector<std::uint32_t> m_byName;
    mutable bool m_indexed = false;
    void BuildIndex() const;
    // The first entry of the look-up order that is not before the name without regard to case.
    std::vector<std::uint32_t>::const_iterator FirstAlike(std::string_view name) const;
    bool Before(std::uint32_t a, std::uint32_t b) const;
};

}  // namespace kestrow
