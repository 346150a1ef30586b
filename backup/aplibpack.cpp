// The packer: a hash-chain match finder over a sliding window, a bit-cost model of the stream
// format, and lazy evaluation that looks up to three positions ahead before taking a match.
#include <algorithm>
#include <cstring>
#include <memory>

#include "backup/aplib.h"

namespace kestrow::aplib {

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr std::size_t kHeadCount = std::size_t{256} * 256;
constexpr std::uint32_t kChainSize = 92160;
// Longest match and farthest distance; the ring is larger than the window by a margin that covers
// the positions linked in ahead of the current one.
constexpr std::uint32_t kWindow = 0x16700;
constexpr int kMaxCandidates = 2048;
// Once a match this long is found, only an eighth of the candidate limit is walked: a longer one
// would save little, and on repetitive text (backup records of thousands of similar names) the
// walk to the full limit cost most of the time of a prepare.
constexpr std::uint32_t kGoodLength = 32;
constexpr int kGoodCandidates = kMaxCandidates / 8;
// Matches of two and three bytes are looked for within the short-match range through chains keyed
// by one byte, kept in a ring larger than that range plus the positions linked in ahead.
constexpr std::uint32_t kNearRange = 127;
constexpr std::uint32_t kNearRing = 256;
constexpr std::size_t kTableWords = kHeadCount + kChainSize + 256 + kNearRing;
// Positions and sizes stay 32-bit, with room for the sentinel and the worst-case stream.
constexpr std::size_t kMaxLength = 0x70000000;

struct Match {
    std::uint32_t distance = 0;
    std::uint32_t length = 0;
};

int gammaCost(std::int64_t v) {
    if (v < 2) return 100;
    if (v > 65535) return 32;
    int bits = 0;
    while (v > 1) {
        v >>= 1;
        bits += 2;
    }
    return bits;
}

// Stored length of a block match: short distances need 2 more bytes to pay off, far ones 1 or 2.
std::int64_t adjustedLength(std::uint32_t d, std::uint32_t l) {
    std::int64_t a = l;
    if (d < 128) return a - 2;
    if (d >= 32000) return a - 2;
    if (d >= 1280) return a - 1;
    return a;
}

class Packer {
public:
    Packer(const std::uint8_t* src, std::size_t n, std::uint8_t* dst, void* work)
        : m_src(src), m_n(static_cast<std::uint32_t>(n)), m_dst(dst), m_capacity(maxPackedSize(n)) {
        std::size_t space = workMemorySize();
        void* p = work;
        // Caller memory need not be aligned for 32-bit links; the spare tail absorbs the shift.
        p = std::align(alignof(std::uint32_t), kTableWords * sizeof(std::uint32_t), p, space);
        m_heads = static_cast<std::uint32_t*>(p);
        m_chain = m_heads + kHeadCount;
        m_nearHeads = m_chain + kChainSize;
        m_nearLinks = m_nearHeads + 256;
        std::fill(m_heads, m_heads + kHeadCount, kNone);
        std::fill(m_nearHeads, m_nearHeads + 256, kNone);
    }

    std::size_t run(const PackProgress& progress);

private:
    // ---- bit writer
    void putByte(std::uint8_t b) {
        if (m_out >= m_capacity) {
            m_overflow = true;
            return;
        }
        m_dst[m_out++] = b;
    }
    void putBit(unsigned b) {
        if (--m_bitsLeft == 0) {
            m_tagPos = m_out;
            putByte(0);
            m_bitsLeft = 8;
        }
        if (!m_overflow) m_dst[m_tagPos] = static_cast<std::uint8_t>((m_dst[m_tagPos] << 1) | b);
    }
    void putGamma(std::uint32_t v) {
        int top = 31;
        while (!(v >> top)) --top;
        for (int i = top - 1; i >= 0; --i) {
            putBit((v >> i) & 1u);
            putBit(i > 0 ? 1u : 0u);
        }
    }

    // ---- costs
    int literalCost(std::uint32_t p) const { return nearCopy(p) >= 0 ? 7 : 9; }
    int literalsCost(std::uint32_t p, std::uint32_t count) const {
        int c = 0;
        for (std::uint32_t i = 0; i < count; ++i) c += literalCost(p + i);
        return c;
    }
    // The model the finder and the lazy choice work with: they look ahead where the item before
    // will be a literal, so reusing the last offset counts as available.
    int cost(std::uint32_t d, std::uint32_t l) const {
        if (l < 2) return 100;
        if (d == m_r0) return gammaCost(l) + 4;
        if (d < 128 && l < 4) return 11;
        return gammaCost((d >> 8) + 3) + gammaCost(adjustedLength(d, l)) + 10;
    }
    // What the match costs right now, given what the item before was.
    int emitCost(std::uint32_t d, std::uint32_t l) const {
        if (!allowed(d, l)) return 1 << 20;
        if (!m_previousWasMatch && d == m_r0) return gammaCost(l) + 4;
        if (d < 128 && l < 4) return 11;
        return gammaCost((d >> 8) + (m_previousWasMatch ? 2 : 3)) + gammaCost(adjustedLength(d, l)) + 10;
    }
    bool allowed(std::uint32_t d, std::uint32_t l) const {
        if (l < 2 || d == 0) return false;
        if (!m_previousWasMatch && d == m_r0) return true;
        if (d < 128 && l <= 3) return true;
        return adjustedLength(d, l) >= 2;
    }

    // Distance of the byte at p among the 15 before it (0 for a zero byte), or -1.
    int nearCopy(std::uint32_t p) const {
        std::uint8_t x = m_src[p];
        if (x == 0) return 0;
        for (std::uint32_t k = std::min<std::uint32_t>(15, p); k > 0; --k)
            if (m_src[p - k] == x) return static_cast<int>(k);
        return -1;
    }

    // ---- items
    void emitLiteral(std::uint32_t p) {
        int near = nearCopy(p);
        if (near >= 0) {
            putBit(1);
            putBit(1);
            putBit(1);
            for (int i = 3; i >= 0; --i) putBit((static_cast<unsigned>(near) >> i) & 1u);
        } else {
            putBit(0);
            putByte(m_src[p]);
        }
        m_previousWasMatch = false;
    }
    void emitMatch(std::uint32_t d, std::uint32_t l) {
        bool shortForm = d < 128 && l <= 3;
        putBit(1);
        if (!m_previousWasMatch && d == m_r0) {
            putBit(0);
            putGamma(2);
            putGamma(l);
        } else if (shortForm) {
            putBit(1);
            putBit(0);
            putByte(static_cast<std::uint8_t>(d * 2 + (l - 2)));
        } else {
            putBit(0);
            putGamma((d >> 8) + (m_previousWasMatch ? 2 : 3));
            putByte(static_cast<std::uint8_t>(d & 0xFF));
            putGamma(static_cast<std::uint32_t>(adjustedLength(d, l)));
        }
        m_r0 = d;
        m_previousWasMatch = true;
    }
    void emitLiterals(std::uint32_t p, std::uint32_t count) {
        for (std::uint32_t i = 0; i < count; ++i) emitLiteral(p + i);
    }

    // ---- match finder
    // The window's chains are keyed by a hash of four bytes. With two-byte keys, text gives chains
    // of hundreds of candidates sharing only those bytes, and walking them took several times the
    // time the packer may take. Shorter matches pay off mainly in the short-match range, where the
    // near chains find them.
    static std::uint32_t hashKey(const std::uint8_t* p) {
        std::uint32_t v = 0;
        std::memcpy(&v, p, 4);
        return (v * 2654435761u) >> 16;
    }
    void insertUpTo(std::uint32_t pos) {
        const std::uint32_t last = std::min(pos, m_n - 2);
        for (; m_inserted <= last; ++m_inserted) {
            const std::uint8_t b = m_src[m_inserted];
            m_nearLinks[m_inserted % kNearRing] = m_nearHeads[b];
            m_nearHeads[b] = m_inserted;
            if (m_inserted + 4 <= m_n) {
                const std::uint32_t key = hashKey(m_src + m_inserted);
                m_chain[m_inserted % kChainSize] = m_heads[key];
                m_heads[key] = m_inserted;
            }
        }
    }
    std::uint32_t commonLength(std::uint32_t a, std::uint32_t b, std::uint32_t limit) const {
        std::uint32_t i = 0;
        while (i + 8 <= limit) {
            std::uint64_t x = 0;
            std::uint64_t y = 0;
            std::memcpy(&x, m_src + a + i, 8);
            std::memcpy(&y, m_src + b + i, 8);
            if (x != y) return i + static_cast<std::uint32_t>(__builtin_ctzll(x ^ y) >> 3);
            i += 8;
        }
        while (i < limit && m_src[a + i] == m_src[b + i]) ++i;
        return i;
    }
    Match search(std::uint32_t pos);
    Match cachedSearch(std::uint32_t pos) {
        Slot& s = m_cache[pos & 3];
        if (s.pos != pos || s.r0 != m_r0) {
            s.pos = pos;
            s.r0 = m_r0;
            s.match = search(pos);
        }
        return s.match;
    }

    // ---- lazy choice
    bool deferFor(const Match& m, std::uint32_t ahead, bool runPending, int numerNear, int denomNear,
                  int numerFar, int denomFar);
    void flushRun(std::uint32_t start, std::uint32_t end, const Match& remembered);
    void emitTaken(std::uint32_t p, const Match& m);

    const std::uint8_t* m_src;
    std::uint32_t m_n;
    std::uint8_t* m_dst;
    std::size_t m_capacity;
    std::size_t m_out = 0;
    std::size_t m_tagPos = 0;
    int m_bitsLeft = 1;
    bool m_overflow = false;
    std::uint32_t* m_heads = nullptr;
    std::uint32_t* m_chain = nullptr;
    std::uint32_t* m_nearHeads = nullptr;
    std::uint32_t* m_nearLinks = nullptr;
    std::uint32_t m_inserted = 0;
    std::uint32_t m_r0 = 0;  // 0: no offset yet
    bool m_previousWasMatch = false;
    struct Slot {
        std::uint32_t pos = kNone;
        std::uint32_t r0 = 0;
        Match match;
    };
    Slot m_cache[4];
};

Match Packer::search(std::uint32_t pos) {
    insertUpTo(pos);
    Match best;
    if (pos + 2 > m_n) return best;
    const std::uint32_t maxLen = std::min(kWindow, m_n - pos);
    const std::uint32_t maxDist = std::min(kWindow, pos);
    const std::uint8_t* const here = m_src + pos;
    int bestCost = 100;
    auto consider = [&](std::uint32_t d, std::uint32_t l) {
        const int lc = cost(d, l);
        bool take = false;
        if (best.length < 2) {
            take = true;
        } else if (d == m_r0) {
            // The last offset is so cheap to reuse that a somewhat shorter match still wins.
            take = static_cast<std::int64_t>(l) + (bestCost - lc) / 6 >= best.length;
        } else if (l > best.length) {
            // A longer match must pay for its dearer offset.
            take = l > best.length + (2 * (lc - bestCost)) / 13;
        }
        if (take) {
            best = {d, l};
            bestCost = lc;
        }
    };
    if (pos + 4 <= m_n) {
        // The ring slot of a candidate follows from the current one without a division.
        const std::uint32_t base = pos - pos % kChainSize;
        auto slot = [base](std::uint32_t c) { return c >= base ? c - base : c + kChainSize - base; };
        std::uint32_t c = m_chain[slot(pos)];
        for (int count = 0; c != kNone && count < kMaxCandidates; ++count, c = m_chain[slot(c)]) {
            const std::uint32_t d = pos - c;
            if (d > maxDist) break;
            if (d == m_r0) continue;  // weighed on its own below
            const std::uint8_t* const there = m_src + c;
            if (best.length >= 2 && there[best.length] != here[best.length]) continue;
            const std::uint32_t l = commonLength(c, pos, maxLen);
            if (l < 4) continue;  // a hash collision
            consider(d, l);
            if (l == maxLen) return best;
            if (best.length >= kGoodLength && count < kMaxCandidates - kGoodCandidates)
                count = kMaxCandidates - kGoodCandidates;
        }
    }
    if (best.length < 4) {
        for (std::uint32_t c = m_nearLinks[pos % kNearRing]; c != kNone && pos - c <= kNearRange;
             c = m_nearLinks[c % kNearRing]) {
            if (m_src[c + 1] == here[1] && pos - c != m_r0) {
                const std::uint32_t l = commonLength(c, pos, std::min(maxLen, 3u));
                consider(pos - c, l);
                if (l == 3) break;  // the nearest of the longest that the near range is searched for
            }
        }
    }
    if (m_r0 != 0 && m_r0 <= maxDist) {
        const std::uint32_t l = commonLength(pos - m_r0, pos, maxLen);
        if (l >= 2) consider(m_r0, l);
    }
    return best;
}

bool Packer::deferFor(const Match& m, std::uint32_t ahead, bool runPending, int numerNear, int denomNear,
                      int numerFar, int denomFar) {
    if (ahead >= m_n - 1) return false;
    Match a = cachedSearch(ahead);
    if (a.length < 2) return false;
    const int c = cost(m.distance, m.length);
    const int ca = cost(a.distance, a.length);
    const int d = c - ca;
    const std::int64_t threshold =
        a.distance < m.distance ? a.length + numerNear * d / denomNear : a.length + numerFar * d / denomFar;
    bool defer = m.length < threshold;
    if (runPending && a.length >= m.length && ca < c) defer = true;
    return defer;
}

void Packer::flushRun(std::uint32_t start, std::uint32_t end, const Match& remembered) {
    const std::uint32_t count = end - start;
    if (count >= 2) {
        const int asLiterals = literalsCost(start, count);
        Match best;
        int bestCost = asLiterals;
        if (remembered.length >= count && emitCost(remembered.distance, count) < bestCost) {
            best = {remembered.distance, count};
            bestCost = emitCost(remembered.distance, count);
        }
        // The last offset may cover the run even when the finder preferred another.
        if (m_r0 != 0 && !m_previousWasMatch && m_r0 <= start &&
            commonLength(start - m_r0, start, count) == count && emitCost(m_r0, count) < bestCost) {
            best = {m_r0, count};
        }
        if (best.length != 0) {
            emitMatch(best.distance, best.length);
            return;
        }
    }
    emitLiterals(start, count);
}

void Packer::emitTaken(std::uint32_t p, const Match& m) {
    if (m.length >= 4 ||
        (allowed(m.distance, m.length) && emitCost(m.distance, m.length) <= literalsCost(p, m.length))) {
        emitMatch(m.distance, m.length);
    } else {
        emitLiterals(p, m.length);
    }
}

std::size_t Packer::run(const PackProgress& progress) {
    putByte(m_src[0]);
    std::uint32_t p = 1;
    bool runPending = false;
    std::uint32_t runStart = 0;
    Match runMatch;
    unsigned steps = 0;
    while (p + 1 < m_n) {
        if (progress && ++steps % 128 == 0 && !progress(p, m_out)) return 0;
        Match m = cachedSearch(p);
        if (m.length < 2) {
            if (!runPending) emitLiteral(p);
            ++p;
            continue;
        }
        bool defer = false;
        if (p + 2 < m_n) {
            Match a = cachedSearch(p + 1);
            defer = deferFor(m, p + 1, runPending, 1, 4, 2, 9);
            if (defer && !runPending && a.length < m.length &&
                literalCost(p) + cost(a.distance, a.length) + 1 > cost(m.distance, m.length))
                defer = false;
        }
        if (!defer && m.length > 2) {
            defer = deferFor(m, p + 2, runPending, 2, 11, 1, 4);
            if (!defer && m.length > 3) defer = deferFor(m, p + 3, runPending, 2, 11, 1, 4);
        }
        if (defer) {
            if (!runPending) {
                runPending = true;
                runStart = p;
                runMatch = m;
            }
            ++p;
            continue;
        }
        if (runPending) {
            flushRun(runStart, p, runMatch);
            runPending = false;
        }
        emitTaken(p, m);
        p += m.length;
    }
    if (runPending) flushRun(runStart, p, runMatch);
    for (; p < m_n; ++p) emitLiteral(p);
    // End marker: a short match with offset 0.
    putBit(1);
    putBit(1);
    putBit(0);
    putByte(0);
    if (!m_overflow) m_dst[m_tagPos] = static_cast<std::uint8_t>(m_dst[m_tagPos] << (m_bitsLeft - 1));
    return m_overflow ? 0 : m_out;
}

}  // namespace

std::size_t pack(const void* source, void* destination, std::size_t length, void* workMemory,
                 const PackProgress& progress) {
    if (source == nullptr || destination == nullptr || workMemory == nullptr) return 0;
    if (length < 2 || length > kMaxLength) return 0;
    // The context is small; the tables live in the caller's work memory.
    Packer packer(static_cast<const std::uint8_t*>(source), length, static_cast<std::uint8_t*>(destination),
                  workMemory);
    return packer.run(progress);
}

}  // namespace kestrow::aplib
