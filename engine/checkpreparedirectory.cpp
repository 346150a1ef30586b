// The per-directory frame of the check/prepare pass.
#include "engine/checkpreparedirectory.h"

#include <memory>
#include <string>

#include "engine/passframe.h"
#include "engine/passoptions.h"
#include "rename/renameoptions.h"

namespace kestrow {

namespace {

class CheckPreparePass {
public:
    explicit CheckPreparePass(const PassContext& context)
        : m_ctx(context), m_host(context.host), m_control(context.control), m_frame(context, context.steps) {}

    int Directory(PrepareDirJob& job);

private:
    void Tagline(PrepareDirJob& job, const ProcessOptions& options);
    void WalkSubdirectories(PrepareDirJob& job);

    const PassContext& m_ctx;
    JobHost& m_host;
    JobControl& m_control;
    PassFrame m_frame;
};

void CheckPreparePass::Tagline(PrepareDirJob& job, const ProcessOptions& options) {
    if (!options.PrepareCRCCheck) {
        m_ctx.steps.WriteTagline(job, options.TaglinePrefix, true, m_ctx.change);
    } else if (options.GeneratePrepareTagline) {
        m_ctx.steps.WriteTagline(job, options.TaglinePrefix, false, m_ctx.change);
    }
}

void CheckPreparePass::WalkSubdirectories(PrepareDirJob& job) {
    const ProcessOptions& options = m_host.Options();
    m_frame.WalkSubdirectories(job, {}, [&](const DirContents& child) {
        auto childJob = std::make_unique<PrepareDirJob>(child);
        m_ctx.steps.LoadLists(*childJob);
        childJob->groupTags = options.preserveGrptag ? &options.groupTags : nullptr;
        childJob->parent = &job;
        childJob->rules = job.rules;
        m_frame.SubdirHeader(child.DirPath());
        Directory(*childJob);
    });
}

int CheckPreparePass::Directory(PrepareDirJob& job) {
    if (int result = 0; m_frame.StopsAtEntry(result)) return result;

    const ProcessOptions& options = m_host.Options();
    m_frame.ResetForDirectory(options);

    const int maxLength = MaxLengthFor(options);
    const int checkFlags = CheckFlagsFor(options);
    const unsigned renameOptions = RenameOptions::FromSettings(options).Bits();
    const std::string path = job.DirPath();

    m_frame.Enter(path);
    m_frame.Header(path);

    int passResult = 0;
    const int check = m_ctx.steps.CheckIntegrity(job, checkFlags, false, m_ctx.analysis);
    if (check < 0) {
        // A failed check leaves the directory untouched. A parent may already hold backup data
        // for its own names, which planning would overwrite, so it is only walked through.
        m_host.LogLine("* Progress ABORTED in directory: " + path + ", no changes made!");
        m_frame.Separator();
        m_control.sawRefusal = true;
        passResult = static_cast<int>(job.SubdirCount());
    } else {
        passResult =
            m_ctx.steps.PlanDirectory(job, maxLength, renameOptions, CheckAndTagFor(options), m_ctx.change);
        if (m_control.abortRequested) return m_frame.StopForAbort();
        bool tagline = true;
        if (job.nothingToDo) {
            m_host.LogLine("* No necessary modifications detected for this dir!");
            m_frame.Separator();
        } else if (passResult == kPlanRefused) {
            m_host.LogLine("* Progress in dir " + path + " ABORTED BY USER, no changes made!");
            m_frame.Separator();
            m_control.sawRefusal = true;
            tagline = false;
        } else {
            if (!m_frame.Confirmed()) {
                if (m_control.abortRequested) return m_frame.StopForAbort();
                m_frame.Leave();
                return 0;
            }
            if (m_control.abortRequested) return m_frame.StopForAbort();
            job.abortRequested = &m_control.abortRequested;
            const int applied = m_ctx.steps.ApplyPlan(job, options.prepareBackupTo, m_ctx.change);
            if (applied == kApplyStopped || m_control.abortRequested) return m_frame.StopForAbort();
            std::string text;
            if (applied == kApplyNotStored) {
                text = "* Failed to save Backupdata for dir " + path + " Progress ABORTED!";
            } else if (applied == kApplyNoBackupData) {
                text = "* INTERNAL ERROR: Failed to CREATE valid Backupdata for dir " + path +
                       " Progress ABORTED, no changes made!";
            } else if (applied == kApplyStoredNotRemoved) {
                // Lists may have been rewritten, so this stop does not claim that nothing changed.
                text = "* Progress in dir " + path +
                       " ABORTED before any rename. You need to manually REMOVE the stored backupdata!";
            } else if (applied == kApplyListsUnwritable) {
                text = "* Progress in dir " + path + " ABORTED, no changes made!";
            }
            if (!text.empty()) {
                m_host.LogLine(text);
                m_frame.Separator();
                m_control.accepted = 0;
                m_control.sawFailure = true;
            }
        }
        if (tagline) Tagline(job, options);
    }

    m_frame.EndLine();

    if (passResult < 0) passResult = 0;
    if (passResult > 0) WalkSubdirectories(job);
    m_frame.Leave();
    return m_frame.EndOfDirectory(passResult);
}

}  // namespace

int CheckPrepareDirectory(PrepareDirJob& job, const PassContext& context) {
    CheckPreparePass pass(context);
    return pass.Directory(job);
}

}  // namespace kestrow
