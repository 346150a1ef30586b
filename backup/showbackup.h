// The text that shows a directory's backup data to a user: where it is kept and every record,
// so that what a restore would do can be checked and names recovered by hand.
#pragma once

#include <string>

namespace kestrow {

// Fills `text` with the lines to print for the directory: where its backup data is stored and
// its records (directory, files, temp files: name on disk, original name, operation number), or
// why there is none to read. Names are quoted; control bytes, '"' and '\' in them are escaped.
// Returns 0 when records were read, 1 when the directory holds no backup data or only data that
// cannot be read, 2 when the directory itself cannot be read.
int ShowBackup(const std::string& dirPath, std::string& text);

}  // namespace kestrow
