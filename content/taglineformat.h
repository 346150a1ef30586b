// The shape of the files a check leaves behind, in one place: the tagline writer builds its names
// and lines from these pieces, and the reader of an earlier run's tagline recognises them.
#pragma once

#include <array>
#include <string_view>

namespace kestrow {

// A tagline name: prefix, kTaglineOpen, a status, counts and sizes, kTaglineClose, the prefix again.
inline constexpr std::string_view kTaglineOpen = "-[";
inline constexpr std::string_view kTaglineClose = "]-";
inline constexpr std::string_view kTaglineOk = "OK-";
inline constexpr std::string_view kTaglineCorrupt = "#CORRUPT#-";
inline constexpr std::string_view kTaglineIncomplete = "#INCOMPLETE#-";

// The lines of a problem tagline, each followed by a listed name.
inline constexpr std::string_view kMissingLine = "Missing: ";
inline constexpr std::string_view kCorruptLine = "Corrupt: ";

// Suffixes of the markers a check leaves in the parent directory, after the directory's name.
inline constexpr std::string_view kCorruptSuffix = "#corrupt";
inline constexpr std::string_view kIncompleteSuffix = "#incomplete";
inline constexpr std::string_view kNoSfvSuffix = "#NoSFV";
inline constexpr std::string_view kNoNfoSuffix = "#NoNFO";
inline constexpr std::string_view kNoM3uSuffix = "#NoM3U";
inline constexpr std::string_view kMismatchSuffix = "#SFVvsM3U-mismatch";
inline constexpr std::array<std::string_view, 6> kMarkerSuffixes = {
    kCorruptSuffix, kIncompleteSuffix, kNoSfvSuffix, kNoNfoSuffix, kNoM3uSuffix, kMismatchSuffix};

}  // namespace kestrow
