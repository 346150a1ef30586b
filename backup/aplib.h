// Packing and unpacking in the aPLib stream format, bare or inside the 24-byte safe block that
// carries sizes and CRC-32 values. Backup data is packed with it before it is escaped and stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/fs.h"

namespace kestrow::aplib {

// Size of the safe header in front of the stream.
inline constexpr std::size_t kSafeHeaderSize = 24;
// Largest original size the safe unpacker accepts: backup data is text read from a release, and a
// forged header must not make a reader allocate without bound.
inline constexpr std::size_t kMaxOriginalSize = platform::kMaxTextFileSize;

// Bytes of work memory that pack() and packSafe() need; the packer allocates nothing itself.
std::size_t workMemorySize();

// The longest stream that packing `length` bytes can produce (the safe block needs 24 more).
std::size_t maxPackedSize(std::size_t length);

// Called now and then with the bytes read and written so far; returning false stops the packing.
using PackProgress = std::function<bool(std::size_t bytesRead, std::size_t bytesWritten)>;

// Packs `length` bytes (at least 2) into a bare stream. `destination` must hold
// maxPackedSize(length) bytes and `workMemory` workMemorySize() bytes. Returns the stream length,
// or 0 on bad arguments or when `progress` stops it. Safe to call from several threads at once,
// each with its own work memory.
std::size_t pack(const void* source, void* destination, std::size_t length, void* workMemory,
                 const PackProgress& progress = {});

// Packs into a safe block: header, then the stream. `destination` must hold
// maxPackedSize(length) + kSafeHeaderSize bytes. Returns the block length, or 0 on failure.
std::size_t packSafe(const void* source, std::size_t length, void* destination, void* workMemory);

// The original size stored in a safe block, or 0 when the tag, header size, packed size or packed
// CRC does not fit the block, or the size is above kMaxOriginalSize.
std::size_t originalSizeSafe(const void* block, std::size_t blockLength);

// Unpacks a safe block into `destination`, which holds `destinationLength` bytes (at least the
// original size). Returns the original size, or 0 when the header, a CRC, or the stream is wrong.
std::size_t unpackSafe(const void* block, std::size_t blockLength, void* destination,
                       std::size_t destinationLength);

enum class UnpackStatus {
    Ok,
    InputEnded,    // the stream ran out before its end marker
    OutputFull,    // the data would not fit the destination
    BadReference,  // offset 0, beyond the bytes written, or the last offset reused unset
    GammaTooLong,  // a gamma number of more than 32 bits
};

struct UnpackResult {
    UnpackStatus status = UnpackStatus::Ok;
    std::size_t written = 0;   // bytes written to the destination (on failure, so far)
    std::size_t consumed = 0;  // stream bytes read, the end marker included
};

// Unpacks a bare stream up to its end marker. Never reads past `sourceLength` bytes or writes
// past `destinationCapacity` bytes.
UnpackResult unpackRaw(const void* source, std::size_t sourceLength, void* destination,
                       std::size_t destinationCapacity);

// What unpackRaw() would give, without writing anything: `written` is the unpacked size when the
// stream is sound. A stream that would unpack to more than `limit` bytes fails with OutputFull.
// Lets a caller allocate exactly what a bare stream needs, and nothing for a broken one.
UnpackResult measureRaw(const void* source, std::size_t sourceLength, std::size_t limit);

// unpackRaw() reduced to the number of bytes written, 0 on any failure.
std::size_t unpack(const void* source, std::size_t sourceLength, void* destination,
                   std::size_t destinationCapacity);

}  // namespace kestrow::aplib
