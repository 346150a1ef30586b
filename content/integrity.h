// CRC-32 of files on disk and the integrity check of a directory against its SFV lists and
// playlists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "content/reporter.h"
#include "platform/fs.h"
#include "platform/question.h"

namespace kestrow {

class DirContents;
class ListedDir;
class Reporter;

// What the check found, kept in the ListedDir for the tagline step.
struct IntegrityResult {
    std::uint32_t listedCount = 0;   // SFV entries examined, every entry of every list once
    std::uint32_t okCount = 0;       // CRC matched, or accepted as trusted
    std::uint32_t corruptCount = 0;  // CRC did not match
    std::uint32_t missingCount = 0;  // not on disk, or could not be opened and was given up
    bool listingCurrent = false;     // the scan and the lists still describe the disk
    bool mismatch = false;           // SFV and playlists miss a different number of files
};

// Flags of CheckIntegrity, one bit each.
namespace IntegrityFlag {
inline constexpr unsigned PrepareCRCCheck = 1u << 0;
inline constexpr unsigned PrepareTaglineTrustExisting = 1u << 1;
inline constexpr unsigned PrepareGenerateM3U = 1u << 3;
}  // namespace IntegrityFlag

// Files are read through a buffer of at most this size, never whole.
inline constexpr std::size_t kCrcBufferSize = std::size_t{1} << 20;

// The CRC-32 of a regular file, read to its real end through the fixed buffer.
platform::Status FileCrc32(const std::string& path, std::uint32_t& crc);
// Uppercase hexadecimal without leading zeros ("%X").
std::string CrcText(std::uint32_t crc);
// CRC texts compare as numbers: leading zeros are stripped on both sides, case is ignored, and
// an empty text equals "0".
bool CrcTextsEqual(std::string_view a, std::string_view b);

// The CRC text of a file of the directory (the scan's spelling of the name when it holds the
// file, else the name as given); nullopt when it cannot be read or has a folder part.
std::optional<std::string> FileCrcText(const DirContents& dir, std::string_view name);
// -1 when the file cannot be read, 1 when its CRC matches the listed text, 0 when it does not.
// The computed CRC text goes to `computed` when given.
int VerifyFile(const DirContents& dir, std::string_view name, std::string_view listedCrc,
               std::string* computed = nullptr);

// Results of CheckIntegrity, the system's integers: the check ran, there is nothing to check (no
// list and no backup file), or the user chose to stop or the directory already holds backup data.
enum CheckResult : int { kChecked = 1, kNothingToCheck = 0, kCheckStopped = -1 };

// Checks a directory against its lists, raising every finding through the reporter, and fills
// its IntegrityResult and problem lines (a CheckResult). reload true loads the lists first. The
// questioner (may be null) shows the line reader's overflow warning.
// A CRC already known for a file (by its path), so that it is not read again; nullopt when not.
using KnownCrc = std::function<std::optional<std::uint32_t>(const std::string& path)>;

int CheckIntegrity(ListedDir& dir, unsigned flags, bool reload, Reporter& reporter,
                   platform::Questioner* questioner = nullptr, const KnownCrc* known = nullptr);

}  // namespace kestrow
