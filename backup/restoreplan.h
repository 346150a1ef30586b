// What the restore analysis decided for one directory, carried out by the restore apply.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "backup/backuprecord.h"

namespace kestrow {

// One operation on a file of the directory. `record` is the position, among the records read,
// of the record the operation resolves: until the operation is done that record stays stored.
// Without backup data it numbers the matches and nothing is stored.
struct RestoreOperation {
    enum class Kind { Rename, Replace, Delete };
    Kind kind = Kind::Rename;
    std::string from;  // the name on disk
    std::string to;    // the original name (empty for a deletion)
    std::size_t record = 0;
};

struct RestorePlan {
    // File renames and deletions in record order, then the temp-file renames.
    std::vector<RestoreOperation> operations;
    // The directory's original name when it is to get it back, else empty.
    std::string dirTarget;
    // Position of the directory record among the records read (when dirTarget is set).
    std::size_t dirRecord = 0;
    // Positions of the records that stay unresolved.
    std::vector<std::size_t> kept;
    // The lists were changed in memory.
    bool listsEdited = false;
    int crcMatched = 0;
    int crcMismatched = 0;

    bool NothingToDo() const { return operations.empty() && dirTarget.empty() && !listsEdited; }
};

}  // namespace kestrow
