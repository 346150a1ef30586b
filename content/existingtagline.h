// Recognising the tagline an earlier run left in a directory, so that a check may trust it.
#pragma once

#include <string>
#include <vector>

#include "platform/question.h"

namespace kestrow {

class DirContents;

// True when the directory holds an OK tagline: an empty file with "-[OK-" in its name after the
// first character. Otherwise, when `names` is given, the first problem tagline (a non-empty file
// with "-[#CORRUPT#-" or "-[#INCOMPLETE#-" after the first character) is read and the names of
// its "Corrupt: " and "Missing: " lines are added to `names`; the result is then false.
bool ReadExistingTagline(const DirContents& dir, std::vector<std::string>* names = nullptr,
                         platform::Questioner* questioner = nullptr);

}  // namespace kestrow
