// The restore analysis and apply of one directory against the two decision tables: each row's
// situation built on disk, its reports, its question answered Yes and No, and the disk and lists
// afterwards.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "backup/backupstore.h"
#include "backup/restoredirjob.h"
#include "content/crc32.h"
#include "content/integrity.h"
#include "platform/fs.h"
#include "tests/support/golden.h"
#include "tests/support/recordingreporter.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::ReadFile;
using test::RecordingReporter;
using test::TempDir;
using test::WriteFile;
using Entries = std::vector<std::string>;
using Disk = std::map<std::string, std::string>;

std::uint32_t CrcOfBytes(const std::string& b) {
    return Crc32(0, b.data(), b.size());
}

// Four bytes appended to `head` so that the whole has the given CRC: the CRC of head + x is
// affine in the 32 bits of x, so a linear system over GF(2) gives x.
std::string WithCrc(const std::string& head, std::uint32_t target) {
    auto crcWith = [&](std::uint32_t x) {
        std::string b = head;
        for (int i = 0; i < 4; ++i) b += static_cast<char>((x >> (8 * i)) & 0xFF);
        return CrcOfBytes(b);
    };
    const std::uint32_t base = crcWith(0);
    // Rows: column images of each bit, with the bit itself tracked alongside.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> rows;
    for (int bit = 0; bit < 32; ++bit) rows.push_back({crcWith(1u << bit) ^ base, 1u << bit});
    std::uint32_t want = target ^ base, x = 0;
    for (int bit = 31; bit >= 0; --bit) {
        auto pivot =
            std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return (r.first >> bit) & 1; });
        if (pivot == rows.end()) continue;
        const auto p = *pivot;
        rows.erase(pivot);
        for (auto& r : rows) {
            if ((r.first >> bit) & 1) r = {r.first ^ p.first, r.second ^ p.second};
        }
        if ((want >> bit) & 1) {
            want ^= p.first;
            x ^= p.second;
        }
    }
    std::string b = head;
    for (int i = 0; i < 4; ++i) b += static_cast<char>((x >> (8 * i)) & 0xFF);
    return b;
}

// File contents by key; an SFV entry names the key whose CRC it lists. Key "2" has the CRC
// 00000002, which must not pass for an absent one.
std::string Bytes(const std::string& key) {
    if (key == "2") return WithCrc("a track whose CRC is two", 2);
    return "contents " + key + " of a track";
}
std::string CrcOf(const std::string& key) {
    return CrcText(CrcOfBytes(Bytes(key)));
}

// A release folder with album.sfv ("name key" entries), album.m3u and the records stored in
// "_kestrow.backup".
void BuildRelease(const std::string& dir, const Disk& disk, const Entries& sfvEntries,
                  const Entries& m3uEntries, const std::vector<BackupRecord>& records) {
    test::MakeDirs(dir);
    for (const auto& [name, key] : disk) WriteFile(dir + "/" + name, Bytes(key));
    std::string sfv = "; list\r\n";
    for (const auto& e : sfvEntries) {
        const auto space = e.find(' ');
        sfv += e.substr(0, space) + " " + CrcOf(e.substr(space + 1)) + "\r\n";
    }
    WriteFile(dir + "/album.sfv", sfv);
    std::string m3u = "#EXTM3U\r\n";
    for (const auto& e : m3uEntries) m3u += e + "\r\n";
    WriteFile(dir + "/album.m3u", m3u);
    ListedDir listed(dir);
    ASSERT_TRUE(listed.LoadLists());
    BackupData data;
    for (const auto& r : records) data.AppendRecord(r);
    ASSERT_TRUE(EncodeVerified(data));
    ASSERT_EQ(BackupStore(listed, data).store(BackupSource::BackupFile), "_kestrow.backup");
}

std::unique_ptr<RestoreDirJob> Analysed(const std::string& dir, Reporter& reporter) {
    DirContents scanned(dir);
    EXPECT_TRUE(scanned.Scan());
    auto job = std::make_unique<RestoreDirJob>(scanned);
    EXPECT_TRUE(job->LoadLists());
    EXPECT_EQ(job->FindBackupData(false, reporter), 1);
    job->RestoreAnalysis(RestoreFlag::RestoreTruncated, reporter);
    return job;
}

// What a row leaves: the files by content key, the SFV entries as "name key", the playlist, and
// the number of records still stored.
struct After {
    Disk disk;
    Entries sfv, m3u;
    std::size_t left = 0;
    std::vector<int> reports;  // those of the analysis that state the row
};

std::string Mp3(const std::string& name) {
    return name + ".mp3";
}

// Disk, SFV and playlist columns as written in tests/data/restore_rows.txt.
void ReadLists(After& into, const std::string& disk, const std::string& sfv, const std::string& m3u) {
    for (const auto& w : test::Words(disk))
        into.disk[Mp3(w.substr(0, w.find('=')))] = w.substr(w.find('=') + 1);
    for (const auto& w : test::Words(sfv))
        into.sfv.push_back(Mp3(w.substr(0, w.find('='))) + " " + w.substr(w.find('=') + 1));
    for (const auto& w : test::Words(m3u)) into.m3u.push_back(Mp3(w));
}

// The outcome columns from `at`: reports, disk, SFV, playlist, records left.
After AfterFrom(const std::vector<std::string>& row, std::size_t at) {
    After after;
    for (const auto& w : test::Words(row[at])) after.reports.push_back(std::stoi(w));
    ReadLists(after, row[at + 1], row[at + 2], row[at + 3]);
    after.left = std::stoul(row[at + 4]);
    return after;
}

// The analysis reports that state a row (CRC progress and the listing left out).
std::vector<int> RowReports(const RecordingReporter& r) {
    std::vector<int> out;
    for (int code : r.Codes()) {
        if ((code >= 23 && code <= 37) || code == 47) out.push_back(code);
    }
    return out;
}

// Builds the row's situation, analyses it with every question answered `yes`, applies it and
// compares disk, lists and stored records with `want`.
void RunRow(const std::vector<std::string>& row, bool yes, const After& want) {
    SCOPED_TRACE(row[0] + (yes ? " Yes" : " No"));
    TempDir tmp;
    const std::string dir = tmp / "Release";
    const std::vector<std::string> record = test::Words(row[1]);
    After before;
    ReadLists(before, row[2], row[3], row[4]);
    BuildRelease(dir, before.disk, before.sfv, before.m3u,
                 {{record[0] == "T" ? BackupRecordKind::TempFile : BackupRecordKind::File, Mp3(record[2]),
                   Mp3(record[1]), 0}});
    DirContents scanned(dir);
    ASSERT_TRUE(scanned.Scan());
    RestoreDirJob job(scanned);
    ASSERT_TRUE(job.LoadLists());
    RecordingReporter analysis(1);
    for (int code : {25, 26, 28, 29, 33, 36}) analysis.Always(code, yes ? 0 : -1);
    ASSERT_EQ(job.FindBackupData(false, analysis), 1);
    EXPECT_EQ(job.RestoreAnalysis(RestoreFlag::RestoreTruncated, analysis), 0);
    EXPECT_EQ(RowReports(analysis), want.reports);

    RecordingReporter change(0);
    EXPECT_EQ(job.RestoreApply(2, RestoreApplyFlag::RestoreCRCCheck, change), 1);
    EXPECT_EQ(job.recordsLeft, want.left);
    After got;
    std::vector<platform::DirEntry> entries;
    platform::ListDirectory(dir, entries);
    for (const auto& e : entries) {
        for (const char* key : {"a", "b", "c", "2"}) {
            if (ReadFile(dir + "/" + e.name) == Bytes(key)) got.disk[e.name] = key;
        }
    }
    ListedDir listed(dir);
    ASSERT_TRUE(listed.LoadLists());
    for (const ListEntry& e : listed.sfvLists.at(0).Entries()) {
        for (const char* key : {"a", "b", "c", "2"}) {
            if (CrcTextsEqual(e.Crc(), CrcOf(key))) got.sfv.push_back(e.Text() + " " + key);
        }
    }
    for (const ListEntry& e : listed.m3uLists.at(0).Entries()) got.m3u.push_back(e.Text());
    EXPECT_EQ(got.disk, want.disk);
    EXPECT_EQ(got.sfv, want.sfv);
    EXPECT_EQ(got.m3u, want.m3u);
    // The block goes with its last record; a kept record stays stored.
    EXPECT_EQ(test::Exists(dir + "/_kestrow.backup"), want.left > 0);
}

TEST(RestoreTable, EveryRowAnsweredYesAndNo) {
    const auto rows = test::TableRows("restore_rows.txt");
    ASSERT_EQ(rows.size(), 24u);
    for (const auto& row : rows) {
        ASSERT_TRUE(row.size() == 10 || row.size() == 15) << row[0];
        RunRow(row, true, AfterFrom(row, 5));
        RunRow(row, false, AfterFrom(row, row.size() == 15 ? 10 : 5));
    }
}

class RestoreApplyTest : public ::testing::Test {
protected:
    TempDir tmp;
    std::string dir = tmp / "Release";
    RecordingReporter analysis{1};
    RecordingReporter change{0};
};

// A rename given up at its Retry/Cancel keeps its record stored; the others are done and leave it.
TEST_F(RestoreApplyTest, ARenameGivenUpKeepsItsRecordStored) {
    BuildRelease(dir, {{"a.mp3", "a"}, {"b.mp3", "b"}}, {"a.mp3 a", "b.mp3 b"}, {"a.mp3", "b.mp3"},
                 {{BackupRecordKind::File, "first a.mp3", "a.mp3", 0},
                  {BackupRecordKind::File, "second b.mp3", "b.mp3", 0}});
    auto job = Analysed(dir, analysis);
    // Something takes the second original name after the analysis.
    test::MakeDirs(dir + "/second b.mp3");
    change.Always(ChangeCode::CouldNotRenameFile, -1);
    EXPECT_EQ(job->RestoreApply(2, 0, change), 1);
    EXPECT_EQ(job->recordsLeft, 1u);
    EXPECT_TRUE(test::Exists(dir + "/first a.mp3"));
    EXPECT_TRUE(test::Exists(dir + "/b.mp3"));
    std::filesystem::remove(dir + "/second b.mp3");

    // The next restore finishes the job from the record kept.
    auto again = Analysed(dir, analysis);
    EXPECT_EQ(again->RestoreApply(2, 0, change), 1);
    EXPECT_TRUE(test::Exists(dir + "/second b.mp3"));
    EXPECT_FALSE(test::Exists(dir + "/_kestrow.backup"));
}

// A list that cannot be written, given up, stops the apply before any rename and puts back the
// lists already written.
TEST_F(RestoreApplyTest, AListWriteGivenUpChangesNothing) {
    BuildRelease(dir, {{"a.mp3", "a"}}, {"a.mp3 a"}, {"a.mp3"},
                 {{BackupRecordKind::File, "first a.mp3", "a.mp3", 0}});
    const std::string sfv = ReadFile(dir + "/album.sfv");
    auto job = Analysed(dir, analysis);
    ASSERT_EQ(::chmod((dir + "/album.m3u").c_str(), 0444), 0);
    change.Always(ChangeCode::CouldNotSaveFile, -1);
    EXPECT_EQ(job->RestoreApply(2, 0, change), 0);
    EXPECT_EQ(ReadFile(dir + "/album.sfv"), sfv);
    EXPECT_TRUE(test::Exists(dir + "/a.mp3"));
    EXPECT_TRUE(test::Exists(dir + "/_kestrow.backup"));
}

}  // namespace
}  // namespace kestrow
