// The check/prepare steps of the engine: scan, lists, the integrity check, and the change plan
// with its apply. Taglines come with their own module.
#pragma once

#include "engine/hostquestioner.h"
#include "engine/passsteps.h"

namespace kestrow {

class EnginePassSteps : public PassSteps {
public:
    // The host shows the list readers' warnings.
    explicit EnginePassSteps(JobHost& host) : m_questioner(host) {}

    bool Scan(DirContents& dir) override;
    void LoadLists(PrepareDirJob& job) override;
    int CheckIntegrity(PrepareDirJob& job, int checkFlags, bool reload, Reporter& reporter) override;
    int PlanDirectory(PrepareDirJob& job, int maxLength, unsigned renameOptions, bool checkAndTag,
                      Reporter& reporter) override;
    int ApplyPlan(PrepareDirJob& job, int backupTo, Reporter& reporter) override;
    int WriteTagline(PrepareDirJob& job, const std::string& prefix, bool noCheck,
                     Reporter& reporter) override;

private:
    HostQuestioner m_questioner;
};

}  // namespace kestrow
