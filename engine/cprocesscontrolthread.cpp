// The job runner.
#include "engine/cprocesscontrolthread.h"

#include <memory>
#include <utility>
#include <vector>

#include "backup/restoredirjob.h"
#include "content/dircontents.h"
#include "engine/cprocessthread.h"
#include "engine/passframe.h"
#include "engine/preparedirjob.h"

namespace kestrow {

template <typename Job>
void CProcessControlThread::RunWorker(Job*& slot, Job* job) {
    JobControl& control = m_context->control;
    control.rejected = 0;
    control.accepted = m_context->host.Options().ConfirmChanges ? 0 : 1;
    slot = job;
    CProcessThread worker;
    worker.Attach(*m_context);
    worker.Start();
    // The job object lives until its worker is joined, and joining is the settling: nothing of
    // the pass is still running.
    worker.Join();
    slot = nullptr;
}

int CProcessControlThread::Run() {
    if (!m_context) return -1;
    const PassContext& ctx = *m_context;
    JobHost& host = ctx.host;
    JobControl& control = ctx.control;
    const ProcessOptions& options = host.Options();

    DirContents working;
    const bool single = control.CommandLineRun() && !control.commandLineName.empty();
    if (control.CommandLineRun() && control.commandLineName.empty()) host.SelectAllDirs();

    std::vector<std::string> names;
    if (single)
        names.push_back(control.commandLineName);
    else
        names = host.SelectedDirNames();

    if (names.empty()) {
        host.Ask(HostQuestion{"Please select the directories you wish to process!", "No selection",
                              platform::Buttons::Ok, platform::Icon::Information, platform::Answer::Ok});
    } else {
        control.rules = options.DeleteTempFiles && options.lastProcessOption == 1
                            ? BuildRuleLists(options.specialFileLines)
                            : SpecialFileRuleLists{};
        // Once per job, so that a broken rule is not met silently in every directory.
        for (const std::string& line : control.rules.skippedLines) {
            host.LogColouredLine(
                LogColour::White, LogColour::Red,
                "Special file rule skipped, a rename needs \" -> \" and a plain file name: " + line);
        }

        // The runner keeps its own view of the folder: the list the user sees may be refilled
        // while the job runs.
        DirContents folder(host.CurrentFolder());
        ctx.steps.Scan(folder);
        // The passes report their renames in the folder; it is not listed again for each name.
        const HeldListing held(folder);

        host.SetJobState(JobState::Running);
        control.pauseRequested = false;
        control.abortRequested = false;
        // A new job reports its own abort, whatever the last one did.
        control.abortReported = false;
        host.EnableAbortPause(true);

        // A pass changes only its own directory and the markers named after it, so the view of
        // the folder stays good for the other names; it is read again only when a name is not
        // in it.
        bool folderChanged = false;
        for (const std::string& name : names) {
            if (control.shuttingDown) break;
            if (folderChanged && folder.FindSubdir(name) != 0) {
                folder.ListingChanged();
                ctx.steps.Scan(folder);
                folderChanged = false;
            }
            const FileEntry* subdir = folder.GetSubdir(name);
            if (!subdir) {
                ReportMissingDirectory(*m_context, name);
                continue;
            }
            // The name as it stands on disk: a selection may differ from it in case only.
            working.SetPath(folder.DirPath() + subdir->path.LastComponent());
            if (!ctx.steps.Scan(working)) {
                ReportMissingDirectory(*m_context, name);
                continue;
            }
            // The job takes the listing just made: loading its lists does not read a large
            // directory a second time.
            if (options.lastProcessOption == 1 || options.lastProcessOption == 2) {
                auto job = std::make_unique<PrepareDirJob>(std::move(working));
                working = DirContents();
                {
                    const HeldListing fresh(*job);
                    ctx.steps.LoadLists(*job);
                }
                job->groupTags = options.preserveGrptag ? &options.groupTags : nullptr;
                job->parent = &folder;
                job->rules = &control.rules;
                RunWorker(control.prepareJob, job.get());
            } else if (ctx.restore) {
                auto job = std::make_unique<RestoreDirJob>(std::move(working));
                working = DirContents();
                {
                    const HeldListing fresh(*job);
                    ctx.restore->LoadLists(*job);
                }
                job->parent = &folder;
                RunWorker(control.restoreJob, job.get());
            } else {
                control.sawFailure = true;
            }
            folderChanged = true;
        }

        host.EnableAbortPause(false);
        host.RefillDirList();
    }

    control.rules = SpecialFileRuleLists{};
    host.SetJobState(JobState::Idle);
    if (control.CommandLineRun()) host.CloseAfterUnattendedRun();
    return 0;
}

void CProcessControlThread::StartWith(std::function<void()> finished) {
    Join();
    m_thread = std::thread([this, finished = std::move(finished)] {
        Run();
        if (finished) finished();
    });
}

void CProcessControlThread::Join() {
    if (m_thread.joinable()) m_thread.join();
}

}  // namespace kestrow
