// Pairs the files of a directory that no list knows with the list entries that have no file, for
// a restore without backup data: first by CRC-32, then by the likeness of the names.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kestrow {

// Kinds of list, as bits.
namespace UnbackedList {
inline constexpr unsigned Sfv = 1u << 0;
inline constexpr unsigned M3u = 1u << 1;
}  // namespace UnbackedList

struct UnbackedFile {
    std::string name;
    // The kinds of list that already name the file: it takes only an entry of another kind.
    unsigned listedIn = 0;
    // The CRC text computed from disk; none when the file could not be read.
    std::optional<std::string> crc;
};

struct UnbackedEntry {
    std::string name;
    // The CRC text the SFV list gives, "0" for a playlist entry (no CRC).
    std::string crc = "0";
    unsigned from = UnbackedList::M3u;
    // Something already holds this name in the directory: the entry is never given to a file.
    bool nameTaken = false;
};

struct UnbackedPair {
    std::size_t file = 0;
    std::size_t entry = 0;
    bool byCrc = false;
};

struct UnbackedResult {
    // In the order they were made: the CRC matches, then the name matches.
    std::vector<UnbackedPair> matches;
    // Matches whose entry names something already on disk: nobody takes that entry.
    std::vector<UnbackedPair> skipped;
    // The last file left for the name matching scored best with two or more entries alike.
    bool ambiguous = false;
};

// Each file, in order, takes the first entry with its CRC (an entry without a CRC matches none);
// each file left, in order, then takes the entry whose name scores highest against its own, the
// earlier entry winning a tie, and none when every score is 0. A tie for the last file left makes
// the result ambiguous. An entry is taken at most once, and never by a file that a list of the
// entry's kind already names.
UnbackedResult MatchUnbacked(const std::vector<UnbackedFile>& files,
                             const std::vector<UnbackedEntry>& entries);

}  // namespace kestrow
