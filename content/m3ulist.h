// A parsed M3U playlist: its entries (paths as written) and its "#" comment lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "content/fileentry.h"
#include "content/listentry.h"
#include "content/listfile.h"
#include "content/pathname.h"
#include "platform/question.h"

namespace kestrow {

class M3uList : public ListFile {
public:
    explicit M3uList(const FileEntry& file) : ListFile(file.path) {}
    // Also used for a playlist that is yet to be written.
    explicit M3uList(PathName file) : ListFile(std::move(file)) {}

    // Parses the file anew; false when it cannot be opened (empty and not loaded then).
    bool Load(std::string* error = nullptr, platform::Questioner* questioner = nullptr);

    // The entry's path as written; empty past the end.
    std::string EntryPath(std::size_t index) const;
    // Position 0 inserts in front, any other position appends; a position past the number of
    // entries is refused.
    bool AddEntry(std::string_view name, std::size_t position);
    // Replaces the entry in place; false for an index past the end.
    bool ReplaceEntry(std::string_view name, std::size_t index);

    // The file's text as it is written back: comments in their places.
    std::string Text() const;
};

}  // namespace kestrow
