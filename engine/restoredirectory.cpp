// The per-directory steps of the restore pass.
#include "engine/restoredirectory.h"

#include <memory>
#include <string>

#include "engine/passframe.h"
#include "engine/restoresteps.h"

namespace kestrow {

namespace {

class RestorePass {
public:
    RestorePass(const PassContext& context, RestoreSteps& steps)
        : m_ctx(context),
          m_host(context.host),
          m_control(context.control),
          m_steps(steps),
          m_frame(context, steps) {}

    int Directory(RestoreDirJob& job);

private:
    void Apply(RestoreDirJob& job, const ProcessOptions& options);
    void Tagline(RestoreDirJob& job, const ProcessOptions& options);

    const PassContext& m_ctx;
    JobHost& m_host;
    JobControl& m_control;
    RestoreSteps& m_steps;
    PassFrame m_frame;
};

void RestorePass::Tagline(RestoreDirJob& job, const ProcessOptions& options) {
    if (!options.RestoreCRCCheck) {
        m_steps.WriteTagline(job, options.TaglinePrefix, true, m_ctx.change);
    } else if (options.GenerateRestoreTagline) {
        m_steps.WriteTagline(job, options.TaglinePrefix, false, m_ctx.change);
    }
}

void RestorePass::Apply(RestoreDirJob& job, const ProcessOptions& options) {
    const int applyFlags = (options.RestoreCRCCheck ? 1 : 0) | (options.RestoreTaglineTrustExisting ? 2 : 0);
    const std::string path = job.DirPath();
    const int applied = m_steps.RestoreApply(job, options.prepareBackupTo, applyFlags, m_ctx.change);
    std::string text;
    switch (applied) {
        case 0:
            text = "* Progress in dir " + path + " ABORTED BY USER, no changes made!";
            break;
        case -2:
            text = "* Failed to write back unused Backupdata for dir " + path + " Progress ABORTED!";
            break;
        case -1:
            text =
                "* INTERNAL ERROR: Failed to CREATE valid Backupdata for dir " + path + " Progress ABORTED!";
            break;
        case -3:
            text = "* Progress in dir " + path +
                   " ABORTED, no changes made!. You need to manually REMOVE the stored backupdata!";
            break;
        case -4:
            text = "* Progress in dir " + path + " ABORTED, no changes made!. Please retry!";
            break;
        default:
            break;
    }
    if (!text.empty()) {
        m_host.LogLine(text);
        m_frame.Separator();
        m_control.accepted = 0;
        (applied == 0 ? m_control.sawRefusal : m_control.sawFailure) = true;
    } else if (job.recordsLeft > 0) {
        // Records the user chose to keep: this directory is not fully restored.
        m_control.sawRefusal = true;
    }
}

int RestorePass::Directory(RestoreDirJob& job) {
    if (int result = 0; m_frame.StopsAtEntry(result)) return result;

    const ProcessOptions& options = m_host.Options();
    m_frame.ResetForDirectory(options);
    const int restoreFlags = (options.RestoreTruncated ? 1 : 0) | (options.RestoreWithoutBackupData ? 8 : 0);
    const std::string path = job.DirPath();

    m_frame.Enter(path);
    m_frame.Header(path);

    int passResult = 0;
    const int found = m_steps.FindBackupData(job, m_ctx.analysis);
    // Damaged backup data leaves the directory as it is; its subdirectories are still walked.
    const bool corrupt = found == -2;
    if (found < 0 || (found == 0 && job.SubdirCount() == 0)) {
        m_host.LogLine("* Progress ABORTED in directory: " + path + ", no changes made!");
        m_frame.Separator();
        if (found == -1) m_control.sawRefusal = true;
        if (corrupt) passResult = static_cast<int>(job.SubdirCount());
    } else {
        passResult = m_steps.RestoreAnalysis(job, restoreFlags, m_ctx.analysis);
        bool tagline = true;
        if (job.nothingToDo) {
            m_host.LogLine("* No necessary modifications detected in this dir!");
            m_frame.Separator();
            Apply(job, options);
        } else if (passResult == -1 || passResult == -2) {
            m_host.LogLine(
                "* Progress in dir " + path +
                (passResult == -1 ? " ABORTED, no changes made!" : " ABORTED BY USER, no changes made!"));
            m_frame.Separator();
            (passResult == -1 ? m_control.sawFailure : m_control.sawRefusal) = true;
            tagline = false;
        } else {
            if (!m_frame.Confirmed()) {
                m_frame.Leave();
                return 0;
            }
            Apply(job, options);
        }
        if (tagline) Tagline(job, options);
    }

    m_frame.EndLine();

    if (passResult < 0) passResult = 0;
    if (passResult > 0) {
        m_frame.WalkSubdirectories(job, job.DirPath(), [&](const DirContents& child) {
            auto childJob = std::make_unique<RestoreDirJob>(child);
            m_steps.LoadLists(*childJob);
            childJob->parent = &job;
            m_frame.SubdirHeader(child.DirPath());
            Directory(*childJob);
        });
    }
    m_frame.Leave();
    return m_frame.EndOfDirectory(passResult);
}

}  // namespace

int RestoreDirectory(RestoreDirJob& job, const PassContext& context) {
    if (context.restore == nullptr) return 0;
    RestorePass pass(context, *context.restore);
    return pass.Directory(job);
}

}  // namespace kestrow
