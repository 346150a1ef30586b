// The engine's check/prepare steps.
#include "engine/enginepasssteps.h"

#include "content/integrity.h"
#include "engine/preparedirjob.h"
#include "platform/fs.h"
#include "rename/changeplan.h"
#include "tagline/tagline.h"

namespace kestrow {

bool EnginePassSteps::Scan(DirContents& dir) {
    return dir.Scan();
}

void EnginePassSteps::LoadLists(PrepareDirJob& job) {
    job.LoadLists(&m_questioner);
    // A write killed in an earlier run may have left its temporary file; the listing passed it
    // over, and it goes before it could be burned with the release.
    for (const std::string& name : job.OwnTemporaries()) platform::RemoveOwnTemporary(job.DirPath() + name);
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
    const int result = kestrow::ApplyPlan(job, job.plan, backupTo, reporter, job.abortRequested);
    // Renaming the directory changes an entry of its parent, whose listing a walk may hold.
    if (job.plan.HasDirRename() && job.parent) job.parent->ListingChanged();
    return result;
}

int EnginePassSteps::WriteTagline(PrepareDirJob& job, const std::string& prefix, bool noCheck,
                                  Reporter& reporter) {
    return kestrow::WriteTagline(job, prefix, noCheck, true, true, true, true, reporter);
}

}  // namespace kestrow
