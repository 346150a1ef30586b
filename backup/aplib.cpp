// The safe block around a packed stream: a 24-byte header with the sizes and CRC-32 values of
// both sides, checked in full before anything is unpacked.
#include "backup/aplib.h"

#include <cstring>

#include "content/crc32.h"

namespace kestrow::aplib {

namespace {

constexpr std::uint8_t kTag[4] = {'A', 'P', '3', '2'};

std::uint32_t readLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void writeLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

struct Header {
    std::size_t headerSize = 0;
    std::size_t packedSize = 0;
    std::uint32_t packedCrc = 0;
    std::size_t originalSize = 0;
    std::uint32_t originalCrc = 0;
};

// Every field is checked against the block itself, so later reads stay inside it.
bool readHeader(const void* block, std::size_t blockLength, Header& h) {
    if (block == nullptr || blockLength < kSafeHeaderSize) return false;
    auto p = static_cast<const std::uint8_t*>(block);
    if (std::memcmp(p, kTag, sizeof kTag) != 0) return false;
    h.headerSize = readLe32(p + 4);
    h.packedSize = readLe32(p + 8);
    h.packedCrc = readLe32(p + 12);
    h.originalSize = readLe32(p + 16);
    h.originalCrc = readLe32(p + 20);
    if (h.headerSize < kSafeHeaderSize || h.headerSize > blockLength) return false;
    if (h.packedSize == 0 || h.packedSize > blockLength - h.headerSize) return false;
    if (h.originalSize == 0 || h.originalSize > kMaxOriginalSize) return false;
    return Crc32(0, p + h.headerSize, h.packedSize) == h.packedCrc;
}

}  // namespace

std::size_t workMemorySize() {
    return 0xA0000;
}

std::size_t maxPackedSize(std::size_t length) {
    return length + length / 8 + 64;
}

std::size_t packSafe(const void* source, std::size_t length, void* destination, void* workMemory) {
    if (source == nullptr || destination == nullptr || length == 0) return 0;
    auto out = static_cast<std::uint8_t*>(destination);
    std::memcpy(out, kTag, sizeof kTag);
    writeLe32(out + 4, kSafeHeaderSize);
    writeLe32(out + 16, static_cast<std::uint32_t>(length));
    writeLe32(out + 20, Crc32(0, source, length));
    std::size_t packed = pack(source, out + kSafeHeaderSize, length, workMemory);
    if (packed == 0) return 0;
    writeLe32(out + 8, static_cast<std::uint32_t>(packed));
    writeLe32(out + 12, Crc32(0, out + kSafeHeaderSize, packed));
    return kSafeHeaderSize + packed;
}

std::size_t originalSizeSafe(const void* block, std::size_t blockLength) {
    Header h;
    return readHeader(block, blockLength, h) ? h.originalSize : 0;
}

std::size_t unpackSafe(const void* block, std::size_t blockLength, void* destination,
                       std::size_t destinationLength) {
    Header h;
    if (destination == nullptr || !readHeader(block, blockLength, h)) return 0;
    if (destinationLength < h.originalSize) return 0;
    auto p = static_cast<const std::uint8_t*>(block);
    // The output limit is the original size, so a stream that says more stops with failure.
    std::size_t written = unpack(p + h.headerSize, h.packedSize, destination, h.originalSize);
    if (written != h.originalSize) return 0;
    if (Crc32(0, destination, written) != h.originalCrc) return 0;
    return written;
}

}  // namespace kestrow::aplib
