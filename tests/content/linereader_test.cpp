// The line reader: breaks of every kind, blank lines, over-long lines and buffer boundaries.
#include "content/linereader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "content/backupfile.h"
#include "content/m3ulist.h"
#include "content/sfvlist.h"
#include "tests/support/golden.h"
#include "tests/support/recordingreporter.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::RecordingQuestioner;
using test::TempDir;
using test::WriteFile;
using Lines = std::vector<std::pair<unsigned, std::string>>;

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

const std::string kBom = "\xEF\xBB\xBF";

TEST(LineReader, BreaksBlankLinesAndLongLinesAsTheTableSays) {
    const auto rows = test::TableRows("linebreak_rows.txt");
    ASSERT_EQ(rows.size(), 18u);
    for (const auto& row : rows) {
        Lines expected;
        for (const std::string& word : test::Words(row[1])) {
            const std::size_t colon = word.find(':');
            expected.emplace_back(std::stoul(word.substr(0, colon)), test::Unescape(word.substr(colon + 1)));
        }
        RecordingQuestioner questioner;
        EXPECT_EQ(ReadFileLines(test::Unescape(row[0]), &questioner), expected) << row[0];
        ASSERT_EQ(questioner.questions.size(), row.size() > 2 ? 1u : 0u) << row[0];
        if (row.size() < 3) continue;
        const auto& q = questioner.questions[0];
        EXPECT_EQ(q.text, "m_pBuffer overflow in line " + row[2] + " (line length over 4096 chars)");
        EXPECT_EQ(q.caption, "Warning !");
        EXPECT_EQ(q.buttons, platform::Buttons::Ok);
        EXPECT_EQ(q.icon, platform::Icon::Exclamation);
    }
}

TEST(LineReaderLongLines, WithoutQuestionerTheWarningIsOnlyRemembered) {
    TempDir dir;
    WriteFile(dir / "long.txt", std::string(5000, 'b'));
    LineReader reader;
    ASSERT_TRUE(reader.Open(dir / "long.txt"));
    EXPECT_EQ(ReadAll(reader), (Lines{{1, std::string(4095, 'b')}, {2, std::string(905, 'b')}}));
    EXPECT_EQ(reader.Message(), "m_pBuffer overflow in line 1 (line length over 4096 chars)");
}

// Line 2's CR is the last byte of the first 4096-byte fill, its LF the first of the next.
TEST(LineReaderBuffer, BreakSplitAcrossTwoFillsIsOneBreak) {
    const std::string first(4000, 'x'), second(4096 - 4002 - 1, 'y');
    ASSERT_EQ((first + "\r\n" + second + "\r")[4095], '\r');
    EXPECT_EQ(ReadFileLines(first + "\r\n" + second + "\r\nz\r\n"),
              (Lines{{1, first}, {2, second}, {3, "z"}}));
    EXPECT_EQ(ReadFileLines(first + "\r\n" + second + "\r\n\r\nz"),
              (Lines{{1, first}, {2, second}, {4, "z"}}));
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

// Reading the process's own memory from offset 0 fails with EIO although the open succeeds.
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
    // No list takes a file it could not read to the end for an empty one.
    const PathName failing(kFailingRead, false);
    SfvList sfv(failing);
    error.clear();
    EXPECT_FALSE(sfv.Load(&error) || sfv.Loaded() || error.empty());
    M3uList m3u(failing);
    EXPECT_FALSE(m3u.Load() || m3u.Loaded());
    BackupFile backup(failing);
    EXPECT_FALSE(backup.Load() || backup.HasContent());

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
