// Recognising the tagline an earlier run left in a directory, so that a check may trust it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "content/taglineformat.h"
#include "platform/question.h"

namespace kestrow {

class DirContents;
class ListedDir;
struct FileEntry;

// A name of the tagline's shape: a prefix, "-[", a status ("OK-", "#CORRUPT#-" or
// "#INCOMPLETE#-"), ..., "]-" and the same prefix again.
bool HasTaglineShape(std::string_view name);

// A file an earlier check wrote into the directory and that no SFV list or playlist names: its
// tagline (an empty file of the tagline's shape, or a problem tagline holding nothing but
// "Missing: " and "Corrupt: " lines), or an empty marker of one of its subdirectories. Such a
// file is never renamed by the name rules, and only a tagline is taken for the next tagline.
bool IsOldTagline(const ListedDir& dir, const FileEntry& file);
bool IsSubdirMarker(const DirContents& dir, const FileEntry& file);

// True when the directory holds an OK tagline: an empty file with "-[OK-" in its name after the
// first character. Otherwise, when `names` is given, the first problem tagline (a non-empty file
// with "-[#CORRUPT#-" or "-[#INCOMPLETE#-" after the first character) is read and the names of
// its "Corrupt: " and "Missing: " lines are added to `names`; the result is then false.
bool ReadExistingTagline(const DirContents& dir, std::vector<std::string>* names = nullptr,
                         platform::Questioner* questioner = nullptr);

}  // namespace kestrow
