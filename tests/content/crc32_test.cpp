// Every CRC-32 kernel against a bit-at-a-time reference, over every length and alignment.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "content/crc32.h"

namespace kestrow {

// Test names and messages show the kernel's name rather than its bytes.
static void PrintTo(Crc32Kernel kernel, std::ostream* os) {
    *os << Crc32KernelName(kernel);
}

namespace {

// The textbook definition, one bit at a time: slow, but sharing nothing with the kernels.
std::uint32_t ReferenceCrc(const unsigned char* p, std::size_t len) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < len; ++i) {
        c ^= p[i];
        for (int b = 0; b < 8; ++b) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

std::vector<unsigned char> RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<unsigned char> v(n);
    for (auto& b : v) b = static_cast<unsigned char>(rng());
    return v;
}

class Crc32KernelTest : public ::testing::TestWithParam<Crc32Kernel> {
protected:
    void SetUp() override {
        if (!Crc32KernelAvailable(GetParam()))
            GTEST_SKIP() << Crc32KernelName(GetParam()) << " not on this CPU";
    }
    std::uint32_t Run(std::uint32_t crc, const void* data, std::size_t len) {
        return Crc32With(GetParam(), crc, data, len);
    }
};

TEST_P(Crc32KernelTest, PublishedValuesAndEmptyInput) {
    const struct {
        std::string text;
        std::uint32_t crc;
    } cases[] = {
        {"123456789", 0xCBF43926u},
        {"a", 0xE8B7BE43u},
        {"abc", 0x352441C2u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
    };
    for (const auto& c : cases) EXPECT_EQ(Run(0, c.text.data(), c.text.size()), c.crc) << c.text;
    const unsigned char byte = 0x55;
    EXPECT_EQ(Run(0, &byte, 0), 0u);
    EXPECT_EQ(Run(0, nullptr, 0), 0u);
    EXPECT_EQ(Run(0, nullptr, 100), 0u);
}

TEST_P(Crc32KernelTest, EveryLengthAndAlignmentMatchesReference) {
    constexpr std::size_t kMaxLen = 2200;  // past the 1024-byte switch to the widest kernel
    constexpr std::size_t kAlignments = 64;
    const auto content = RandomBytes(kMaxLen, 7);
    std::vector<unsigned char> buffer(kMaxLen + kAlignments);
    for (std::size_t len = 0; len <= kMaxLen; ++len) {
        const std::uint32_t expected = ReferenceCrc(content.data(), len);
        for (std::size_t offset = 0; offset < kAlignments; ++offset) {
            std::copy(content.begin(), content.begin() + static_cast<long>(len),
                      buffer.begin() + static_cast<long>(offset));
            ASSERT_EQ(Run(0, buffer.data() + offset, len), expected) << "len " << len << " offset " << offset;
        }
    }
}

TEST_P(Crc32KernelTest, LargeAndUniformBuffersMatchReference) {
    for (std::size_t len : {std::size_t{65536}, std::size_t{65536 + 13}, std::size_t{(1 << 20) + 255}}) {
        const auto data = RandomBytes(len + 3, static_cast<unsigned>(len));
        EXPECT_EQ(Run(0, data.data() + 3, len), ReferenceCrc(data.data() + 3, len)) << len;
    }
    for (unsigned char fill : {0x00, 0xFF}) {
        std::vector<unsigned char> data(4099, fill);
        EXPECT_EQ(Run(0, data.data(), data.size()), ReferenceCrc(data.data(), data.size())) << int(fill);
    }
}

TEST_P(Crc32KernelTest, ContinuingOverPiecesEqualsOneCall) {
    const auto data = RandomBytes(5000, 11);
    const std::uint32_t whole = ReferenceCrc(data.data(), data.size());
    for (std::size_t split = 0; split <= data.size(); split += 37) {
        std::uint32_t c = Run(0, data.data(), split);
        c = Run(c, data.data() + split, data.size() - split);
        ASSERT_EQ(c, whole) << "split at " << split;
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, Crc32KernelTest,
                         ::testing::Values(Crc32Kernel::SliceBy8, Crc32Kernel::Pclmul, Crc32Kernel::Vpclmul),
                         [](const auto& info) {
                             std::string name = Crc32KernelName(info.param);
                             for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(Crc32Dispatch, PicksAnAvailableKernelAndAgreesWithIt) {
    const Crc32Kernel active = Crc32ActiveKernel();
    EXPECT_TRUE(Crc32KernelAvailable(active));
    const auto data = RandomBytes(3000, 3);
    EXPECT_EQ(Crc32(0, data.data(), data.size()), ReferenceCrc(data.data(), data.size()));
}

}  // namespace
}  // namespace kestrow
