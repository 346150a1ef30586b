// libFuzzer target for the packed-data readers: the bare-stream unpacker, the safe block with its
// header checks, and a pack/unpack round trip of the same bytes.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "backup/aplib.h"
#include "content/crc32.h"
#include "tests/fuzz/fuzzcheck.h"

namespace {

void putLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrow::aplib;
    if (size == 0) return 0;
    // The first byte picks the output limit, so that both roomy and tight destinations are tried.
    const std::size_t capacity = std::size_t{1} << (data[0] % 17);
    const std::uint8_t* stream = data + 1;
    const std::size_t streamSize = size - 1;

    // An exact-size heap buffer lets the address sanitizer catch a write one byte too far.
    std::unique_ptr<std::uint8_t[]> outBuffer(new std::uint8_t[capacity]);
    std::uint8_t* const out = outBuffer.get();
    UnpackResult r = unpackRaw(stream, streamSize, out, capacity);
    check(r.written <= capacity && r.consumed <= streamSize);
    check(unpack(stream, streamSize, out, capacity) == (r.status == UnpackStatus::Ok ? r.written : 0));
    // Measuring takes the same path without writing: the same verdict, size and bytes read.
    const UnpackResult m = measureRaw(stream, streamSize, capacity);
    check(m.status == r.status && m.written == r.written && m.consumed == r.consumed);

    // The input taken as a whole safe block.
    if (std::size_t original = originalSizeSafe(data, size); original != 0) {
        check(original <= kMaxOriginalSize);
        std::vector<std::uint8_t> plain(original);
        std::size_t n = unpackSafe(data, size, plain.data(), plain.size());
        check(n == 0 || n == original);
    }

    // The stream wrapped in a header with a valid packed CRC, so the fuzzer reaches the unpacker
    // behind the checks; the original size and CRC are right when the stream itself is.
    std::vector<std::uint8_t> block(kSafeHeaderSize + streamSize);
    std::memcpy(block.data(), "AP32", 4);
    putLe32(block.data() + 4, kSafeHeaderSize);
    putLe32(block.data() + 8, static_cast<std::uint32_t>(streamSize));
    putLe32(block.data() + 12, kestrow::Crc32(0, stream, streamSize));
    const bool good = r.status == UnpackStatus::Ok;
    putLe32(block.data() + 16, static_cast<std::uint32_t>(good ? r.written : capacity));
    putLe32(block.data() + 20, good ? kestrow::Crc32(0, out, r.written) : 0);
    if (streamSize != 0) std::memcpy(block.data() + kSafeHeaderSize, stream, streamSize);
    if (std::size_t original = originalSizeSafe(block.data(), block.size()); original != 0) {
        std::vector<std::uint8_t> plain(original);
        std::size_t n = unpackSafe(block.data(), block.size(), plain.data(), plain.size());
        check(n == 0 || n == original);
        if (good && r.written != 0) check(n == r.written && std::memcmp(plain.data(), out, n) == 0);
    }

    // Whatever the bytes, packing them must round-trip within the promised size.
    if (size >= 2 && size <= 2048) {
        static std::vector<std::uint8_t> work(workMemorySize());
        std::vector<std::uint8_t> packed(maxPackedSize(size));
        std::size_t n = pack(data, packed.data(), size, work.data());
        check(n != 0 && n <= packed.size());
        std::vector<std::uint8_t> back(size);
        check(unpack(packed.data(), n, back.data(), back.size()) == size);
        check(std::memcmp(back.data(), data, size) == 0);
    }
    return 0;
}
