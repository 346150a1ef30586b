// One entry of a directory listing or of an SFV list.
#pragma once

#include <cstdint>
#include <string>

#include "content/pathname.h"

namespace kestrow {

// Scanned files carry their size and an empty text; SFV entries size 0 and the CRC text;
// subdirectories the whole directory path in path.dir.
struct FileEntry {
    PathName path;
    std::uint64_t size = 0;
    std::string text;
    // A subdirectory reached through a symbolic link: a pass never enters it.
    bool symlink = false;
};

}  // namespace kestrow
