// Hand-built packed streams, written bit by bit independently of the packer, with the output each
// must unpack to. Shared by the unpacker tests and the fuzzing seeds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow::test {

using Bytes = std::vector<std::uint8_t>;

// Writes the stream format item by item: control bits in tag bytes (most significant first), each
// tag byte placed where its first bit is needed.
class StreamBuilder {
public:
    explicit StreamBuilder(std::uint8_t first) { m_out.push_back(first); }

    StreamBuilder& bit(unsigned b) {
        if (m_bits == 0) {
            m_tag = m_out.size();
            m_out.push_back(0);
            m_bits = 8;
        }
        --m_bits;
        if (b) m_out[m_tag] |= static_cast<std::uint8_t>(1u << m_bits);
        return *this;
    }
    StreamBuilder& byte(std::uint8_t v) {
        m_out.push_back(v);
        return *this;
    }
    // `v` at least 2.
    StreamBuilder& gamma(std::uint64_t v) {
        int top = 63;
        while (!((v >> top) & 1u)) --top;
        for (int i = top - 1; i >= 0; --i) bit((v >> i) & 1u).bit(i > 0);
        return *this;
    }
    StreamBuilder& literal(std::uint8_t v) { return bit(0).byte(v); }
    StreamBuilder& single(unsigned distance) {
        bit(1).bit(1).bit(1);
        for (int i = 3; i >= 0; --i) bit((distance >> i) & 1u);
        return *this;
    }
    StreamBuilder& shortMatch(unsigned offset, unsigned length) {
        return bit(1).bit(1).bit(0).byte(static_cast<std::uint8_t>(offset * 2 + (length - 2)));
    }
    // A block match with a new offset; `k` is 3 after a literal or single byte, 2 after a match.
    // `stored` is the length as written, before the unpacker's adjustment.
    StreamBuilder& blockMatch(unsigned offset, std::uint64_t stored, unsigned k) {
        return bit(1)
            .bit(0)
            .gamma((offset >> 8) + k)
            .byte(static_cast<std::uint8_t>(offset & 0xFF))
            .gamma(stored);
    }
    StreamBuilder& lastOffsetMatch(std::uint64_t length) { return bit(1).bit(0).gamma(2).gamma(length); }
    StreamBuilder& end(std::uint8_t marker = 0) { return bit(1).bit(1).bit(0).byte(marker); }

    const Bytes& bytes() const { return m_out; }

private:
    Bytes m_out;
    std::size_t m_tag = 0;
    int m_bits = 0;
};

// The expected output, grown the way the format defines each item.
inline void CopyBack(Bytes& out, std::size_t offset, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) out.push_back(out[out.size() - offset]);
}

inline Bytes B(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

struct HandStream {
    std::string name;
    Bytes stream;
    Bytes expected;
};

// A stream that starts with `count` literals of a fixed pseudo-random sequence, and that sequence.
inline void LiteralPrefix(StreamBuilder& s, Bytes& expected, std::size_t count) {
    std::uint32_t x = 12345;
    for (std::size_t i = 1; i < count; ++i) {
        x = x * 1103515245u + 12345u;
        auto v = static_cast<std::uint8_t>(x >> 16);
        s.literal(v);
        expected.push_back(v);
    }
}

inline std::vector<HandStream> ValidHandStreams() {
    std::vector<HandStream> all;
    auto add = [&](std::string name, const StreamBuilder& s, Bytes expected) {
        all.push_back({std::move(name), s.bytes(), std::move(expected)});
    };
    add("one_literal", StreamBuilder('A').end(), B("A"));
    // The length bit of an offset-0 short match is ignored, so byte 1 ends the stream too.
    add("end_marker_byte_1", StreamBuilder('A').literal('B').end(1), B("AB"));
    add("short_match_offset_1", StreamBuilder('A').shortMatch(1, 2).end(), B("AAA"));
    add("literals", StreamBuilder('A').literal('B').literal('C').end(), B("ABC"));
    add("single_zero", StreamBuilder('A').single(0).end(), {'A', 0});
    add("single_back", StreamBuilder('A').literal('B').literal('C').single(3).single(2).end(), B("ABCAC"));
    add("short_match_2", StreamBuilder('A').literal('B').literal('C').shortMatch(3, 2).end(), B("ABCAB"));
    add("short_match_3_overlap", StreamBuilder('A').literal('B').shortMatch(2, 3).end(), B("ABABA"));
    add("overlap_distance_1", StreamBuilder('a').blockMatch(1, 8, 3).end(), Bytes(11, 'a'));
    add("long_match", StreamBuilder('z').blockMatch(1, 60000, 3).end(), Bytes(60003, 'z'));
    StreamBuilder abcd('A');
    abcd.literal('B').literal('C').literal('D');
    // After a match, gamma 2 is high byte 0 of a new offset, not the last offset.
    add("new_offset_after_match", StreamBuilder(abcd).shortMatch(4, 2).blockMatch(3, 2, 2).end(),
        B("ABCDABDABD"));
    add("last_offset_after_literal",
        StreamBuilder(abcd).shortMatch(4, 2).literal('x').lastOffsetMatch(3).end(), B("ABCDABxDAB"));
    // Other packers reuse the last offset right after a single-byte item too.
    add("last_offset_after_single", StreamBuilder(abcd).shortMatch(3, 3).single(2).lastOffsetMatch(2).end(),
        B("ABCDBCDCCD"));
    // Length adjustments on both sides of each offset boundary, after a literal and after a match.
    struct Boundary {
        unsigned offset;
        unsigned extra;
    };
    for (Boundary b : {Boundary{127, 2}, Boundary{128, 0}, Boundary{1279, 0}, Boundary{1280, 1},
                       Boundary{31999, 1}, Boundary{32000, 2}}) {
        for (unsigned afterMatch = 0; afterMatch < 2; ++afterMatch) {
            StreamBuilder s('#');
            Bytes e{'#'};
            LiteralPrefix(s, e, 32100);
            if (afterMatch) {
                s.shortMatch(5, 2);
                CopyBack(e, 5, 2);
            }
            s.blockMatch(b.offset, 2, afterMatch ? 2 : 3);
            CopyBack(e, b.offset, 2 + b.extra);
            s.literal('!').blockMatch(b.offset, 5, 3).end();
            e.push_back('!');
            CopyBack(e, b.offset, 5 + b.extra);
            add("offset_" + std::to_string(b.offset) + (afterMatch ? "_after_match" : "_after_literal"), s,
                e);
        }
    }
    return all;
}

}  // namespace kestrow::test
