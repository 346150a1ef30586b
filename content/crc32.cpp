// CRC-32 kernels: a portable slice-by-8 table kernel and carry-less-multiply folding kernels
// (128-bit PCLMULQDQ and 512-bit VPCLMULQDQ), picked at run time from the CPU's features so that
// one binary runs on any x86-64.
#include "content/crc32.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define KESTROW_CRC32_X86 1
#endif

namespace kestrow {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;  // reflected 0x04C11DB7

using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Tables MakeTables() {
    Tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (kPolynomial ^ (c >> 1)) : (c >> 1);
        t[0][i] = c;
    }
    for (std::size_t k = 1; k < 8; ++k) {
        for (std::size_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
    return t;
}

constexpr Tables kTables = MakeTables();

// All raw kernels work on the inverted ("register") form of the CRC.
std::uint32_t Bytewise(std::uint32_t c, const unsigned char* p, std::size_t len) {
    while (len--) c = kTables[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    return c;
}

std::uint32_t SliceBy8Raw(std::uint32_t c, const unsigned char* p, std::size_t len) {
    if constexpr (std::endian::native != std::endian::little) {
        return Bytewise(c, p, len);
    } else {
        // The head up to an 8-byte boundary goes byte by byte so the wide loads are aligned.
        while (len > 0 && (reinterpret_cast<std::uintptr_t>(p) & 7) != 0) {
            c = kTables[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
            --len;
        }
        while (len >= 8) {
            std::uint64_t v;
            std::memcpy(&v, p, 8);
            v ^= c;
            c = kTables[7][v & 0xFF] ^ kTables[6][(v >> 8) & 0xFF] ^ kTables[5][(v >> 16) & 0xFF] ^
                kTables[4][(v >> 24) & 0xFF] ^ kTables[3][(v >> 32) & 0xFF] ^ kTables[2][(v >> 40) & 0xFF] ^
                kTables[1][(v >> 48) & 0xFF] ^ kTables[0][v >> 56];
            p += 8;
            len -= 8;
        }
        return Bytewise(c, p, len);
    }
}

std::uint32_t SliceBy8(std::uint32_t crc, const void* data, std::size_t len) {
    if (data == nullptr) return 0;  // as zlib: no data gives the initial value
    return ~SliceBy8Raw(~crc, static_cast<const unsigned char*>(data), len);
}

#if KESTROW_CRC32_X86

// Folding constants in the bit-reflected domain: (x^n mod P), reflected, shifted left by one.
// Folding a 128-bit lane forward by D bits multiplies its low half by K(D + 32) and its high
// half by K(D - 32).
constexpr std::uint64_t K(unsigned n) {
    std::uint64_t r = 1;  // x^0
    for (unsigned i = 0; i < n; ++i) {
        r <<= 1;
        if (r & (std::uint64_t{1} << 32)) r ^= 0x104C11DB7ull;
    }
    std::uint32_t reflected = 0;
    for (int b = 0; b < 32; ++b) {
        if (r & (std::uint64_t{1} << b)) reflected |= 1u << (31 - b);
    }
    return std::uint64_t{reflected} << 1;
}

static_assert(K(544) == 0x154442BD4ull && K(480) == 0x1C6E41596ull && K(64) == 0x163CD6124ull);

constexpr std::uint64_t kPolyReflected = 0x1DB710641ull;  // P', 33 bits
constexpr std::uint64_t kMuReflected = 0x1F7011641ull;    // floor(x^64 / P), reflected

#define KESTROW_TARGET_PCLMUL __attribute__((target("pclmul,sse4.1")))
#define KESTROW_TARGET_VPCLMUL __attribute__((target("pclmul,sse4.1,avx512f,avx512vl,avx512bw,vpclmulqdq")))

KESTROW_TARGET_PCLMUL inline __m128i Load128(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

KESTROW_TARGET_PCLMUL inline __m128i Fold128(__m128i x, __m128i k, __m128i data) {
    __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), data);
}

// Folds the remaining 16-byte blocks into x, then reduces the 128 bits to the 32-bit CRC.
KESTROW_TARGET_PCLMUL std::uint32_t FinishFold(__m128i x, const unsigned char* p, std::size_t len) {
    const __m128i k128 = _mm_set_epi64x(static_cast<long long>(K(96)), static_cast<long long>(K(160)));
    for (; len >= 16; p += 16, len -= 16) {
        x = Fold128(x, k128, Load128(p));
    }
    const __m128i mask32 = _mm_setr_epi32(~0, 0, ~0, 0);
    // 128 -> 64 bits.
    __m128i t = _mm_clmulepi64_si128(x, k128, 0x10);
    x = _mm_xor_si128(_mm_srli_si128(x, 8), t);
    // 64 -> 32 bits.
    const __m128i k64 = _mm_set_epi64x(0, static_cast<long long>(K(64)));
    t = _mm_srli_si128(x, 4);
    x = _mm_clmulepi64_si128(_mm_and_si128(x, mask32), k64, 0x00);
    x = _mm_xor_si128(x, t);
    // Barrett reduction.
    const __m128i poly =
        _mm_set_epi64x(static_cast<long long>(kMuReflected), static_cast<long long>(kPolyReflected));
    t = _mm_clmulepi64_si128(_mm_and_si128(x, mask32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), poly, 0x00);
    x = _mm_xor_si128(x, t);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x, 1));
}

// len >= 64 and a multiple of 16; c in register form.
KESTROW_TARGET_PCLMUL std::uint32_t FoldSse(std::uint32_t c, const unsigned char* p, std::size_t len) {
    __m128i x0 = _mm_xor_si128(Load128(p), _mm_cvtsi32_si128(static_cast<int>(c)));
    __m128i x1 = Load128(p + 16);
    __m128i x2 = Load128(p + 32);
    __m128i x3 = Load128(p + 48);
    p += 64;
    len -= 64;
    const __m128i k512 = _mm_set_epi64x(static_cast<long long>(K(480)), static_cast<long long>(K(544)));
    for (; len >= 64; p += 64, len -= 64) {
        x0 = Fold128(x0, k512, Load128(p));
        x1 = Fold128(x1, k512, Load128(p + 16));
        x2 = Fold128(x2, k512, Load128(p + 32));
        x3 = Fold128(x3, k512, Load128(p + 48));
    }
    const __m128i k128 = _mm_set_epi64x(static_cast<long long>(K(96)), static_cast<long long>(K(160)));
    x0 = Fold128(x0, k128, x1);
    x0 = Fold128(x0, k128, x2);
    x0 = Fold128(x0, k128, x3);
    return FinishFold(x0, p, len);
}

KESTROW_TARGET_VPCLMUL inline __m512i Load512(const unsigned char* p) {
    return _mm512_loadu_si512(p);
}

KESTROW_TARGET_VPCLMUL inline __m512i Fold512(__m512i x, __m512i k, __m512i data) {
    __m512i lo = _mm512_clmulepi64_epi128(x, k, 0x00);
    __m512i hi = _mm512_clmulepi64_epi128(x, k, 0x11);
    return _mm512_ternarylogic_epi64(lo, hi, data, 0x96);  // lo ^ hi ^ data
}

KESTROW_TARGET_VPCLMUL __m512i Broadcast(std::uint64_t lo, std::uint64_t hi) {
    const auto h = static_cast<long long>(hi);
    const auto l = static_cast<long long>(lo);
    return _mm512_set_epi64(h, l, h, l, h, l, h, l);
}

// len >= 256 and a multiple of 16; c in register form.
KESTROW_TARGET_VPCLMUL std::uint32_t FoldAvx512(std::uint32_t c, const unsigned char* p, std::size_t len) {
    __m512i z0 = _mm512_xor_si512(Load512(p), _mm512_maskz_set1_epi32(1, static_cast<int>(c)));
    __m512i z1 = Load512(p + 64);
    __m512i z2 = Load512(p + 128);
    __m512i z3 = Load512(p + 192);
    p += 256;
    len -= 256;
    const __m512i k2048 = Broadcast(K(2048 + 32), K(2048 - 32));
    for (; len >= 256; p += 256, len -= 256) {
        z0 = Fold512(z0, k2048, Load512(p));
        z1 = Fold512(z1, k2048, Load512(p + 64));
        z2 = Fold512(z2, k2048, Load512(p + 128));
        z3 = Fold512(z3, k2048, Load512(p + 192));
    }
    const __m512i k512 = Broadcast(K(512 + 32), K(512 - 32));
    z0 = Fold512(z0, k512, z1);
    z0 = Fold512(z0, k512, z2);
    z0 = Fold512(z0, k512, z3);
    for (; len >= 64; p += 64, len -= 64) z0 = Fold512(z0, k512, Load512(p));
    // The four lanes lie 384, 256, 128 and 0 bits before the end: fold the first three onto the last.
    const __m512i lanes = _mm512_set_epi64(
        0, 0, static_cast<long long>(K(96)), static_cast<long long>(K(160)), static_cast<long long>(K(224)),
        static_cast<long long>(K(288)), static_cast<long long>(K(352)), static_cast<long long>(K(416)));
    __m512i t = _mm512_xor_si512(_mm512_clmulepi64_epi128(z0, lanes, 0x00),
                                 _mm512_clmulepi64_epi128(z0, lanes, 0x11));
    __m128i x = _mm512_maskz_extracti32x4_epi32(0xF, z0, 3);
    x = _mm_xor_si128(x, _mm512_maskz_extracti32x4_epi32(0xF, t, 0));
    x = _mm_xor_si128(x, _mm512_maskz_extracti32x4_epi32(0xF, t, 1));
    x = _mm_xor_si128(x, _mm512_maskz_extracti32x4_epi32(0xF, t, 2));
    return FinishFold(x, p, len);
}

std::uint32_t Pclmul(std::uint32_t crc, const void* data, std::size_t len) {
    if (data == nullptr) return 0;  // as zlib: no data gives the initial value
    auto p = static_cast<const unsigned char*>(data);
    std::uint32_t c = ~crc;
    if (len >= 64) {
        std::size_t n = len & ~std::size_t{15};
        c = FoldSse(c, p, n);
        p += n;
        len -= n;
    }
    return ~SliceBy8Raw(c, p, len);
}

std::uint32_t Vpclmul(std::uint32_t crc, const void* data, std::size_t len) {
    if (data == nullptr) return 0;  // as zlib: no data gives the initial value
    // Short buffers are not worth waking the 512-bit units for.
    if (len < 1024) return Pclmul(crc, data, len);
    auto p = static_cast<const unsigned char*>(data);
    std::size_t n = len & ~std::size_t{15};
    std::uint32_t c = FoldAvx512(~crc, p, n);
    return ~SliceBy8Raw(c, p + n, len - n);
}

struct CpuFeatures {
    bool pclmul = false;
    bool vpclmul = false;
};

CpuFeatures DetectFeatures() {
    CpuFeatures f;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
    const bool hasPclmul = (c & bit_PCLMUL) != 0;
    const bool hasSse41 = (c & bit_SSE4_1) != 0;
    const bool hasOsxsave = (c & bit_OSXSAVE) != 0;
    f.pclmul = hasPclmul && hasSse41;
    if (!f.pclmul || !hasOsxsave) return f;
    // The OS must save the vector state: SSE, AVX, opmask and both halves of the ZMM registers.
    unsigned xcr0Lo = 0, xcr0Hi = 0;
    __asm__("xgetbv" : "=a"(xcr0Lo), "=d"(xcr0Hi) : "c"(0));
    const bool zmmSaved = (xcr0Lo & 0xE6) == 0xE6;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return f;
    const bool avx512 = (b & bit_AVX512F) && (b & bit_AVX512VL) && (b & bit_AVX512BW);
    const bool vpclmulqdq = (c & (1u << 10)) != 0;
    f.vpclmul = zmmSaved && avx512 && vpclmulqdq;
    return f;
}

const CpuFeatures& Features() {
    static const CpuFeatures features = DetectFeatures();
    return features;
}

#endif  // KESTROW_CRC32_X86

using KernelFn = std::uint32_t (*)(std::uint32_t, const void*, std::size_t);

KernelFn KernelFunction(Crc32Kernel kernel) {
    switch (kernel) {
        case Crc32Kernel::SliceBy8:
            return SliceBy8;
#if KESTROW_CRC32_X86
        case Crc32Kernel::Pclmul:
            return Pclmul;
        case Crc32Kernel::Vpclmul:
            return Vpclmul;
#else
        case Crc32Kernel::Pclmul:
        case Crc32Kernel::Vpclmul:
            return SliceBy8;
#endif
    }
    return SliceBy8;
}

Crc32Kernel SelectKernel() {
    if (Crc32KernelAvailable(Crc32Kernel::Vpclmul)) return Crc32Kernel::Vpclmul;
    if (Crc32KernelAvailable(Crc32Kernel::Pclmul)) return Crc32Kernel::Pclmul;
    return Crc32Kernel::SliceBy8;
}

}  // namespace

bool Crc32KernelAvailable(Crc32Kernel kernel) {
    switch (kernel) {
        case Crc32Kernel::SliceBy8:
            return true;
#if KESTROW_CRC32_X86
        case Crc32Kernel::Pclmul:
            return Features().pclmul;
        case Crc32Kernel::Vpclmul:
            return Features().vpclmul;
#else
        case Crc32Kernel::Pclmul:
        case Crc32Kernel::Vpclmul:
            return false;
#endif
    }
    return false;
}

Crc32Kernel Crc32ActiveKernel() {
    static const Crc32Kernel active = SelectKernel();
    return active;
}

const char* Crc32KernelName(Crc32Kernel kernel) {
    switch (kernel) {
        case Crc32Kernel::SliceBy8:
            return "slice-by-8";
        case Crc32Kernel::Pclmul:
            return "pclmulqdq";
        case Crc32Kernel::Vpclmul:
            return "vpclmulqdq-avx512";
    }
    return "?";
}

std::uint32_t Crc32With(Crc32Kernel kernel, std::uint32_t crc, const void* data, std::size_t len) {
    if (!Crc32KernelAvailable(kernel)) kernel = Crc32Kernel::SliceBy8;
    return KernelFunction(kernel)(crc, data, len);
}

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t len) {
    static const KernelFn active = KernelFunction(Crc32ActiveKernel());
    return active(crc, data, len);
}

}  // namespace kestrow
