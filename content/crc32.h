// CRC-32 (the polynomial of zlib, SFV files and the packed-data header).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrow {

// Continues a CRC-32 over more bytes: Crc32(Crc32(0, a), b) == Crc32(0, a + b), as zlib's crc32().
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t len);

}  // namespace kestrow
