// The per-directory frame of the check/prepare pass.
#include "engine/checkpreparedirectory.h"

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/logtexts.h"
#include "engine/passoptions.h"
#include "platform/fs.h"

namespace kestrow {

namespace {

class CheckPreparePass {
public:
    explicit CheckPreparePass(const PassContext& context)
        : m_ctx(context), m_host(context.host), m_control(context.control) {}

    int Directory(PrepareDirJob& job);

private:
    enum class HoldEnd { Continued, Aborted };
    enum class Confirmation { Accepted, Refused };

    HoldEnd Hold();
    Confirmation WaitForConfirmation();
    void Refuse();
    int EndOfDirectory(int passResult);
    void Tagline(PrepareDirJob& job, const ProcessOptions& options);
    void WalkSubdirectories(PrepareDirJob& job);
    void Separator() { m_host.LogLine(std::string(kSeparator)); }
    void Sleep() { std::this_thread::sleep_for(m_ctx.pollInterval); }

    const PassContext& m_ctx;
    JobHost& m_host;
    JobControl& m_control;
    // Directories on the current path, so that a link back up the tree is never entered.
    std::vector<platform::FileId> m_ancestors;
};

CheckPreparePass::HoldEnd CheckPreparePass::Hold() {
    m_host.EnableAbortPause(true);
    m_host.LogColouredLine(LogColour::White, LogColour::Red,
                           "* USER PAUSED EXECUTION, Hit Continue or Abort to proceed*");
    m_host.LogLine(std::string(kConfirmSeparator));
    m_host.SetPauseCaption(std::string(kContinueCaption));
    for (;;) {
        // An abort always ends the hold, even when an earlier abort was already reported:
        // otherwise the pause could never end.
        if (m_control.abortRequested || m_control.shuttingDown) {
            if (!m_control.abortReported.exchange(true)) m_host.LogLine(std::string(kUserAborted));
            m_control.sawRefusal = true;
            return HoldEnd::Aborted;
        }
        if (!m_control.pauseRequested) return HoldEnd::Continued;
        Sleep();
    }
}

CheckPreparePass::Confirmation CheckPreparePass::WaitForConfirmation() {
    m_host.EnableAcceptReject(true);
    m_host.EnableAbortPause(false);
    m_host.LogLine("* VERIFY THE SUGGESTED CHANGES FOR THIS DIR, HIT ACCEPT TO PROCEED!*");
    m_host.LogLine(std::string(kConfirmSeparator));
    for (;;) {
        if (m_control.rejected || m_control.shuttingDown) return Confirmation::Refused;
        if (m_control.accepted) break;
        Sleep();
    }
    m_host.EnableAcceptReject(false);
    m_host.EnableAbortPause(true);
    return Confirmation::Accepted;
}

void CheckPreparePass::Refuse() {
    m_host.LogLine(std::string(kUserAborted));
    m_host.EnableAcceptReject(false);
    m_host.EnableAbortPause(true);
    m_control.rejected = 0;
    m_control.sawRefusal = true;
}

void CheckPreparePass::Tagline(PrepareDirJob& job, const ProcessOptions& options) {
    if (!options.PrepareCRCCheck) {
        m_ctx.steps.WriteTagline(job, options.TaglinePrefix, true, m_ctx.change);
    } else if (options.GeneratePrepareTagline) {
        m_ctx.steps.WriteTagline(job, options.TaglinePrefix, false, m_ctx.change);
    }
}

int CheckPreparePass::EndOfDirectory(int passResult) {
    if (m_control.pauseRequested && !m_control.abortRequested) {
        return Hold() == HoldEnd::Aborted ? 0 : passResult;
    }
    if (m_control.abortRequested) {
        if (!m_control.abortReported.exchange(true)) {
            m_host.LogColouredLine(LogColour::White, LogColour::Red, std::string(kUserAborted));
        }
        m_control.sawRefusal = true;
        return 0;
    }
    return passResult;
}

void CheckPreparePass::WalkSubdirectories(PrepareDirJob& job) {
    // Names may have changed while the directory was prepared.
    m_ctx.steps.Scan(job);
    const HeldListing held(job);
    std::vector<std::string> names;
    names.reserve(job.SubdirCount());
    for (std::size_t i = 0; i < job.SubdirCount(); ++i) names.push_back(job.SubdirName(i));

    const ProcessOptions& options = m_host.Options();
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (m_control.abortRequested) break;
        const std::string& name = *it;
        DirContents child;
        bool found = job.FindSubdir(name) == 0;
        if (found) {
            child.SetPath(job.DirPath() + name);
            // A subdirectory that cannot be read is not an empty one.
            found = m_ctx.steps.Scan(child);
        }
        if (!found) {
            std::string text = "Could not locate selected dir " + name + ", Directory skipped!";
            m_host.LogColouredLine(LogColour::White, LogColour::Red, text);
            m_control.sawUnreadableDir = true;
            if (!m_control.shuttingDown) {
                m_host.Ask(HostQuestion{text, "WARNING", platform::Buttons::Ok, platform::Icon::Exclamation,
                                        platform::Answer::Ok});
            }
            continue;
        }
        platform::FileId id;
        if (platform::GetFileId(child.DirPath(), id) &&
            std::find(m_ancestors.begin(), m_ancestors.end(), id) != m_ancestors.end()) {
            m_host.LogColouredLine(LogColour::White, LogColour::Red,
                                   "Directory " + child.DirPath() +
                                       " links back to a directory being processed, "
                                       "Directory skipped!");
            continue;
        }
        auto childJob = std::make_unique<PrepareDirJob>(child);
        m_ctx.steps.LoadLists(*childJob);
        childJob->groupTags = options.preserveGrptag ? &options.groupTags : nullptr;
        childJob->parent = &job;
        childJob->rules = job.rules;
        m_host.LogLine("Processing subdir " + child.DirPath());
        Separator();
        Directory(*childJob);
    }
}

int CheckPreparePass::Directory(PrepareDirJob& job) {
    if (m_control.abortRequested) return EndOfDirectory(0);
    if (m_control.pauseRequested && Hold() == HoldEnd::Aborted) return 0;

    const ProcessOptions& options = m_host.Options();
    m_control.abortReported = false;
    m_control.rejected = 0;
    m_control.accepted = options.ConfirmChanges ? 0 : 1;

    const int maxLength = MaxLengthFor(options);
    const int checkFlags = CheckFlagsFor(options);
    const unsigned renameOptions = RenameOptionBitsFor(options);
    const std::string path = job.DirPath();

    platform::FileId id;
    const bool haveId = static_cast<bool>(platform::GetFileId(path, id));
    if (haveId) m_ancestors.push_back(id);

    m_host.DirectoryStarted(path);
    m_host.LogColouredLine(LogColour::White, LogColour::Blue, "Processing " + path);
    Separator();

    int passResult = 0;
    const int check = m_ctx.steps.CheckIntegrity(job, checkFlags, false, m_ctx.analysis);
    if (check < 0) {
        // A failed check leaves the directory untouched. A parent may already hold backup data
        // for its own names, which planning would overwrite, so it is only walked through.
        m_host.LogLine("* Progress ABORTED in directory: " + path + ", no changes made!");
        Separator();
        m_control.sawRefusal = true;
        passResult = static_cast<int>(job.SubdirCount());
    } else {
        passResult =
            m_ctx.steps.PlanDirectory(job, maxLength, renameOptions, CheckAndTagFor(options), m_ctx.change);
        bool tagline = true;
        if (job.nothingToDo) {
            m_host.LogLine("* No necessary modifications detected for this dir!");
            Separator();
        } else if (passResult == -2) {
            m_host.LogLine("* Progress in dir " + path + " ABORTED BY USER, no changes made!");
            Separator();
            m_control.sawRefusal = true;
            tagline = false;
        } else {
            if (m_control.accepted == 0 && WaitForConfirmation() == Confirmation::Refused) {
                Refuse();
                if (haveId) m_ancestors.pop_back();
                return 0;
            }
            const int applied = m_ctx.steps.ApplyPlan(job, options.prepareBackupTo, m_ctx.change);
            std::string text;
            if (applied == -2) {
                text = "* Failed to save Backupdata for dir " + path + " Progress ABORTED!";
            } else if (applied == -1) {
                text = "* INTERNAL ERROR: Failed to CREATE valid Backupdata for dir " + path +
                       " Progress ABORTED, no changes made!";
            } else if (applied == -3) {
                text = "* Progress in dir " + path +
                       " ABORTED, no changes made!. You need to manually REMOVE the stored backupdata!";
            }
            if (!text.empty()) {
                m_host.LogLine(text);
                Separator();
                m_control.accepted = 0;
                m_control.sawFailure = true;
            }
        }
        if (tagline) Tagline(job, options);
    }

    m_host.LogLine(std::string(kEndOfDirectory));

    if (passResult < 0) passResult = 0;
    if (passResult > 0) WalkSubdirectories(job);
    if (haveId) m_ancestors.pop_back();
    return EndOfDirectory(passResult);
}

}  // namespace

int CheckPrepareDirectory(PrepareDirJob& job, const PassContext& context) {
    CheckPreparePass pass(context);
    return pass.Directory(job);
}

}  // namespace kestrow
