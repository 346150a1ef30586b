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

const std::string T = "t.mp3";
const std::string O = "o.mp3";

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

struct After {
    Disk disk;    // name -> content key
    Entries sfv;  // "name key"
    Entries m3u;
    std::size_t left;  // records still stored
};

struct Row {
    const char* title;
    Disk disk;
    Entries sfv;
    Entries m3u;
    BackupRecordKind kind;
    std::vector<int> yesReports;  // the restore reports, with every question answered Yes
    After yes;
    std::vector<int> noReports = std::vector<int>();  // empty: as with Yes
    std::optional<After> no = std::nullopt;
    std::string t = T;
    std::string o = O;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.title;
}

// The analysis reports that state a row (CRC progress and the listing left out).
std::vector<int> RowReports(const RecordingReporter& r) {
    std::vector<int> out;
    for (int code : r.Codes()) {
        if ((code >= 23 && code <= 37) || code == 47) out.push_back(code);
    }
    return out;
}

class RestoreTableTest : public ::testing::TestWithParam<Row> {
protected:
    void Build(const Row& row) {
        dir = tmp / "Release";
        BuildRelease(dir, row.disk, row.sfv, row.m3u, {{row.kind, row.o, row.t, 0}});
    }

    void Run(const Row& row, bool yes, const std::vector<int>& reports, const After& after) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        Build(row);
        DirContents scanned(dir);
        ASSERT_TRUE(scanned.Scan());
        RestoreDirJob job(scanned);
        ASSERT_TRUE(job.LoadLists());
        RecordingReporter analysis(1);
        for (int code : {25, 26, 28, 29, 33, 36}) analysis.Always(code, yes ? 0 : -1);
        ASSERT_EQ(job.FindBackupData(false, analysis), 1);
        EXPECT_EQ(job.RestoreAnalysis(RestoreFlag::RestoreTruncated, analysis), 0);
        EXPECT_EQ(RowReports(analysis), reports);

        RecordingReporter change(0);
        EXPECT_EQ(job.RestoreApply(2, RestoreApplyFlag::RestoreCRCCheck, change), 1);
        EXPECT_EQ(job.recordsLeft, after.left);

        Disk disk;
        std::vector<platform::DirEntry> entries;
        platform::ListDirectory(dir, entries);
        for (const auto& e : entries) {
            if (e.name == "album.sfv" || e.name == "album.m3u" || e.name == "_kestrow.backup") continue;
            for (const char* key : {"a", "b", "c", "2"}) {
                if (ReadFile(dir + "/" + e.name) == Bytes(key)) disk[e.name] = key;
            }
        }
        EXPECT_EQ(disk, after.disk);
        ListedDir listed(dir);
        ASSERT_TRUE(listed.LoadLists());
        Entries sfv, m3u;
        for (const ListEntry& e : listed.sfvLists.at(0).Entries()) {
            for (const char* key : {"a", "b", "c", "2"}) {
                if (CrcTextsEqual(e.Crc(), CrcOf(key))) sfv.push_back(e.Text() + " " + key);
            }
        }
        for (const ListEntry& e : listed.m3uLists.at(0).Entries()) m3u.push_back(e.Text());
        EXPECT_EQ(sfv, after.sfv);
        EXPECT_EQ(m3u, after.m3u);
        // The block goes with its last record; a kept record stays stored.
        EXPECT_EQ(test::Exists(dir + "/_kestrow.backup"), after.left > 0);
    }

    TempDir tmp;
    std::string dir;
};

TEST_P(RestoreTableTest, ReportsQuestionAndOutcome) {
    const Row& row = GetParam();
    Run(row, true, row.yesReports, row.yes);
    std::filesystem::remove_all(dir);
    Run(row, false, row.noReports.empty() ? row.yesReports : row.noReports, row.no ? *row.no : row.yes);
}

constexpr auto F = BackupRecordKind::File;
constexpr auto Tmp = BackupRecordKind::TempFile;

INSTANTIATE_TEST_SUITE_P(
    Rows, RestoreTableTest,
    ::testing::Values(
        Row{"R1_RenamedFileRestored", {{T, "a"}}, {T + " a"}, {T}, F, {23}, {{{O, "a"}}, {O + " a"}, {O}, 0}},
        Row{"R2_OriginalListedWithSameCrc",
            {{T, "a"}},
            {T + " a", O + " a"},
            {T},
            F,
            {23, 24},
            {{{O, "a"}}, {O + " a"}, {O}, 0}},
        Row{"R3_OriginalListedWithOtherCrc",
            {{T, "a"}},
            {T + " a", O + " b"},
            {T},
            F,
            {23, 25},
            {{{O, "a"}}, {O + " a"}, {O}, 0},
            {},
            After{{{O, "a"}}, {O + " a", O + " b"}, {O}, 0}},
        Row{"R4_CorruptRestoredAnyway",
            {{T, "b"}},
            {T + " a"},
            {T},
            F,
            {26},
            {{{O, "b"}}, {O + " a"}, {O}, 0},
            {},
            After{{{T, "b"}}, {T + " a"}, {T}, 1}},
        Row{"R4a_CorruptWithOriginalListed",
            {{T, "b"}},
            {T + " a", O + " a"},
            {T},
            F,
            {},
            {{{T, "b"}}, {T + " a", O + " a"}, {T}, 0}},
        Row{"R5_NoCrcForRenamedFile", {{T, "a"}}, {}, {T}, F, {27}, {{{O, "a"}}, {}, {O}, 0}},
        Row{"R5_NoCrcOriginalListedOtherCrc",
            {{T, "a"}},
            {O + " b"},
            {T},
            F,
            {27, 25},
            {{{O, "a"}}, {}, {O}, 0},
            {},
            After{{{O, "a"}}, {O + " b"}, {O}, 0}},
        Row{"R5a_BothOnDiskRenamedUnlisted",
            {{T, "a"}, {O, "b"}},
            {},
            {T},
            F,
            {},
            {{{T, "a"}, {O, "b"}}, {}, {T}, 0}},
        // A list that does not name the original yet points the renamed file's entry at it.
        Row{"R6_Identical",
            {{T, "a"}, {O, "a"}},
            {T + " a"},
            {T, O},
            F,
            {28},
            {{{O, "a"}}, {O + " a"}, {O}, 0},
            {},
            After{{{T, "a"}, {O, "a"}}, {T + " a"}, {T, O}, 1}},
        Row{"R7_BadOriginalReplacedInOneRename",
            {{T, "a"}, {O, "b"}},
            {T + " a"},
            {T},
            F,
            {29},
            {{{O, "a"}}, {O + " a"}, {O}, 0},
            {},
            After{{{T, "a"}, {O, "b"}}, {T + " a"}, {T}, 1}},
        Row{"R8_CorruptRenamedFileDeleted",
            {{T, "b"}, {O, "a"}},
            {T + " a", O + " a"},
            {T, O},
            F,
            {30},
            {{{O, "a"}}, {O + " a"}, {O}, 0}},
        Row{"R6to8_NoneFitsKeepsBoth",
            {{T, "b"}, {O, "c"}},
            {T + " a"},
            {T},
            F,
            {47},
            {{{T, "b"}, {O, "c"}}, {T + " a"}, {T}, 1}},
        Row{"R9_NeitherOnDisk", {}, {T + " a"}, {T}, F, {}, {{}, {T + " a"}, {T}, 0}},
        Row{"R10_OriginalOnlyUnlisted", {{O, "a"}}, {}, {O}, F, {31}, {{{O, "a"}}, {}, {O}, 0}},
        Row{"R11_RenamedListedWithOriginalsCrc",
            {{O, "a"}},
            {T + " a", O + " a"},
            {T},
            F,
            {31, 32},
            {{{O, "a"}}, {O + " a"}, {O}, 0}},
        Row{"R12_RenamedListedWithOtherCrc",
            {{O, "a"}},
            {T + " b", O + " a"},
            {T, O},
            F,
            {31, 33, 34},
            {{{O, "a"}}, {O + " a"}, {O}, 0},
            {31, 33},
            After{{{O, "a"}}, {T + " b", O + " a"}, {T, O}, 0}},
        Row{"R13_OriginalGood",
            {{O, "a"}},
            {O + " a"},
            {T, O},
            F,
            {31, 34},
            {{{O, "a"}}, {O + " a"}, {O}, 0}},
        Row{"R14_OriginalBad", {{O, "b"}}, {O + " a"}, {T, O}, F, {31, 35}, {{{O, "b"}}, {O + " a"}, {O}, 0}},
        // The lists follow a special rename back, as they follow a file record.
        Row{"Temp_BothOverwrite",
            {{T, "a"}, {O, "b"}},
            {T + " a", O + " b"},
            {T, O},
            Tmp,
            {36},
            {{{O, "a"}}, {O + " a"}, {O}, 0},
            {},
            After{{{T, "a"}, {O, "b"}}, {T + " a", O + " b"}, {T, O}, 1}},
        Row{"Temp_RenamedMissing", {{O, "b"}}, {O + " b"}, {O}, Tmp, {37}, {{{O, "b"}}, {O + " b"}, {O}, 0}},
        Row{"Temp_RenamedOnly", {{T, "a"}}, {T + " a"}, {T}, Tmp, {}, {{{O, "a"}}, {O + " a"}, {O}, 0}},
        Row{"Temp_Neither", {}, {}, {}, Tmp, {}, {{}, {}, {}, 0}},
        Row{"AbsentCrcIsNotCrcTwo", {{T, "2"}}, {T + " 2"}, {T}, F, {23}, {{{O, "2"}}, {O + " 2"}, {O}, 0}},
        // One file found under both names is the renamed file alone: a case-only rename.
        Row{"SameFileUnderBothNames",
            {{"Song.mp3", "a"}},
            {"Song.mp3 a"},
            {"Song.mp3"},
            F,
            {23},
            {{{"song.mp3", "a"}}, {"song.mp3 a"}, {"song.mp3"}, 0},
            {},
            std::nullopt,
            "Song.mp3",
            "song.mp3"}),
    [](const auto& info) { return std::string(info.param.title); });

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
