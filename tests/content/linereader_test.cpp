// The line reader: breaks of every kind, blank lines, over-long lines and buffer boundaries.
#include "content/linereader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::TempDir;
using test::WriteFile;
using Lines = std::vector<std::pair<unsigned, std::string>>;

class RecordingQuestioner : public platform::Questioner {
public:
    struct Question {
        std::string text;
        std::string caption;
        platform::Buttons buttons;
        platform::Icon icon;
    };
    platform::Answer Ask(const std::string& text, const std::string& caption, platform::Buttons buttons,
                         platform::Icon icon) override {
        questions.push_back({text, caption, buttons, icon});
        return platform::Answer::Ok;
    }
    std::vector<Question> questions;
};

Lines ReadAll(LineReader& reader) {
    Lines lines;
    std::string line;
    for (unsigned n = reader.ReadLine(line); n != 0; n = reader.ReadLine(line)) {
        lines.emplace_back(n, line);
        if (lines.size() > 10000) break;  // a reader that never ends fails below instead of hanging
    }
    return lines;
}

Lines ReadFileLines(const std::string& content, RecordingQuestioner* questioner = nullptr) {
    TempDir dir;
    WriteFile(dir / "list.txt", content);
    LineReader reader(4096, questioner);
    EXPECT_TRUE(reader.Open(dir / "list.txt"));
    return ReadAll(reader);
}

struct BreakCase {
    const char* name;
    std::string content;
    Lines expected;
};

class LineBreaks : public ::testing::TestWithParam<BreakCase> {};

TEST_P(LineBreaks, GiveTheseLinesAndNumbers) {
    RecordingQuestioner questioner;
    EXPECT_EQ(ReadFileLines(GetParam().content, &questioner), GetParam().expected);
    EXPECT_TRUE(questioner.questions.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Reader, LineBreaks,
    ::testing::Values(BreakCase{"CrLf", "a\r\nb\r\n", {{1, "a"}, {2, "b"}}},
                      BreakCase{"Lf", "a\nb\n", {{1, "a"}, {2, "b"}}},
                      BreakCase{"Cr", "a\rb\r", {{1, "a"}, {2, "b"}}},
                      BreakCase{"LfCr", "a\n\rb", {{1, "a"}, {2, "b"}}},
                      // In CR LF files a blank line is counted; two LF in a row are one break.
                      BreakCase{"CrLfBlankLineCounted", "a\r\n\r\nb\r\n", {{1, "a"}, {3, "b"}}},
                      BreakCase{"LfBlankLineIsOneBreak", "a\n\nb\n", {{1, "a"}, {2, "b"}}},
                      BreakCase{"LeadingBlankCrLfLines", "\r\n\r\nx", {{3, "x"}}},
                      BreakCase{"LastLineWithoutBreak", "a\r\nlast", {{1, "a"}, {2, "last"}}},
                      BreakCase{"SingleLineNoBreak", "only", {{1, "only"}}}, BreakCase{"EmptyFile", "", {}},
                      BreakCase{"OnlyBreaks", "\r\n\r\n\n", {}},
                      BreakCase{"BlanksAreKept", " a \t\r\n", {{1, " a \t"}}},
                      BreakCase{"ByteOrderMarkSkipped",
                                "\xEF\xBB\xBF"
                                "first\r\nsecond",
                                {{1, "first"}, {2, "second"}}},
                      BreakCase{"ByteOrderMarkAloneIsEmpty", "\xEF\xBB\xBF", {}},
                      BreakCase{"ByteOrderMarkLaterIsText",
                                "a\r\n\xEF\xBB\xBF"
                                "b",
                                {{1, "a"},
                                 {2,
                                  "\xEF\xBB\xBF"
                                  "b"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineReaderLongLines, LineOf4094CharactersFits) {
    RecordingQuestioner questioner;
    const std::string longLine(4094, 'a');
    EXPECT_EQ(ReadFileLines(longLine + "\r\nz", &questioner), (Lines{{1, longLine}, {2, "z"}}));
    EXPECT_TRUE(questioner.questions.empty());
}

TEST(LineReaderLongLines, LineOf4095CharactersWarnsAndItsBreakIsSkipped) {
    RecordingQuestioner questioner;
    const std::string longLine(4095, 'a');
    EXPECT_EQ(ReadFileLines(longLine + "\r\nz", &questioner), (Lines{{1, longLine}, {2, "z"}}));
    ASSERT_EQ(questioner.questions.size(), 1u);
    EXPECT_EQ(questioner.questions[0].text, "m_pBuffer overflow in line 1 (line length over 4096 chars)");
    EXPECT_EQ(questioner.questions[0].caption, "Warning !");
    EXPECT_EQ(questioner.questions[0].buttons, platform::Buttons::Ok);
    EXPECT_EQ(questioner.questions[0].icon, platform::Icon::Exclamation);
}

TEST(LineReaderLongLines, LineOf4096CharactersComesBackInTwoPieces) {
    RecordingQuestioner questioner;
    const std::string longLine(4096, 'a');
    EXPECT_EQ(ReadFileLines("first\r\n" + longLine + "\r\nz", &questioner),
              (Lines{{1, "first"}, {2, std::string(4095, 'a')}, {3, "a"}, {4, "z"}}));
    ASSERT_EQ(questioner.questions.size(), 1u);
    EXPECT_EQ(questioner.questions[0].text, "m_pBuffer overflow in line 2 (line length over 4096 chars)");
}

TEST(LineReaderLongLines, WithoutQuestionerTheWarningIsOnlyRemembered) {
    TempDir dir;
    WriteFile(dir / "long.txt", std::string(5000, 'b'));
    LineReader reader;
    ASSERT_TRUE(reader.Open(dir / "long.txt"));
    EXPECT_EQ(ReadAll(reader), (Lines{{1, std::string(4095, 'b')}, {2, std::string(905, 'b')}}));
    EXPECT_EQ(reader.Message(), "m_pBuffer overflow in line 1 (line length over 4096 chars)");
}

TEST(LineReaderBuffer, BreakSplitAcrossTwoFillsIsOneBreak) {
    // Line 2 ends so that its CR is the last byte of the first 4096-byte fill.
    const std::string first(4000, 'x');
    const std::string second(4096 - 4002 - 1, 'y');
    const std::string content = first + "\r\n" + second + "\r\n" + "z\r\n";
    ASSERT_EQ(content[4095], '\r');
    EXPECT_EQ(ReadFileLines(content), (Lines{{1, first}, {2, second}, {3, "z"}}));
}

TEST(LineReaderBuffer, SplitBreakFollowedByBlankLineCountsItOnce) {
    const std::string first(4000, 'x');
    const std::string second(4096 - 4002 - 1, 'y');
    const std::string content = first + "\r\n" + second + "\r\n\r\nz";
    EXPECT_EQ(ReadFileLines(content), (Lines{{1, first}, {2, second}, {4, "z"}}));
}

TEST(LineReaderBuffer, ManyFillsLoseNoLine) {
    std::string content;
    Lines expected;
    for (unsigned i = 1; i <= 3000; ++i) {
        expected.emplace_back(i, "line " + std::to_string(i));
        content += "line " + std::to_string(i) + "\r\n";
    }
    EXPECT_EQ(ReadFileLines(content), expected);
}

TEST(LineReaderFile, RewindStartsOver) {
    TempDir dir;
    WriteFile(dir / "a.txt",
              "\xEF\xBB\xBF"
              "one\r\ntwo\r\n");
    LineReader reader;
    ASSERT_TRUE(reader.Open(dir / "a.txt"));
    std::string line;
    EXPECT_EQ(reader.ReadLine(line), 1u);
    reader.Rewind();
    EXPECT_EQ(reader.LineNo(), 0u);
    EXPECT_EQ(ReadAll(reader), (Lines{{1, "one"}, {2, "two"}}));
    EXPECT_EQ(reader.ReadLine(line), 0u);
    EXPECT_TRUE(line.empty());
}

TEST(LineReaderFile, UnreadableFilesAreRefusedWithAReason) {
    TempDir dir;
    test::MakeDirs(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    WriteFile(dir / "huge.sfv", "");
    std::filesystem::resize_file(dir / "huge.sfv", platform::kMaxTextFileSize + 1);
    WriteFile(dir / "capped.sfv", "");
    std::filesystem::resize_file(dir / "capped.sfv", platform::kMaxTextFileSize);

    for (const char* name : {"missing.sfv", "folder", "fifo", "huge.sfv"}) {
        LineReader reader;
        std::string error;
        EXPECT_FALSE(reader.Open(dir / name, &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    LineReader reader;
    EXPECT_TRUE(reader.Open(dir / "capped.sfv"));
}

// Reading the process's own memory from offset 0 fails with EIO although the open succeeds: a
// file whose read breaks off part way.
constexpr const char* kFailingRead = "/proc/self/mem";

TEST(LineReaderFile, ReadErrorIsToldApartFromTheEnd) {
    LineReader reader;
    if (!reader.Open(kFailingRead)) GTEST_SKIP() << "no " << kFailingRead;
    std::string line;
    EXPECT_EQ(reader.ReadLine(line), 0u);
    EXPECT_TRUE(reader.ReadFailed());
    std::string error;
    EXPECT_FALSE(ReadSignificantLines(kFailingRead, &error, nullptr,
                                      [](unsigned, std::string_view, const std::string&) {}));
    EXPECT_FALSE(error.empty());

    TempDir dir;
    WriteFile(dir / "a.txt", "one\r\n");
    ASSERT_TRUE(reader.Open(dir / "a.txt"));
    EXPECT_EQ(ReadAll(reader), (Lines{{1, "one"}}));
    EXPECT_FALSE(reader.ReadFailed());
}

TEST(TrimText, RemovesWhiteSpaceAtBothEnds) {
    EXPECT_EQ(TrimText(" \t\v a b \r\n\f"), "a b");
    EXPECT_EQ(TrimText("   "), "");
    EXPECT_EQ(TrimText(""), "");
}

}  // namespace
}  // namespace kestrow
