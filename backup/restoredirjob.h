// The per-directory object of the restore pass: the directory with its lists, the backup data
// read from it, and the plan that gives its files and itself their original names back.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "backup/backupdata.h"
#include "backup/restoreplan.h"
#include "content/listeddir.h"
#include "content/reporter.h"
#include "platform/question.h"

namespace kestrow {

// Bits of the restore analysis.
namespace RestoreFlag {
inline constexpr unsigned RestoreTruncated = 1u << 0;
inline constexpr unsigned RestoreWithoutBackupData = 1u << 3;
}  // namespace RestoreFlag

// Bits of the restore apply.
namespace RestoreApplyFlag {
inline constexpr unsigned RestoreCRCCheck = 1u << 0;
inline constexpr unsigned RestoreTaglineTrustExisting = 1u << 1;
}  // namespace RestoreApplyFlag

class RestoreDirJob : public ListedDir {
public:
    explicit RestoreDirJob(const DirContents& scanned) { static_cast<DirContents&>(*this) = scanned; }
    explicit RestoreDirJob(DirContents&& scanned) { static_cast<DirContents&>(*this) = std::move(scanned); }

    // Reads the backup data (see findBackupData): -1 aborted by the user, 0 nothing readable (no
    // list and no backup file, or corrupt data: Corrupt() tells), 1 searched.
    int FindBackupData(bool reloadLists, Reporter& analysisReporter,
                       platform::Questioner* questioner = nullptr);
    // The block found could not be read: the directory must not be changed.
    bool Corrupt() const { return m_corrupt; }

    // Decides every record against the disk and the lists and lists the planned modifications.
    // The disk is not changed; the lists are edited in memory. -1 failed, -2 refused by the user,
    // else the number of subdirectories. Leaves nothingToDo set when no change is planned.
    // Without backup data and with RestoreWithoutBackupData, files that no list knows are matched
    // with the entries that have no file instead; -1 (nothingToDo clear) when files could not be
    // told apart and the directory must stay as it is.
    int RestoreAnalysis(unsigned restoreFlags, Reporter& analysisReporter);

    // Carries the plan out so that at every moment the stored backup data and the lists on disk
    // let a later restore finish the job: the directory first, then the lists (the block kept
    // whole), then the files, and the backup data reduced or removed last. 1 done; 0 the user
    // stopped at a list write before any rename (nothing changed); -1 the remaining records give
    // no valid backup data (nothing changed); -2 they could not be stored back; -3 a list write
    // was given up and the lists could not be put back; -4 the directory's rename was given up
    // (nothing changed). Then the post-analysis fills the integrity results for the tagline.
    int RestoreApply(int prepareBackupTo, unsigned applyFlags, Reporter& changeReporter);

    bool nothingToDo = true;
    // Records still stored after the apply (kept by the analysis or not carried out).
    std::size_t recordsLeft = 0;
    BackupData backup;
    RestorePlan plan;
    // CRCs the analysis computed, by device and inode, for the post-analysis.
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::uint32_t> knownCrcs;

private:
    // The lists as loaded, before the analysis edited them.
    std::vector<SfvList> m_loadedSfv;
    std::vector<M3uList> m_loadedM3u;
    // The encoded block as found, and all its records.
    std::string m_foundBlock;
    std::vector<BackupRecord> m_records;
    bool m_corrupt = false;
};

}  // namespace kestrow
