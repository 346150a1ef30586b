// The engine's restore steps.
#include "engine/enginerestoresteps.h"

#include "backup/restoredirjob.h"
#include "tagline/tagline.h"

namespace kestrow {

bool EngineRestoreSteps::Scan(DirContents& dir) {
    return dir.Scan();
}

void EngineRestoreSteps::LoadLists(RestoreDirJob& job) {
    job.LoadLists(&m_questioner);
}

int EngineRestoreSteps::FindBackupData(RestoreDirJob& job, Reporter& reporter) {
    const int found = job.FindBackupData(false, reporter, &m_questioner);
    return job.Corrupt() ? -2 : found;
}

int EngineRestoreSteps::RestoreAnalysis(RestoreDirJob& job, int restoreFlags, Reporter& reporter) {
    return job.RestoreAnalysis(static_cast<unsigned>(restoreFlags), reporter);
}

int EngineRestoreSteps::RestoreApply(RestoreDirJob& job, int backupTo, int applyFlags, Reporter& reporter) {
    return job.RestoreApply(backupTo, static_cast<unsigned>(applyFlags), reporter);
}

int EngineRestoreSteps::WriteTagline(RestoreDirJob& job, const std::string& prefix, bool noCheck,
                                     Reporter& reporter) {
    return kestrow::WriteTagline(job, prefix, noCheck, true, true, true, true, reporter);
}

}  // namespace kestrow
