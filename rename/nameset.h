// The names a planned name must not meet, held in hashed sets so that planning costs time in
// proportion to the files of a directory, however many of them collide.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "content/dircontents.h"

namespace kestrow {

// Names compared without regard to case, counted: twins that differ only in case count twice.
class NameSet {
public:
    void Add(std::string_view name);
    std::size_t Count(std::string_view name) const;
    bool Contains(std::string_view name) const { return Count(name) > 0; }

    // Every file and subdirectory of a directory listing.
    static NameSet Of(const DirContents& dir);

private:
    std::unordered_map<std::string, std::size_t> m_counts;
};

// The names that backup records carry, as "extension;title" pairs exactly as written (the
// directory's new name stands whole, with an empty extension). A name that a record already
// holds is never given to another entry.
class RecordedNames {
public:
    // Takes every record of the text ("<F:", "<T:", "<D:" records; "<OP:" parts are skipped).
    void AddRecords(std::string_view text);
    bool Contains(std::string_view extension, std::string_view title) const;

private:
    std::unordered_set<std::string> m_pairs;
};

}  // namespace kestrow
