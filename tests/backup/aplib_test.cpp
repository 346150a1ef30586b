// Tests of the packed format: round trips through the packer, hand-built streams for every item
// kind and length adjustment, hostile streams and headers, and the safe block.
#include "backup/aplib.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "content/crc32.h"
#include "tests/backup/aplibstreams.h"

namespace kestrow::test {
namespace {

using namespace kestrow::aplib;

// A plain reading of the format, with every access checked by the container: an independent
// depacker for the packer's output.
Bytes ReferenceUnpack(const Bytes& in) {
    std::size_t pos = 0;
    unsigned tag = 0;
    int bits = 0;
    auto byte = [&]() -> unsigned { return in.at(pos++); };
    auto bit = [&]() -> unsigned {
        if (bits == 0) {
            tag = byte();
            bits = 8;
        }
        --bits;
        return (tag >> bits) & 1u;
    };
    auto gamma = [&]() {
        std::size_t v = 1;
        do v = v * 2 + bit();
        while (bit());
        return v;
    };
    Bytes out{static_cast<std::uint8_t>(byte())};
    std::size_t r0 = 0;
    bool afterMatch = false;
    for (;;) {
        if (!bit()) {
            out.push_back(static_cast<std::uint8_t>(byte()));
            afterMatch = false;
        } else if (!bit()) {
            std::size_t g = gamma();
            std::size_t offset = r0;
            std::size_t length = 0;
            if (!afterMatch && g == 2) {
                length = gamma();
            } else {
                offset = (g - (afterMatch ? 2 : 3)) * 256 + byte();
                length = gamma();
                if (offset >= 32000)
                    length += 2;
                else if (offset >= 1280)
                    length += 1;
                else if (offset < 128)
                    length += 2;
            }
            EXPECT_TRUE(offset >= 1 && offset <= out.size());
            CopyBack(out, offset, length);
            r0 = offset;
            afterMatch = true;
        } else if (!bit()) {
            unsigned b = byte();
            if (b >> 1 == 0) break;
            CopyBack(out, b >> 1, 2 + (b & 1));
            r0 = b >> 1;
            afterMatch = true;
        } else {
            unsigned d = 0;
            for (int i = 0; i < 4; ++i) d = d * 2 + bit();
            if (d == 0)
                out.push_back(0);
            else
                CopyBack(out, d, 1);
            afterMatch = false;
        }
    }
    EXPECT_EQ(pos, in.size()) << "bytes after the end marker";
    return out;
}

Bytes Pack(const Bytes& in) {
    Bytes work(workMemorySize());
    Bytes out(maxPackedSize(in.size()));
    std::size_t n = pack(in.data(), out.data(), in.size(), work.data());
    out.resize(n);
    return out;
}

Bytes PackSafe(const Bytes& in) {
    Bytes work(workMemorySize());
    Bytes out(maxPackedSize(in.size()) + kSafeHeaderSize);
    out.resize(packSafe(in.data(), in.size(), out.data(), work.data()));
    return out;
}

// Packs, checks the promised bound, and unpacks with both depackers and through the safe block.
void ExpectRoundTrip(const Bytes& in, const std::string& what) {
    SCOPED_TRACE(what);
    Bytes packed = Pack(in);
    ASSERT_NE(packed.size(), 0u);
    EXPECT_LE(packed.size(), maxPackedSize(in.size()));
    EXPECT_EQ(ReferenceUnpack(packed), in);
    Bytes out(in.size());
    EXPECT_EQ(unpack(packed.data(), packed.size(), out.data(), out.size()), in.size());
    EXPECT_EQ(out, in);
    // One byte short of room must fail, not overrun.
    Bytes tight(in.size() - 1);
    EXPECT_EQ(unpack(packed.data(), packed.size(), tight.data(), tight.size()), 0u);

    Bytes block = PackSafe(in);
    ASSERT_EQ(block.size(), kSafeHeaderSize + packed.size());
    ASSERT_EQ(originalSizeSafe(block.data(), block.size()), in.size());
    Bytes plain(in.size());
    EXPECT_EQ(unpackSafe(block.data(), block.size(), plain.data(), plain.size()), in.size());
    EXPECT_EQ(plain, in);
}

// Safe-block header fields are little-endian 32-bit words.
void Put(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t Get(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

Bytes ReadAll(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::filesystem::path CorpusDir() {
    const char* env = std::getenv("KESTROW_BENCH_DATA");
    return env ? std::filesystem::path(env) : std::filesystem::path(KESTROW_APLIB_CORPUS);
}

// ---- round trips

TEST(AplibRoundTrip, EveryCorpusInput) {
    std::error_code ec;
    if (!std::filesystem::is_directory(CorpusDir(), ec)) GTEST_SKIP() << "no corpus at " << CorpusDir();
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
        if (entry.path().extension() != ".bin") continue;
        Bytes in = ReadAll(entry.path());
        if (in.size() < 2) continue;  // the 1-byte input is refused; see Pack.RefusesBadArguments
        ExpectRoundTrip(in, entry.path().filename().string());
        ++count;
    }
    EXPECT_GT(count, 0);
}

Bytes Random(std::mt19937& rng, std::size_t n, unsigned alphabet) {
    Bytes b(n);
    std::uniform_int_distribution<unsigned> d(0, alphabet - 1);
    for (auto& x : b) x = static_cast<std::uint8_t>(d(rng));
    return b;
}

// Phrases from a small vocabulary repeated at varied distances, like names in a record text.
Bytes Phrases(std::mt19937& rng, std::size_t n) {
    const char* words[] = {"<F:", ".mp3;", "01-artist_-_", "title_", "(remix)", "-grp", ";", ">", "2008"};
    Bytes b;
    std::uniform_int_distribution<std::size_t> d(0, std::size(words) - 1);
    while (b.size() < n) {
        const char* w = words[d(rng)];
        b.insert(b.end(), w, w + std::strlen(w));
    }
    b.resize(n);
    return b;
}

// A random block repeated at a chosen distance, with a few changed bytes, to reach each offset
// class and the edge of the window.
Bytes FarRepeat(std::mt19937& rng, std::size_t distance, std::size_t copies) {
    Bytes base = Random(rng, distance, 256);
    Bytes b;
    for (std::size_t i = 0; i < copies; ++i) {
        b.insert(b.end(), base.begin(), base.end());
        base[rng() % base.size()] ^= 0x55;
    }
    return b;
}

TEST(AplibRoundTrip, SeededInputs) {
    std::mt19937 rng(20240607);
    struct Case {
        std::string name;
        Bytes data;
    };
    std::vector<Case> cases;
    for (std::size_t n : {2, 3, 4, 17, 255, 256, 4096, 70000}) {
        cases.push_back({"random256_" + std::to_string(n), Random(rng, n, 256)});
        cases.push_back({"random4_" + std::to_string(n), Random(rng, n, 4)});
        cases.push_back({"phrases_" + std::to_string(n), Phrases(rng, n)});
    }
    for (std::size_t d : {1, 2, 15, 16, 127, 128, 1279, 1280, 31999, 32000, 91904, 91905, 100000})
        cases.push_back({"repeat_at_" + std::to_string(d), FarRepeat(rng, d, 3)});
    cases.push_back({"zeros", Bytes(5000, 0)});
    Bytes alternating;
    Bytes ramp;
    for (int i = 0; i < 3000; ++i) {
        alternating.push_back(i % 2 ? 0xAA : 0x55);
        ramp.push_back(static_cast<std::uint8_t>(i));
    }
    cases.push_back({"two_bytes_alternating", alternating});
    cases.push_back({"ramp", ramp});
    for (const auto& c : cases) ExpectRoundTrip(c.data, c.name);
}

// ---- packer goals and arguments

TEST(Pack, SmallestAndMostRepetitiveInputs) {
    EXPECT_EQ(Pack({'a', 'b'}).size(), 4u);
    EXPECT_LE(Pack(Bytes(70000, 'x')).size(), 16u);
    EXPECT_LE(Pack(Bytes(1000, 0)).size(), 16u);
}

TEST(Pack, RefusesBadArguments) {
    Bytes in{'a', 'b', 'c'};
    Bytes work(workMemorySize());
    Bytes out(maxPackedSize(in.size()) + kSafeHeaderSize);
    EXPECT_EQ(pack(in.data(), out.data(), 1, work.data()), 0u);
    EXPECT_EQ(pack(in.data(), out.data(), 0, work.data()), 0u);
    EXPECT_EQ(pack(nullptr, out.data(), 3, work.data()), 0u);
    EXPECT_EQ(pack(in.data(), nullptr, 3, work.data()), 0u);
    EXPECT_EQ(pack(in.data(), out.data(), 3, nullptr), 0u);
    EXPECT_EQ(packSafe(in.data(), 0, out.data(), work.data()), 0u);
    EXPECT_EQ(packSafe(nullptr, 3, out.data(), work.data()), 0u);
    EXPECT_EQ(packSafe(in.data(), 3, nullptr, work.data()), 0u);
    // The one-byte input cannot be packed, but its stream unpacks.
    EXPECT_EQ(packSafe(in.data(), 1, out.data(), work.data()), 0u);
}

TEST(Pack, ProgressIsReportedAndCanStop) {
    std::mt19937 rng(7);
    Bytes in = Phrases(rng, 20000);
    Bytes work(workMemorySize());
    Bytes out(maxPackedSize(in.size()));
    int calls = 0;
    std::size_t lastRead = 0;
    std::size_t n = pack(in.data(), out.data(), in.size(), work.data(), [&](std::size_t read, std::size_t) {
        EXPECT_GT(read, lastRead);
        lastRead = read;
        ++calls;
        return true;
    });
    EXPECT_GT(n, 0u);
    EXPECT_GT(calls, 0);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n)), Pack(in));
    EXPECT_EQ(
        pack(in.data(), out.data(), in.size(), work.data(), [](std::size_t, std::size_t) { return false; }),
        0u);
}

// The packer keeps no state between calls: reused unaligned work memory and two threads at once
// give the same output.
TEST(Pack, SameOutputWithDirtyUnalignedWorkMemoryAndInTwoThreads) {
    std::mt19937 rng(3);
    const Bytes a = Phrases(rng, 60000);
    const Bytes b = FarRepeat(rng, 40000, 2);
    const Bytes expectA = Pack(a);
    const Bytes expectB = Pack(b);
    Bytes work(workMemorySize() + 1);
    Bytes out(maxPackedSize(a.size()));
    for (int round = 0; round < 2; ++round) {
        std::fill(work.begin(), work.end(), static_cast<std::uint8_t>(0xA5 + round));
        out.resize(pack(a.data(), out.data(), a.size(), work.data() + 1));
        EXPECT_EQ(out, expectA);
        out.resize(maxPackedSize(a.size()));
    }
    Bytes gotA;
    Bytes gotB;
    std::thread ta([&] {
        for (int i = 0; i < 3; ++i) gotA = Pack(a);
    });
    std::thread tb([&] {
        for (int i = 0; i < 3; ++i) gotB = Pack(b);
    });
    ta.join();
    tb.join();
    EXPECT_EQ(gotA, expectA);
    EXPECT_EQ(gotB, expectB);
}

// ---- hand-built streams

TEST(Unpack, HandBuiltStreams) {
    for (const auto& h : ValidHandStreams()) {
        SCOPED_TRACE(h.name);
        // A byte after the end marker is left unread.
        Bytes in = h.stream;
        in.push_back(0xFF);
        Bytes out(h.expected.size());
        UnpackResult r = unpackRaw(in.data(), in.size(), out.data(), out.size());
        EXPECT_EQ(r.status, UnpackStatus::Ok);
        EXPECT_EQ(r.written, h.expected.size());
        EXPECT_EQ(r.consumed, h.stream.size());
        EXPECT_EQ(out, h.expected);
        // Measuring writes nothing and finds the same size.
        const UnpackResult m = measureRaw(in.data(), in.size(), h.expected.size());
        EXPECT_EQ(m.status, UnpackStatus::Ok);
        EXPECT_EQ(m.written, h.expected.size());
        // The same stream inside a safe block.
        Bytes block = B("AP32");
        block.resize(kSafeHeaderSize);
        Put(block, 4, 24);
        Put(block, 8, static_cast<std::uint32_t>(h.stream.size()));
        Put(block, 12, Crc32(0, h.stream.data(), h.stream.size()));
        Put(block, 16, static_cast<std::uint32_t>(h.expected.size()));
        Put(block, 20, Crc32(0, h.expected.data(), h.expected.size()));
        block.insert(block.end(), h.stream.begin(), h.stream.end());
        Bytes plain(h.expected.size());
        EXPECT_EQ(unpackSafe(block.data(), block.size(), plain.data(), plain.size()), h.expected.size());
        EXPECT_EQ(plain, h.expected);
    }
}

TEST(Unpack, HostileStreamsFailCleanly) {
    struct Case {
        std::string name;
        Bytes stream;
        std::size_t capacity;
        UnpackStatus expected;
    };
    const std::vector<Case> cases = {
        {"empty", {}, 16, UnpackStatus::InputEnded},
        {"no_end_marker", StreamBuilder('A').literal('B').bytes(), 16, UnpackStatus::InputEnded},
        {"literal_byte_missing", StreamBuilder('A').bit(0).bytes(), 16, UnpackStatus::InputEnded},
        {"offset_zero", StreamBuilder('A').blockMatch(0, 2, 3).end().bytes(), 16, UnpackStatus::BadReference},
        {"offset_beyond_output", StreamBuilder('A').literal('B').shortMatch(3, 2).end().bytes(), 16,
         UnpackStatus::BadReference},
        {"far_offset_beyond_output", StreamBuilder('A').blockMatch(40000, 2, 3).end().bytes(), 1 << 20,
         UnpackStatus::BadReference},
        {"huge_high_byte",
         StreamBuilder('A').bit(1).bit(0).gamma(0xFFFFFFFFu).byte(0xFF).gamma(2).end().bytes(), 1 << 20,
         UnpackStatus::BadReference},
        {"last_offset_unset", StreamBuilder('A').literal('B').lastOffsetMatch(2).end().bytes(), 16,
         UnpackStatus::BadReference},
        {"single_beyond_output", StreamBuilder('A').single(2).end().bytes(), 16, UnpackStatus::BadReference},
        {"gamma_33_bits", StreamBuilder('A').bit(1).bit(0).gamma(std::uint64_t{1} << 32).bytes(), 16,
         UnpackStatus::GammaTooLong},
        {"length_gamma_33_bits", StreamBuilder('A').blockMatch(1, std::uint64_t{1} << 32, 3).end().bytes(),
         16, UnpackStatus::GammaTooLong},
        {"match_longer_than_room", StreamBuilder('A').blockMatch(1, 0xFFFFFFFFu, 3).end().bytes(), 1 << 16,
         UnpackStatus::OutputFull},
        {"literal_beyond_room", StreamBuilder('A').literal('B').literal('C').end().bytes(), 2,
         UnpackStatus::OutputFull},
        {"zero_byte_beyond_room", StreamBuilder('A').single(0).end().bytes(), 1, UnpackStatus::OutputFull},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The stream is copied to a buffer of its exact size so that an overread is caught.
        std::vector<std::uint8_t> in(c.stream);
        std::vector<std::uint8_t> out(c.capacity);
        UnpackResult r = unpackRaw(in.data(), in.size(), out.data(), out.size());
        EXPECT_EQ(r.status, c.expected);
        EXPECT_LE(r.written, c.capacity);
        EXPECT_EQ(unpack(in.data(), in.size(), out.data(), out.size()), 0u);
        EXPECT_EQ(measureRaw(in.data(), in.size(), c.capacity).status, c.expected);
    }
}

// A bare stream of a few bytes that claims gigabytes is refused by the tool before it allocates:
// with its address space capped far below 1 GiB it still fails cleanly.
TEST(Unpack, ToolRefusesAnAbsurdBareStreamWithoutAllocatingForIt) {
    const char* bin = std::getenv("KESTROW_BIN");
    if (!bin) GTEST_SKIP() << "KESTROW_BIN not set";
    const auto dir = std::filesystem::temp_directory_path() / ("aplib_tool_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const Bytes stream = StreamBuilder('A').blockMatch(1, 0xFFFFFFF0u, 3).end().bytes();
    {
        std::ofstream out(dir / "in.bin", std::ios::binary);
        out.write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
    }
#ifdef KESTROW_SANITIZED
    // The address sanitizer reserves terabytes of address space up front; its own allocation
    // limit stands in for the cap.
    const std::string limit = "ASAN_OPTIONS=max_allocation_size_mb=400 ";
#else
    const std::string limit = "ulimit -v 400000; ";
#endif
    const std::string cmd = limit + "'" + std::string(bin) + "/kestrow-aplib' unpack --raw '" +
                            (dir / "in.bin").string() + "' '" + (dir / "out.bin").string() + "' 2>'" +
                            (dir / "err.txt").string() + "'";
    const int raw = std::system(cmd.c_str());
    std::ifstream errFile(dir / "err.txt");
    const std::string err((std::istreambuf_iterator<char>(errFile)), std::istreambuf_iterator<char>());
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(WIFEXITED(raw)) << err;
    EXPECT_EQ(WEXITSTATUS(raw), 1) << err;
    EXPECT_NE(err.find("the output exceeds the limit"), std::string::npos) << err;
}

TEST(Unpack, EveryTruncationOfAStreamFails) {
    std::mt19937 rng(5);
    Bytes in = Phrases(rng, 600);
    Bytes packed = Pack(in);
    for (std::size_t cut = 0; cut < packed.size(); ++cut) {
        Bytes part(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(cut));
        Bytes out(in.size());
        EXPECT_EQ(unpack(part.data(), part.size(), out.data(), out.size()), 0u) << "cut at " << cut;
    }
}

// ---- safe block

class SafeBlock : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 rng(9);
        m_plain = Phrases(rng, 900);
        m_block = PackSafe(m_plain);
        ASSERT_GT(m_block.size(), kSafeHeaderSize);
    }
    std::size_t Unpack(const Bytes& block) {
        Bytes out(m_plain.size());
        return unpackSafe(block.data(), block.size(), out.data(), out.size());
    }
    Bytes m_plain;
    Bytes m_block;
};

TEST_F(SafeBlock, HeaderAsWritten) {
    EXPECT_EQ(Bytes(m_block.begin(), m_block.begin() + 4), (Bytes{'A', 'P', '3', '2'}));
    EXPECT_EQ(Get(m_block, 4), 24u);
    EXPECT_EQ(Get(m_block, 8), m_block.size() - 24);
    EXPECT_EQ(Get(m_block, 12), Crc32(0, m_block.data() + 24, m_block.size() - 24));
    EXPECT_EQ(Get(m_block, 16), m_plain.size());
    EXPECT_EQ(Get(m_block, 20), Crc32(0, m_plain.data(), m_plain.size()));
    EXPECT_EQ(Unpack(m_block), m_plain.size());
}

TEST_F(SafeBlock, LargerHeaderSizeIsFollowed) {
    Bytes b(m_block.begin(), m_block.begin() + 24);
    b.insert(b.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    b.insert(b.end(), m_block.begin() + 24, m_block.end());
    Put(b, 4, 28);
    EXPECT_EQ(originalSizeSafe(b.data(), b.size()), m_plain.size());
    EXPECT_EQ(Unpack(b), m_plain.size());
}

TEST_F(SafeBlock, DamagedBlocksAreRefused) {
    struct Case {
        std::string name;
        std::function<void(Bytes&)> damage;
        bool sizeStillReadable;  // only the unpacked data's checks can catch it
    };
    const std::vector<Case> cases = {
        {"tag", [](Bytes& b) { b[3] = '3'; }, false},
        {"header_size_23", [](Bytes& b) { Put(b, 4, 23); }, false},
        {"header_size_beyond_block", [](Bytes& b) { Put(b, 4, static_cast<std::uint32_t>(b.size() + 1)); },
         false},
        {"packed_crc", [](Bytes& b) { b[12] ^= 1; }, false},
        {"packed_byte", [](Bytes& b) { b[30] ^= 0x10; }, false},
        {"packed_size_beyond_block", [](Bytes& b) { Put(b, 8, Get(b, 8) + 1); }, false},
        {"packed_size_huge", [](Bytes& b) { Put(b, 8, 0xFFFFFFF0u); }, false},
        {"packed_size_zero", [](Bytes& b) { Put(b, 8, 0); }, false},
        {"short_block", [](Bytes& b) { b.pop_back(); }, false},
        {"only_header", [](Bytes& b) { b.resize(24); }, false},
        {"size_23", [](Bytes& b) { b.resize(23); }, false},
        {"original_size_above_cap", [](Bytes& b) { Put(b, 16, kMaxOriginalSize + 1); }, false},
        {"original_size_zero", [](Bytes& b) { Put(b, 16, 0); }, false},
        {"original_crc", [](Bytes& b) { b[20] ^= 0x80; }, true},
        {"original_size_smaller", [](Bytes& b) { Put(b, 16, Get(b, 16) - 1); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b = m_block;
        c.damage(b);
        std::size_t size = originalSizeSafe(b.data(), b.size());
        if (c.sizeStillReadable)
            EXPECT_NE(size, 0u);
        else
            EXPECT_EQ(size, 0u);
        EXPECT_EQ(Unpack(b), 0u);
    }
}

TEST_F(SafeBlock, UnpacksNoMoreThanThePromiseOrTheRoom) {
    // A header that promises fewer bytes than the stream holds stops the unpacker there.
    Bytes b = m_block;
    Put(b, 16, static_cast<std::uint32_t>(m_plain.size() / 2));
    Bytes out(m_plain.size() / 2);
    EXPECT_EQ(unpackSafe(b.data(), b.size(), out.data(), out.size()), 0u);
    out.resize(m_plain.size() - 1);
    EXPECT_EQ(unpackSafe(m_block.data(), m_block.size(), out.data(), out.size()), 0u);
    EXPECT_EQ(unpackSafe(m_block.data(), m_block.size(), nullptr, m_plain.size()), 0u);
    EXPECT_EQ(originalSizeSafe(nullptr, 100), 0u);
}

}  // namespace
}  // namespace kestrow::test
