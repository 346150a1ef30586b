// The short byte-size format of file browsers: "N bytes", else three significant digits.
#pragma once

#include <cstdint>
#include <string>

namespace kestrow::platform {

// "812 bytes", "700 KB", "85.3 MB", "1.23 GB": three significant digits, truncated, at most
// nine characters, independent of the locale.
std::string FormatByteSize(std::uint64_t bytes);

}  // namespace kestrow::platform
