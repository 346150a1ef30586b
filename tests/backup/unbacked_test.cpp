// A restore without backup data: renamed files found again by CRC and by the likeness of their
// names, planned through the same apply, and the cases where nothing may be renamed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "backup/restoredirjob.h"
#include "content/crc32.h"
#include "content/integrity.h"
#include "platform/fs.h"
#include "tests/support/recordingreporter.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::RecordingReporter;
using test::TempDir;
// Name -> content key; key "/" is a folder, "->target" a symbolic link to target.
using Disk = std::map<std::string, std::string>;
using Entries = std::vector<std::string>;

std::string Bytes(const std::string& key) {
    return "contents " + key + " of a track";
}

struct Row {
    const char* title;
    Disk disk;
    Entries sfv;  // "name key": the entry lists the CRC of that key's contents
    Entries m3u;
    int result;  // of the analysis: 0 (no subdirectory) or -1
    Disk after;
    std::vector<int> reports = {};  // the ambiguity and name-taken reports
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.title;
}

class UnbackedTest : public ::testing::TestWithParam<Row> {
protected:
    Disk Files() const {
        Disk disk;
        std::vector<platform::DirEntry> entries;
        platform::ListDirectory(dir, entries);
        for (const auto& e : entries) {
            if (e.name.rfind("album.", 0) == 0) continue;  // the lists
            disk[e.name] = e.kind == platform::EntryKind::Directory ? "/"
                           : e.symlink                              ? "->"
                                       : test::ReadFile(dir + "/" + e.name).substr(9, 1);
        }
        return disk;
    }

    TempDir tmp;
    std::string dir = tmp / "Release";
};

TEST_P(UnbackedTest, MatchesPlansAndApplies) {
    const Row& row = GetParam();
    test::MakeDirs(dir);
    for (const auto& [name, key] : row.disk) {
        if (key == "/") {
            test::MakeDirs(dir + "/" + name);
        } else if (key.rfind("->", 0) == 0) {
            test::WriteFile(tmp / key.substr(2), Bytes("a"));
            ASSERT_EQ(::symlink((tmp / key.substr(2)).c_str(), (dir + "/" + name).c_str()), 0);
        } else {
            test::WriteFile(dir + "/" + name, Bytes(key));
        }
    }
    if (!row.sfv.empty()) {
        std::string sfv;
        for (const std::string& e : row.sfv) {
            const std::string bytes = Bytes(e.substr(e.rfind(' ') + 1));
            sfv += e.substr(0, e.rfind(' ')) + " " + CrcText(Crc32(0, bytes.data(), bytes.size())) + "\r\n";
        }
        test::WriteFile(dir + "/album.sfv", sfv);
    }
    std::string m3u;
    for (const std::string& e : row.m3u) m3u += e + "\r\n";
    if (!row.m3u.empty()) test::WriteFile(dir + "/album.m3u", m3u);
    const Disk before = Files();

    DirContents scanned(dir);
    ASSERT_TRUE(scanned.Scan());
    RestoreDirJob job(scanned);
    ASSERT_TRUE(job.LoadLists());
    RecordingReporter analysis(1);
    analysis.Always(static_cast<int>(RestoreAnalysisCode::AmbiguousWithoutBackup), -1);
    ASSERT_EQ(job.FindBackupData(false, analysis), 1);
    const unsigned flags = RestoreFlag::RestoreTruncated | RestoreFlag::RestoreWithoutBackupData;
    EXPECT_EQ(job.RestoreAnalysis(flags, analysis), row.result);
    std::vector<int> reports;
    for (int code : analysis.Codes()) {
        if (code == 46 || code == 49) reports.push_back(code);
    }
    EXPECT_EQ(reports, row.reports);
    if (row.result >= 0) {
        RecordingReporter change(0);
        EXPECT_EQ(job.RestoreApply(2, RestoreApplyFlag::RestoreCRCCheck, change), 1);
    }
    EXPECT_EQ(Files(), row.after.empty() ? before : row.after);

    // Restored, the directory has nothing left to match.
    if (row.after.empty()) return;
    DirContents again(dir);
    ASSERT_TRUE(again.Scan());
    RestoreDirJob second(again);
    ASSERT_TRUE(second.LoadLists());
    ASSERT_EQ(second.FindBackupData(false, analysis), 1);
    EXPECT_EQ(second.RestoreAnalysis(flags, analysis), 0);
    EXPECT_TRUE(second.nothingToDo);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnbackedTest,
    ::testing::Values(
        // The name that looks like the other entry does not count against the CRC.
        Row{"CrcMatchesWhateverTheNames",
            {{"02-other-x.mp3", "a"}, {"q.mp3", "b"}},
            {"01-long title.mp3 a", "02-other.mp3 b"},
            {"01-long title.mp3", "02-other.mp3"},
            0,
            {{"01-long title.mp3", "a"}, {"02-other.mp3", "b"}}},
        Row{"PlaylistOnlyEntriesByName",
            {{"01-artist-first.mp3", "a"}, {"02-artist-second.mp3", "b"}},
            {},
            {"01-artist-first song.mp3", "02-artist-second song.mp3"},
            0,
            {{"01-artist-first song.mp3", "a"}, {"02-artist-second song.mp3", "b"}}},
        Row{"FiveKindsNeverRenamed",
            {{"cover.JPG", "a"}, {"info.Nfo", "b"}, {"logo.Gif", "c"}, {"extra.Sfv", "d"}, {"more.m3U", "e"}},
            {},
            {"cover.mp3", "info.mp3", "logo.mp3", "extra.mp3", "more.mp3"},
            0,
            {}},
        // The renamed file found by its CRC stays where it is too: nothing changes.
        Row{"TieForTheLastFileChangesNothing",
            {{"one.mp3", "a"}, {"track.mp3", "c"}},
            {"first.mp3 a", "track1.mp3 x", "track2.mp3 y"},
            {},
            -1,
            {},
            {46}},
        Row{"TieForAnEarlierFileTakesTheFirstEntry",
            {{"track.mp3", "c"}, {"x2.mp3", "d"}},
            {"track1.mp3 x", "track2.mp3 y"},
            {},
            0,
            {{"track1.mp3", "c"}, {"track2.mp3", "d"}}},
        Row{"NameTakenOnDiskIsReportedAndSkipped",
            {{"song.mp3", "a"}, {"Track.mp3", "/"}},
            {"track.mp3 a"},
            {},
            1,
            {},
            {49}},
        // song.mp3, named by the playlist alone, could take an SFV entry with its CRC; the link
        // could take the playlist's track.mp3 by name.
        Row{"FolderPartsAndLinksAreNotMatched",
            {{"song.mp3", "b"}, {"link.mp3", "->outside.mp3"}},
            {"cd1\\song one.mp3 b", "../song one.mp3 b"},
            {"song.mp3", "track.mp3"},
            0,
            {}},
        // Lists that name two case twins: a twin on disk is neither the other's file nor its
        // name, and each gets its own name back.
        Row{"ACaseTwinOnDiskLeavesTheOtherItsName",
            {{"04-Twin.mp3", "a"}, {"track4.mp3", "b"}},
            {"04-Twin.mp3 a", "04-twin.mp3 b"},
            {"04-Twin.mp3", "04-twin.mp3"},
            0,
            {{"04-Twin.mp3", "a"}, {"04-twin.mp3", "b"}}},
        Row{"BothCaseTwinsRenamedComeBack",
            {{"x1.mp3", "a"}, {"x2.mp3", "b"}},
            {"04-Twin.mp3 a", "04-twin.mp3 b"},
            {"04-Twin.mp3", "04-twin.mp3"},
            0,
            {{"04-Twin.mp3", "a"}, {"04-twin.mp3", "b"}}},
        // The cue sheet that the SFV list holds keeps its name; the retagged track gets its own.
        Row{"FileListedInOneKindTakesOnlyTheOtherKind",
            {{"release.cue", "c"}, {"01-x.mp3", "b"}},
            {"release.cue c", "01-track.mp3 a"},
            {"01-track.mp3"},
            0,
            {{"release.cue", "c"}, {"01-track.mp3", "b"}}}),
    [](const auto& info) { return std::string(info.param.title); });

}  // namespace
}  // namespace kestrow
