// A restore without backup data: renamed files found again by CRC and by the likeness of their
// names, planned through the same apply, and the cases where nothing may be renamed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "backup/restoredirjob.h"
#include "content/crc32.h"
#include "content/integrity.h"
#include "platform/fs.h"
#include "tests/support/golden.h"
#include "tests/support/recordingreporter.h"
#include "tests/support/tempdir.h"

namespace kestrow {
namespace {

using test::RecordingReporter;
using test::TempDir;
// Name -> content key; key "/" is a folder, "->target" a symbolic link to target.
using Disk = std::map<std::string, std::string>;

std::string Bytes(const std::string& key) {
    return "contents " + key + " of a track";
}

// The entries of a table field, split at ",": "NAME=KEY" pairs or plain names (key empty).
std::vector<std::pair<std::string, std::string>> Pairs(const std::string& field) {
    std::vector<std::pair<std::string, std::string>> out;
    for (std::size_t at = 0; at < field.size();) {
        std::size_t comma = std::min(field.find(',', at), field.size());
        std::string item = field.substr(at, comma - at);
        item.erase(0, item.find_first_not_of(' '));
        const std::size_t eq = item.find('=');
        out.emplace_back(item.substr(0, eq), eq == std::string::npos ? "" : item.substr(eq + 1));
        at = comma + 1;
    }
    return out;
}

class Unbacked {
public:
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

    // Builds the row's directory, runs the analysis and the apply, and checks the outcome.
    void Run(const std::vector<std::string>& row) {
        test::MakeDirs(dir);
        for (const auto& [name, key] : Pairs(row[1])) {
            if (key == "/") {
                test::MakeDirs(dir + "/" + name);
            } else if (key.rfind("->", 0) == 0) {
                test::WriteFile(tmp / key.substr(2), Bytes("a"));
                ASSERT_EQ(::symlink((tmp / key.substr(2)).c_str(), (dir + "/" + name).c_str()), 0);
            } else {
                test::WriteFile(dir + "/" + name, Bytes(key));
            }
        }
        std::string sfv, m3u;
        for (const auto& [name, key] : Pairs(row[2])) {
            const std::string bytes = Bytes(key);
            sfv += name + " " + CrcText(Crc32(0, bytes.data(), bytes.size())) + "\r\n";
        }
        for (const auto& entry : Pairs(row[3])) m3u += entry.first + "\r\n";
        if (!sfv.empty()) test::WriteFile(dir + "/album.sfv", sfv);
        if (!m3u.empty()) test::WriteFile(dir + "/album.m3u", m3u);
        const Disk before = Files();
        Disk after;
        for (const auto& [name, key] : Pairs(row[5])) after[name] = key;

        DirContents scanned(dir);
        ASSERT_TRUE(scanned.Scan());
        RestoreDirJob job(scanned);
        ASSERT_TRUE(job.LoadLists());
        RecordingReporter analysis(1);
        analysis.Always(static_cast<int>(RestoreAnalysisCode::AmbiguousWithoutBackup), -1);
        ASSERT_EQ(job.FindBackupData(false, analysis), 1);
        const unsigned flags = RestoreFlag::RestoreTruncated | RestoreFlag::RestoreWithoutBackupData;
        const int result = std::stoi(row[4]);
        EXPECT_EQ(job.RestoreAnalysis(flags, analysis), result);
        std::string reports;
        for (int code : analysis.Codes()) {
            if (code == 46 || code == 49) reports += (reports.empty() ? "" : " ") + std::to_string(code);
        }
        EXPECT_EQ(reports, row[6]);
        if (result >= 0) {
            RecordingReporter change(0);
            EXPECT_EQ(job.RestoreApply(2, RestoreApplyFlag::RestoreCRCCheck, change), 1);
        }
        EXPECT_EQ(Files(), after.empty() ? before : after);

        // Restored, the directory has nothing left to match.
        if (after.empty()) return;
        DirContents again(dir);
        ASSERT_TRUE(again.Scan());
        RestoreDirJob second(again);
        ASSERT_TRUE(second.LoadLists());
        ASSERT_EQ(second.FindBackupData(false, analysis), 1);
        EXPECT_EQ(second.RestoreAnalysis(flags, analysis), 0);
        EXPECT_TRUE(second.nothingToDo);
    }

    TempDir tmp;
    std::string dir = tmp / "Release";
};

TEST(UnbackedTable, EveryRowMatchesPlansAndApplies) {
    const auto rows = test::TableRows("unbacked_rows.txt");
    ASSERT_EQ(rows.size(), 10u);
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0]);
        ASSERT_EQ(row.size(), 7u);
        Unbacked().Run(row);
    }
}

}  // namespace
}  // namespace kestrow
