// The run state of a job shared by the window (or console), the runner and the pass workers.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "engine/specialfilerulelists.h"

namespace kestrow {

class PrepareDirJob;
class RestoreDirJob;

// Each flag has one writer per transition and is polled by the other side, so plain atomics are
// all the ordering needed.
class JobControl {
public:
    std::atomic<bool> pauseRequested{false};
    std::atomic<bool> abortRequested{false};
    std::atomic<int> accepted{0};
    std::atomic<int> rejected{0};
    // "USER ABORTED!" has been logged for the current abort.
    std::atomic<bool> abortReported{false};
    // Set while the front end is closing: pending confirmations and questions are refused.
    std::atomic<bool> shuttingDown{false};

    // Held by a pass worker for its whole pass.
    std::mutex jobLock;
    // The directory the current pass worker runs on; owned by the runner.
    PrepareDirJob* prepareJob = nullptr;
    RestoreDirJob* restoreJob = nullptr;

    // Built by the runner at job start, released at job end.
    SpecialFileRuleLists rules;

    // Unattended run: mode letter ("C", "P" or "R"), directory and the name of the one directory
    // to process.
    std::string commandLineMode;
    std::string commandLineDir;
    std::string commandLineName;

    // What the job met, for a front end that sums a run up (the console's exit status).
    std::atomic<bool> sawProblemFiles{false};   // listed files missing or corrupt
    std::atomic<bool> sawRefusal{false};        // refused or aborted directories
    std::atomic<bool> sawFailure{false};        // failed operations
    std::atomic<bool> sawUnreadableDir{false};  // a directory that could not be found or read

    bool CommandLineRun() const { return !commandLineMode.empty() && !commandLineDir.empty(); }
    void ResetOutcome() {
        sawProblemFiles = false;
        sawRefusal = false;
        sawFailure = false;
        sawUnreadableDir = false;
    }
};

}  // namespace kestrow
