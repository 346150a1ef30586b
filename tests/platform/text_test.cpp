// Case-blind comparison, UTF-8 character counting and the short byte-size format.
#include "platform/text.h"

#include <gtest/gtest.h>

#include "platform/bytesize.h"
#include "tests/support/golden.h"

namespace kestrow::platform {
namespace {

TEST(Text, NameOrderIsCaseBlindWithBytesBreakingTies) {
    EXPECT_TRUE(NameLess("a.mp3", "B.mp3"));
    EXPECT_TRUE(NameLess("B.mp3", "c.mp3"));
    EXPECT_TRUE(NameLess("A.mp3", "a.mp3"));
    EXPECT_FALSE(NameLess("a.mp3", "A.mp3"));
    EXPECT_FALSE(NameLess("x", "x"));
}

TEST(TextTable, CaseCharactersSizesAndTerminalSafety) {
    const auto rows = test::TableRows("text_rows.txt");
    ASSERT_EQ(rows.size(), 35u);
    for (const auto& r : rows) {
        const std::string a = test::Unescape(r[1]);
        if (r[0] == "same") {
            const std::string b = test::Unescape(r[2]);
            EXPECT_EQ(IEquals(a, b), r[3] == "1") << r[1] << " vs " << r[2];
            EXPECT_EQ(FoldCase(a) == FoldCase(b), r[3] == "1") << r[1] << " vs " << r[2];
        } else if (r[0] == "chars") {
            EXPECT_EQ(CharCount(a), std::stoul(r[2])) << r[1];
            EXPECT_EQ(IsValidUtf8(a), r[3] == "1") << r[1];
        } else if (r[0] == "size") {
            EXPECT_EQ(FormatByteSize(std::stoull(r[1])), r[2]);
            EXPECT_LE(FormatByteSize(std::stoull(r[1])).size(), 9u);
        } else {
            EXPECT_EQ(EscapeControls(a), r[2] == "=" ? a : r[2]) << r[1];
        }
    }
    EXPECT_EQ(EscapeControls("say \"a\\b\"\t", "\"\\"), "say \\\"a\\\\b\\\"\\x09");
}

}  // namespace
}  // namespace kestrow::platform
