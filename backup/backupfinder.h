// Finding a directory's backup data among the lines of "_kestrow.backup" and the comment lines of
// its SFV and M3U lists.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "backup/backupdata.h"
#include "content/listeddir.h"
#include "content/reporter.h"
#include "platform/question.h"

namespace kestrow {

// The four lines stored in front of the encoded text, 70 characters each.
inline constexpr const char* kBackupHeaderLines[4] = {
    "[CAUTION: One or more of the physical files present in this directory]",
    "[and/or the directory itself has changed names! The junk characters  ]",
    "[below are BACKUP DATA needed by Kestrow in order restore the names. ]",
    "[DO NOT edit or remove this file and DO NOT edit the filenames!      ]",
};

// Joins lines[first], lines[first + 1], ... until the joined text holds the end marker "!eE~]".
// False when the lines run out first. `last` receives the index of the line that completed it.
bool JoinBackupLines(const std::vector<std::string>& lines, std::size_t first, std::string& joined,
                     std::size_t& last);

// Whether any line of "_kestrow.backup" or any comment of the lists holds "[V100": the prepare
// pass refuses such a directory.
bool HoldsBackupData(const ListedDir& dir);

// Reads the directory's backup data into `data` and reports through the analysis reporter what it
// finds. Returns -1 when the user aborted, 0 when there is nothing to read (no list and no backup
// file, or the data is corrupt) and 1 when the lists were searched; data.NoBackupData() then tells
// whether a block was read. The taken block's lines are removed from their list in memory, so
// that a later write of that list leaves them out. With `reloadLists` the directory's lists are
// loaded afresh first; the questioner shows the line reader's warnings then.
int findBackupData(ListedDir& dir, BackupData& data, bool reloadLists, Reporter& reporter,
                   platform::Questioner* questioner = nullptr);

}  // namespace kestrow
