// One front end's way to run jobs: it hands over a request, receives the reports and steers the
// job with the window's buttons (or the console's keys). The console and the window share it.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "engine/jobcontrol.h"
#include "engine/jobhost.h"
#include "settings/processoptions.h"

namespace kestrow {

// What a job works on. The options are a copy taken when the job starts, so that a worker never
// reads a field the user-interface thread may write; ConfirmChanges and SuppressAlerts stay
// changeable through the session while the job runs.
struct JobRequest {
    std::string folder;              // ends with "/"
    std::vector<std::string> names;  // selected subdirectories, in list order
    ProcessOptions options;
    // An unattended run: the mode letter ('C', 'P', 'R'), the directory and the one name in it
    // to process (empty: every subdirectory of the folder).
    char unattendedMode = 0;
    std::string unattendedDir;
    std::string unattendedName;
};

class JobSession {
public:
    JobSession(JobReports& reports, JobControl& control);
    // Shuts a running job down and joins it.
    ~JobSession();
    JobSession(const JobSession&) = delete;
    JobSession& operator=(const JobSession&) = delete;

    // Starts the job on its runner thread and returns at once; false while a job still runs.
    bool Start(JobRequest request);
    // Runs the job on the calling thread's behalf and returns when it has ended.
    void Run(JobRequest request);
    void Join();
    // A job was started and has not been joined yet.
    bool Active() const;
    // The runner has returned (JobFinished was reported).
    bool Finished() const { return m_finished; }

    // The two options a running job follows at their next use.
    void SetConfirmChanges(bool on);
    void SetSuppressAlerts(bool on);

    // The buttons of a running job.
    void Accept() { m_control.accepted = 1; }
    void Reject() { m_control.rejected = 1; }
    void Pause() { m_control.pauseRequested = true; }
    void Continue() { m_control.pauseRequested = false; }
    void Abort() { m_control.abortRequested = true; }
    // Closing the front end: refuses what waits, stops the pass at its next check and ends
    // every question with its refusing answer. The caller still joins.
    void Shutdown();

    JobControl& control() { return m_control; }
    const ProcessOptions& options() const;

private:
    class Host;

    JobControl& m_control;
    std::unique_ptr<Host> m_host;
    std::atomic<bool> m_finished{false};
};

}  // namespace kestrow
