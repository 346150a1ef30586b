// Tests of the backup record text, its packing and escaping, and the record parser.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "backup/backupdata.h"
#include "backup/backuprecord.h"
#include "tests/backup/records.h"
#include "tests/support/golden.h"

namespace kestrow {
namespace {

using test::Dir;
using test::File;
using test::Temp;

std::vector<std::uint8_t> Bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

// The rows of tests/data/backup_records.txt whose first field is `kind`, without it.
std::vector<std::vector<std::string>> Rows(const std::string& kind) {
    std::vector<std::vector<std::string>> rows;
    for (auto& row : test::TableRows("backup_records.txt")) {
        if (row[0] != kind) continue;
        row.erase(row.begin());
        for (auto& field : row) field = test::Unescape(field);
        rows.push_back(row);
    }
    EXPECT_FALSE(rows.empty()) << kind;
    return rows;
}

BackupData Parsed(const std::string& text, bool ok = true) {
    BackupData data;
    data.SetPlainText(text);
    EXPECT_EQ(data.Parse(), ok) << text;
    EXPECT_TRUE(ok || data.Records().empty()) << text;
    return data;
}

TEST(BackupRecordText, SplitsNamesAtTheLastDotAndParsesBack) {
    const std::map<std::string, BackupRecordKind> kinds = {
        {"F", BackupRecordKind::File}, {"T", BackupRecordKind::TempFile}, {"D", BackupRecordKind::Directory}};
    for (const auto& row : Rows("text")) {
        const BackupRecord record{kinds.at(row[0]), row[1], row[2], std::stoi(row[3])};
        EXPECT_EQ(BackupRecordText(record), row[4]);
        EXPECT_EQ(Parsed(row[4]).Records(), std::vector<BackupRecord>{record});
    }
}

TEST(BackupRecordNames, ValidityAndStorability) {
    for (const auto& row : Rows("name")) {
        EXPECT_EQ(IsValidBackupName(row[0]), row[1] == "1") << row[0];
        EXPECT_EQ(IsStorableBackupName(row[0]), row[2] == "1") << row[0];
    }
}

TEST(BackupParse, ReadsEveryKindAndTheOperationNumber) {
    BackupData data = Parsed("<F:.mp3;a;.mp3;aaa><D:;New;;Old Dir><OP:42><T:.nf1;r;.nfo;r><F:;b;;bbb>");
    EXPECT_EQ(data.FileRecords(), (std::vector<BackupRecord>{File("aaa.mp3", "a.mp3"), File("bbb", "b")}));
    ASSERT_TRUE(data.HasDirectoryRecord());
    EXPECT_EQ(data.DirectoryRecord(), Dir("Old Dir", "New", 42));
    EXPECT_EQ(data.TempFileRecords(), std::vector<BackupRecord>{Temp("r.nfo", "r.nf1")});
    for (const auto& row : Rows("op"))
        EXPECT_EQ(Parsed(row[0]).DirectoryRecord().operationNumber, std::stoi(row[1]));
    // Only the first directory record counts.
    EXPECT_EQ(Parsed("<D:;n1;;o1><OP:1><D:;n2;;o2><OP:2>").DirectoryRecord(), Dir("o1", "n1", 1));
    EXPECT_FALSE(Parsed("").HasDirectoryRecord());
}

TEST(BackupParse, InvalidOrTruncatedRecordsRejectTheWholeText) {
    for (const auto& row : Rows("invalid")) Parsed(row[0], false);
    Parsed("<F:;" + std::string(255, 'n') + ";;x>");
}

TEST(BackupEscape, UnsafeBytesBecomeTokensAndEveryOtherStandsForItself) {
    const std::map<int, std::string> tokens = {{0, "!nL~"},  {8, "!bS~"},  {9, "!lT~"}, {10, "!lF~"},
                                               {12, "!fF~"}, {13, "!cR~"}, {27, "!eS~"}};
    for (int b = 0; b < 256; ++b) {
        std::vector<std::uint8_t> block = Bytes("V100");
        block.push_back(static_cast<std::uint8_t>(b));
        auto token = tokens.find(b);
        std::string middle = token == tokens.end() ? std::string(1, static_cast<char>(b)) : token->second;
        EXPECT_EQ(EscapeBackupBlock(block.data(), block.size()), "[V100" + middle + "!eE~]") << b;
    }
}

TEST(BackupEscape, AllByteValuesSurviveEscapeAndUnescape) {
    std::vector<std::uint8_t> block = Bytes("V100");
    for (int round = 0; round < 2; ++round) {
        for (int b = 0; b < 256; ++b) block.push_back(static_cast<std::uint8_t>(b));
    }
    std::string text = EscapeBackupBlock(block.data(), block.size());
    for (char c : std::string("\x00\x08\x09\x0a\x0c\x0d\x1b", 7)) {
        EXPECT_EQ(text.find(c), std::string::npos) << int(c);
    }
    EXPECT_EQ(text.size(), 1 + block.size() + 2 * 7 * 3 + 5);
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(UnescapeBackupText(text, back));
    std::vector<std::uint8_t> expected = block;
    std::copy_n("AP32", 4, expected.begin());
    EXPECT_EQ(back, expected);
}

TEST(BackupEscape, UnescapeRejectsBadFrames) {
    std::string header(24, 'h');
    const std::string cases[] = {
        "",
        "[V10",
        "[V100!eE~]",                           // no header at all
        "[V100" + header.substr(4),             // no end marker
        "[V101" + header.substr(4) + "!eE~]",   // wrong start
        header + "!eE~]",                       // no "[" in front
        "[V100" + header.substr(8) + "!eE~]",   // header cut short
        "[V100" + header.substr(4) + "!eE~] ",  // something after the end marker
    };
    for (const auto& text : cases) {
        std::vector<std::uint8_t> block;
        EXPECT_FALSE(UnescapeBackupText(text, block)) << text;
        EXPECT_TRUE(block.empty());
    }
}

TEST(BackupEncode, RandomRecordSetsRoundTrip) {
    std::mt19937 rng(20080117);
    int ambiguousBlocks = 0;
    for (int round = 0; round < 200; ++round) {
        std::vector<BackupRecord> records = test::RandomRecords(rng, round % 2 ? 12 : 255);
        BackupData data = test::DataOf(records);
        ASSERT_TRUE(data.Encode());
        if (records.empty()) {
            EXPECT_TRUE(data.EncodedText().empty());
            continue;
        }
        const std::string& text = data.EncodedText();
        ASSERT_EQ(text.compare(0, 5, "[V100"), 0);
        ASSERT_EQ(text.compare(text.size() - 5, 5, "!eE~]"), 0);
        std::string plain = data.PlainText();
        BackupData back;
        back.SetEncodedText(text);
        if (!back.Decode()) {
            // Only a packed "!" followed by a token tail may make the text unreadable.
            std::string packed(data.PackedBlock().begin(), data.PackedBlock().end());
            bool ambiguous = false;
            for (const char* tail : {"nL~", "cR~", "lF~", "eS~", "bS~", "lT~", "fF~"}) {
                ambiguous = ambiguous || packed.find(std::string("!") + tail) != std::string::npos;
            }
            EXPECT_TRUE(ambiguous) << "round " << round;
            ++ambiguousBlocks;
            continue;
        }
        EXPECT_EQ(back.PlainText(), plain);
        EXPECT_EQ(back.Records(), records) << "round " << round;
    }
    EXPECT_LT(ambiguousBlocks, 10);
}

TEST(BackupEncode, NothingStoredForNoRecordsAndTheStoredTagOtherwise) {
    BackupData empty;
    EXPECT_TRUE(empty.Encode());
    EXPECT_TRUE(empty.EncodedText().empty());
    EXPECT_TRUE(empty.PackedBlock().empty());
    BackupData data;
    data.AppendRecord(File("a long name.mp3", "a.mp3"));
    ASSERT_TRUE(data.Encode());
    ASSERT_GE(data.PackedBlock().size(), 24u);
    EXPECT_EQ(std::string(data.PackedBlock().begin(), data.PackedBlock().begin() + 4), "AP32");
    EXPECT_EQ(data.EncodedText().substr(0, 5), "[V100");
}

std::string EncodedOf(const std::vector<BackupRecord>& records) {
    BackupData data;
    for (const auto& r : records) data.AppendRecord(r);
    EXPECT_TRUE(data.Encode());
    return data.EncodedText();
}

bool Decodes(const std::string& text) {
    BackupData data;
    data.SetEncodedText(text);
    bool ok = data.Decode();
    if (!ok) {
        EXPECT_TRUE(data.Records().empty());
        EXPECT_TRUE(data.PlainText().empty());
    }
    return ok;
}

TEST(BackupDecode, DamagedTextsDecodeToNothing) {
    const std::string good =
        EncodedOf({File("first original name.mp3", "first.mp3"),
                   File("second original name.mp3", "second.mp3"), Dir("Old", "New", 5)});
    ASSERT_TRUE(Decodes(good));

    std::string flipped = good;
    flipped[good.size() - 8] = static_cast<char>(flipped[good.size() - 8] ^ 0x40);
    std::string truncated = good.substr(0, good.size() / 2) + "!eE~]";
    std::string unterminated = good.substr(0, good.size() - 5);
    std::string shortHeader = good.substr(0, 20) + "!eE~]";
    std::string extraByte = good.substr(0, good.size() - 5) + "x!eE~]";
    // A block that is sound in every byte but whose records carry a path.
    BackupData evil;
    evil.SetPlainText("<F:;ok;;fine><F:.mp3;new;.mp3;../escape>");
    ASSERT_TRUE(evil.Encode());
    for (const auto& text : {flipped, truncated, unterminated, shortHeader, extraByte, evil.EncodedText()}) {
        EXPECT_FALSE(Decodes(text)) << text.size();
    }
    // Forged little-endian header fields are refused before anything is allocated.
    const std::pair<std::size_t, std::uint32_t> forged[] = {
        {8, 0xFFFFFFF0u}, {16, 0xFFFFFFF0u}, {4, 23}, {4, 0x7FFFFFFFu}};
    for (const auto& [offset, value] : forged) {
        std::vector<std::uint8_t> block;
        ASSERT_TRUE(UnescapeBackupText(good, block));
        for (int i = 0; i < 4; ++i) block[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        std::copy_n("V100", 4, block.begin());
        EXPECT_FALSE(Decodes(EscapeBackupBlock(block.data(), block.size()))) << offset << " " << value;
    }
}

// Framed garbage and damaged blocks must be refused without reading outside the text.
TEST(BackupDecode, RandomDamageNeverGetsPastTheChecks) {
    std::mt19937 rng(77);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::string good =
        EncodedOf({File("a fairly long original name.mp3", "a.mp3"), Dir("Old.Dir", "New", 9)});
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        if (round % 2) {
            text = "[V100";
            for (int i = static_cast<int>(rng() % 120); i > 0; --i) text += static_cast<char>(byte(rng));
            text += "!eE~]";
        } else {
            text = good;
            for (int flips = 1 + static_cast<int>(rng() % 3); flips > 0; --flips) {
                std::size_t at = 5 + rng() % (text.size() - 10);
                text[at] = static_cast<char>(byte(rng));
            }
        }
        BackupData data;
        data.SetEncodedText(text);
        if (data.Decode()) {
            // Only a change that kept every byte of the block can still read back.
            EXPECT_EQ(data.Records().size(), 2u) << round;
        }
    }
}

}  // namespace
}  // namespace kestrow
