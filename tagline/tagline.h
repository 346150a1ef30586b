// Taglines: the marker file that names a directory's check result, and the markers in its
// parent that flag releases with problems or without their lists.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "content/integrity.h"
#include "platform/optionvalues.h"

namespace kestrow {

class ListedDir;
class Mp3Info;
class Reporter;

// Longest GENRE, YEAR and prefix, in characters, and the longest tagline name in bytes.
inline constexpr std::size_t kTaglineFieldMaxChars = 32;
inline constexpr std::size_t kTaglineNameMaxBytes = 255;

// Which pieces a tagline name carries; every caller wants them all.
struct TaglinePieces {
    bool withSize = true;
    bool withYear = true;
    bool withGenre = true;
    bool withRate = true;
};

// A text from a downloaded file made fit for a file name: "/", NUL, control characters and
// \ : * ? " < > | become "_", and it is cut to kTaglineFieldMaxChars characters.
std::string TaglineField(std::string_view text);

// The tagline name for a check result. mp3 is the first MP3 file's information, null when the
// directory has no MP3 file; an empty prefix stands for kDefaultTaglinePrefix.
std::string TaglineName(std::string_view prefix, const IntegrityResult& result, std::uint64_t totalSize,
                        const Mp3Info* mp3, TaglinePieces pieces = {});

// Writes the directory's tagline and maintains the markers in dir.parent, raising the change
// reporter's codes. noCheck true (the check did not run) maintains only the list-presence
// markers. Returns 0.
int WriteTagline(ListedDir& dir, std::string_view prefix, bool noCheck, bool withSize, bool withYear,
                 bool withGenre, bool withRate, Reporter& reporter);

}  // namespace kestrow
