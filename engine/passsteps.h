// The engine steps the check/prepare pass calls on each directory, behind one interface so that
// the pass can be driven by other steps (the tests' fakes, and steps as they are built).
#pragma once

#include <string>

#include "content/dircontents.h"
#include "content/reporter.h"
#include "engine/dirscanner.h"

namespace kestrow {

class PrepareDirJob;

class PassSteps : public DirScanner {
public:
    virtual void LoadLists(PrepareDirJob& job) = 0;
    // A CheckResult; negative when the check stopped at the user's request or found backup data.
    virtual int CheckIntegrity(PrepareDirJob& job, int checkFlags, bool reload, Reporter& reporter) = 0;
    // kPlanRefused when the user refused; above 0 (the number of subdirectories) the pass
    // descends. Leaves job.nothingToDo set when no change is planned.
    virtual int PlanDirectory(PrepareDirJob& job, int maxLength, unsigned renameOptions, bool checkAndTag,
                              Reporter& reporter) = 0;
    // An ApplyResult: kApplied, or why the apply did not complete.
    virtual int ApplyPlan(PrepareDirJob& job, int backupTo, Reporter& reporter) = 0;
    virtual int WriteTagline(PrepareDirJob& job, const std::string& prefix, bool noCheck,
                             Reporter& reporter) = 0;
};

}  // namespace kestrow
