// Case-blind comparison, UTF-8 character counting and the short byte-size format.
#include "platform/text.h"

#include <gtest/gtest.h>

#include "platform/bytesize.h"

namespace kestrow::platform {
namespace {

TEST(Text, CaseBlindComparisonCoversAsciiAndLatin1) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {
        {"track01.mp3", "TRACK01.MP3", true},
        {"Ärger.mp3", "ärger.MP3", true},  // UTF-8 Latin-1 letters
        {"\xC4rger", "\xE4RGER", true},    // legacy Latin-1 bytes
        {"a.mp3", "a.mp", false},
        {"\xC3\x97", "\xC3\xB7", false},  // multiplication and division signs do not fold
        {"", "", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IEquals(c.a, c.b), c.equal) << c.a << " vs " << c.b;
        // The hashing key agrees with the comparison.
        EXPECT_EQ(FoldCase(c.a) == FoldCase(c.b), c.equal) << c.a << " vs " << c.b;
    }
    EXPECT_EQ(FoldCase("\xC4rger"), FoldCase("\xC3\xA4RGER"));  // a legacy byte and its UTF-8 form
}

TEST(Text, NameOrderIsCaseBlindWithBytesBreakingTies) {
    EXPECT_TRUE(NameLess("a.mp3", "B.mp3"));
    EXPECT_TRUE(NameLess("B.mp3", "c.mp3"));
    EXPECT_TRUE(NameLess("A.mp3", "a.mp3"));
    EXPECT_FALSE(NameLess("a.mp3", "A.mp3"));
    EXPECT_FALSE(NameLess("x", "x"));
}

TEST(Text, CharactersCountCodePointsAndInvalidBytesOneEach) {
    struct Case {
        const char* s;
        std::size_t chars;
        bool valid;
    } cases[] = {
        {"abc", 3, true},
        {"Bj\xC3\xB6rk", 5, true},
        {"\xE2\x82\xAC", 1, true},      // euro sign
        {"\xF0\x9F\x8E\xB5", 1, true},  // musical note
        {"caf\xE9", 4, false},          // Latin-1 byte
        {"\xE2\x82", 2, false},         // truncated sequence
        {"\xC0\x80", 2, false},         // overlong encoding
        {"\xED\xA0\x80", 3, false},     // surrogate
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CharCount(c.s), c.chars) << c.s;
        EXPECT_EQ(IsValidUtf8(c.s), c.valid) << c.s;
    }
}

TEST(ByteSize, ThreeSignificantDigitsTruncated) {
    struct Case {
        std::uint64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 bytes"},
        {999, "999 bytes"},
        {1000, "0.97 KB"},
        {1024, "1.00 KB"},
        {1535, "1.49 KB"},
        {10 * 1024 + 1023, "10.9 KB"},
        {700 * 1024, "700 KB"},
        {999 * 1024 + 1023, "999 KB"},
        {1000 * 1024, "0.97 MB"},
        {89443532, "85.2 MB"},
        {89443533, "85.3 MB"},
        {1320702443ULL, "1.22 GB"},
        {1320702444ULL, "1.23 GB"},
        {5ULL << 40, "5.00 TB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatByteSize(c.bytes), c.text) << c.bytes;
        EXPECT_LE(FormatByteSize(c.bytes).size(), 9u);
    }
}

TEST(EscapeControls, LeavesNothingThatActsOnATerminal) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain name.mp3", "plain name.mp3"},
        {"a\x1b[2Jb", "a\\x1B[2Jb"},
        {std::string("nul\0del\x7f", 8), "nul\\x00del\\x7F"},
        {"c1 \xc2\x9b utf8", "c1 \\xC2\\x9B utf8"},
        {"c1 \x9b byte", "c1 \\x9B byte"},
        {"caf\xc3\xa9 \xc2\xa0", "caf\xc3\xa9 \xc2\xa0"},  // letters and no-break space stay
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(EscapeControls(in), out) << in;
    EXPECT_EQ(EscapeControls("say \"a\\b\"\t", "\"\\"), "say \\\"a\\\\b\\\"\\x09");
}

}  // namespace
}  // namespace kestrow::platform
