// The engine steps the restore pass calls on each directory, behind one interface so that the
// pass can be driven by other steps (the tests' fakes).
#pragma once

#include <string>

#include "content/reporter.h"
#include "engine/dirscanner.h"

namespace kestrow {

class RestoreDirJob;

class RestoreSteps : public DirScanner {
public:
    virtual void LoadLists(RestoreDirJob& job) = 0;
    // Above 0 when the lists were searched (job.backup tells whether a block was read); 0 when
    // there was nothing to read; -1 stopped by the user; -2 the block found is damaged.
    virtual int FindBackupData(RestoreDirJob& job, Reporter& reporter) = 0;
    // -1 failed, -2 refused by the user, else the number of subdirectories. Leaves
    // job.nothingToDo set when no change is planned.
    virtual int RestoreAnalysis(RestoreDirJob& job, int restoreFlags, Reporter& reporter) = 0;
    // 0 stopped by the user, -1 no valid backup data, -2 backup data not written back, -3
    // stopped after backup data was stored, -4 to be retried, anything else done.
    virtual int RestoreApply(RestoreDirJob& job, int backupTo, int applyFlags, Reporter& reporter) = 0;
    virtual int WriteTagline(RestoreDirJob& job, const std::string& prefix, bool noCheck,
                             Reporter& reporter) = 0;
};

}  // namespace kestrow
