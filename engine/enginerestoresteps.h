// The engine's restore steps: scan, lists, the backup-data finder, the restore analysis and apply,
// and the tagline.
#pragma once

#include "engine/hostquestioner.h"
#include "engine/restoresteps.h"

namespace kestrow {

class EngineRestoreSteps : public RestoreSteps {
public:
    // The host shows the list readers' warnings.
    explicit EngineRestoreSteps(JobHost& host) : m_questioner(host) {}

    bool Scan(DirContents& dir) override;
    void LoadLists(RestoreDirJob& job) override;
    int FindBackupData(RestoreDirJob& job, Reporter& reporter) override;
    int RestoreAnalysis(RestoreDirJob& job, int restoreFlags, Reporter& reporter) override;
    int RestoreApply(RestoreDirJob& job, int backupTo, int applyFlags, Reporter& reporter) override;
    int WriteTagline(RestoreDirJob& job, const std::string& prefix, bool noCheck,
                     Reporter& reporter) override;

private:
    HostQuestioner m_questioner;
};

}  // namespace kestrow
