// The own reader of ID3v2 text frames and the text conversions it shares with the tag reader.
#include <gtest/gtest.h>

#include <optional>

#include "tagline/id3v2textreader.h"
#include "tagline/textencoding.h"
#include "tests/support/golden.h"
#include "tests/support/mp3builder.h"
#include "tests/support/tempdir.h"
#include "tests/tagline/tagwords.h"

namespace kestrow::test {
namespace {

// A v2.4 frame holding a 0xFF byte, written unsynchronised (0xFF 0x00) with the frame flag set.
std::string UnsyncFrameTag() {
    std::string data = std::string("\x00", 1) + "A\xFF" + std::string("\x00", 1) + "B";
    return Id3v2Builder(4).Raw("TCON", data, 0x0002).Bytes();
}

std::string ExtendedHeaderTag() {
    std::string tag = Id3v2Builder(4).Text("TCON", "Rock").Bytes();
    std::string ext = std::string("\x00\x00\x00\x06\x01\x00", 6);  // syncsafe size 6, one flag byte
    std::string body = ext + tag.substr(10);
    std::string header = tag.substr(0, 10);
    header[5] = 0x40;
    header[9] = static_cast<char>(body.size());  // below 128, so one syncsafe byte
    return header + body;
}

TEST(Id3v2TextReader, FindsTheFrameText) {
    const auto rows = TableRows("id3_frames.txt");
    ASSERT_EQ(rows.size(), 8u);
    for (const auto& row : rows) {
        Id3v2TextReader reader;
        ASSERT_TRUE(reader.Parse(Id3v2FromWords(row[1]))) << row[0];
        EXPECT_EQ(reader.Text(row[2]), Unescape(row[3])) << row[0];
    }
}

TEST(Id3v2TextReader, FlagsHeadersPaddingAndCutTags) {
    struct Row {
        const char* label;
        std::string tag;
        const char* id;
        std::optional<std::string> text;
    };
    const std::string longC(300, 'c');
    const std::string compressed =
        Id3v2Builder(4).Raw("TCON", std::string("\x00zzzz", 5), 0x0008).Text("TDRC", "2010").Bytes();
    const std::string full = Id3v2Builder(4).Text("TCON", "Funk").Text("TIT2", longC).Bytes();
    const std::string cut = full.substr(0, full.size() - 100);
    const std::string withLength =
        std::string("\x00\x00\x00\x05", 4) + EncodeText("Soul", TextEncoding::Latin1);
    const Row rows[] = {
        {"Unsynchronised", UnsyncFrameTag(), "TCON",
         "A\xC3\xBF"
         "B"},
        {"DataLengthIndicator", Id3v2Builder(4).Raw("TCON", withLength, 0x0001).Bytes(), "TCON", "Soul"},
        {"CompressedFrameSkipped", compressed, "TCON", std::nullopt},
        {"FrameAfterCompressedFrame", compressed, "TDRC", "2010"},
        {"ExtendedHeader", ExtendedHeaderTag(), "TCON", "Rock"},
        {"PaddingEndsFrames", Id3v2Builder(4).Text("TCON", "Ska").Padding(64).Bytes(), "TCON", "Ska"},
        {"CutTagKeepsCompleteFrames", cut, "TCON", "Funk"},
        {"CutFrameIsDropped", cut, "TIT2", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Id3v2TextReader reader;
        ASSERT_TRUE(reader.Parse(row.tag));
        EXPECT_EQ(reader.Text(row.id), row.text);
    }
}

TEST(Id3v2TextReader, RefusesWhatIsNoV23OrV24Tag) {
    Id3v2TextReader reader;
    EXPECT_FALSE(reader.Parse(""));
    EXPECT_FALSE(reader.Parse("ID3"));
    EXPECT_FALSE(reader.Parse(std::string("TAG\x04\0\0\0\0\0\0", 10)));
    std::string v22 = Id3v2Builder(4).Text("TCON", "Rock").Bytes();
    v22[3] = 2;
    EXPECT_FALSE(reader.Parse(v22));
    EXPECT_EQ(reader.MajorVersion(), 0);
}

TEST(Id3v2TextReader, FrameSizePastTheTagStopsReading) {
    std::string tag = Id3v2Builder(4).Text("TCON", "Rock").Bytes();
    tag[10 + 7] = 0x7F;  // the frame claims far more bytes than the tag holds
    Id3v2TextReader reader;
    ASSERT_TRUE(reader.Parse(tag));
    EXPECT_FALSE(reader.Text("TCON"));
}

TEST(Id3v2TextReader, ReadsTheTagAtTheStartOfAFile) {
    TempDir dir;
    WriteFile(dir / "a.mp3", MakeMp3(Id3v2Builder(4).Text("TCON", "Rock").Bytes(), std::string(500, '\0')));
    WriteFile(dir / "b.mp3", std::string(500, '\0'));
    Id3v2TextReader reader;
    ASSERT_TRUE(reader.ReadFile(dir / "a.mp3"));
    EXPECT_EQ(reader.MajorVersion(), 4);
    EXPECT_EQ(reader.Text("TCON"), "Rock");
    EXPECT_FALSE(reader.ReadFile(dir / "b.mp3"));
    EXPECT_FALSE(reader.ReadFile(dir / "none.mp3"));
}

TEST(TextEncoding, Utf16ToUtf8) {
    const auto rows = TableRows("utf16_rows.txt");
    ASSERT_EQ(rows.size(), 8u);
    for (const auto& r : rows)
        EXPECT_EQ(Utf16BytesToUtf8(Unescape(r[0]), r[1] == "be"), Unescape(r[2])) << r[0];
}

TEST(TextEncoding, EightBitKeepsUtf8AndConvertsLatin1) {
    EXPECT_EQ(EightBitToUtf8("plain"), "plain");
    EXPECT_EQ(EightBitToUtf8("\xC3\xA9"), "\xC3\xA9");
    EXPECT_EQ(EightBitToUtf8("Caf\xE9"), "Caf\xC3\xA9");
    EXPECT_EQ(EightBitToUtf8("\xFF"), "\xC3\xBF");
}

}  // namespace
}  // namespace kestrow::test
