// The engine's check/prepare steps.
#include "engine/enginepasssteps.h"

#include "content/integrity.h"
#include "engine/preparedirjob.h"
#include "rename/changeplan.h"
#include "tagline/tagline.h"

namespace kestrow {

bool EnginePassSteps::Scan(DirContents& dir) {
    return dir.Scan();
}

void EnginePassSteps::LoadLists(PrepareDirJob& job) {
    job.LoadLists(&m_questioner);
}

int EnginePassSteps::CheckIntegrity(PrepareDirJob& job, int checkFlags, bool reload, Reporter& reporter) {
    return kestrow::CheckIntegrity(job, static_cast<unsigned>(checkFlags), reload, reporter, &m_questioner);
}

int EnginePassSteps::PlanDirectory(PrepareDirJob& job, int maxLength, unsigned renameOptions,
                                   bool checkAndTag, Reporter& reporter) {
    const int result = kestrow::PlanDirectory(job, job.plan, PlanSettings{job.groupTags, job.rules},
                                              maxLength, RenameOptions(renameOptions), checkAndTag, reporter);
    job.nothingToDo = job.plan.nothingToDo;
    return result;
}

int EnginePassSteps::ApplyPlan(PrepareDirJob& job, int backupTo, Reporter& reporter) {
    return kestrow::ApplyPlan(job, job.plan, backupTo, reporter, job.abortRequested);
}

int EnginePassSteps::WriteTagline(PrepareDirJob& job, const std::string& prefix, bool noCheck,
                                  Reporter& reporter) {
    return kestrow::WriteTagline(job, prefix, noCheck, true, true, true, true, reporter);
}

}  // namespace kestrow
