// The per-directory frame shared by the check/prepare and the restore pass.
#include "engine/passframe.h"

#include <algorithm>
#include <thread>

#include "engine/logtexts.h"

namespace kestrow {

void ReportMissingDirectory(const PassContext& context, const std::string& shownName) {
    const std::string text = "Could not locate selected dir " + shownName + ", Directory skipped!";
    context.host.LogColouredLine(LogColour::White, LogColour::Red, text);
    context.control.sawUnreadableDir = true;
    if (!context.control.shuttingDown) {
        context.host.Ask(HostQuestion{text, "WARNING", platform::Buttons::Ok, platform::Icon::Exclamation,
                                      platform::Answer::Ok});
    }
}

bool PassFrame::StopsAtEntry(int& result) {
    if (m_control.abortRequested) {
        result = EndOfDirectory(0);
        return true;
    }
    if (m_control.pauseRequested && Hold() == HoldEnd::Aborted) {
        result = 0;
        return true;
    }
    return false;
}

void PassFrame::ResetForDirectory(const ProcessOptions& options) {
    m_control.abortReported = false;
    m_control.rejected = 0;
    m_control.accepted = options.ConfirmChanges ? 0 : 1;
}

void PassFrame::Sleep() {
    std::this_thread::sleep_for(m_ctx.pollInterval);
}

void PassFrame::Separator() {
    m_host.LogLine(std::string(kSeparator));
}

void PassFrame::Header(const std::string& path) {
    m_host.DirectoryStarted(path);
    m_host.LogColouredLine(LogColour::White, LogColour::Blue, "Processing " + path);
    Separator();
}

void PassFrame::EndLine() {
    m_host.LogLine(std::string(kEndOfDirectory));
}

void PassFrame::SubdirHeader(const std::string& path) {
    m_host.LogLine("Processing subdir " + path);
    Separator();
}

PassFrame::HoldEnd PassFrame::Hold() {
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

PassFrame::Confirmation PassFrame::WaitForConfirmation() {
    m_host.EnableAcceptReject(true);
    m_host.EnableAbortPause(false);
    m_host.LogLine("* VERIFY THE SUGGESTED CHANGES FOR THIS DIR, HIT ACCEPT TO PROCEED!*");
    m_host.LogLine(std::string(kConfirmSeparator));
    for (;;) {
        if (m_control.rejected || m_control.shuttingDown || m_control.abortRequested) {
            return Confirmation::Refused;
        }
        if (m_control.accepted) break;
        Sleep();
    }
    m_host.EnableAcceptReject(false);
    m_host.EnableAbortPause(true);
    return Confirmation::Accepted;
}

void PassFrame::Refuse() {
    m_host.LogLine(std::string(kUserAborted));
    m_host.EnableAcceptReject(false);
    m_host.EnableAbortPause(true);
    m_control.rejected = 0;
    m_control.sawRefusal = true;
}

bool PassFrame::Confirmed() {
    if (m_control.accepted == 0 && WaitForConfirmation() == Confirmation::Refused) {
        if (m_control.abortRequested) {
            // Logged by StopForAbort, which the driver calls next.
            m_host.EnableAcceptReject(false);
            m_host.EnableAbortPause(true);
        } else {
            Refuse();
        }
        return false;
    }
    return true;
}

int PassFrame::StopForAbort() {
    if (!m_control.abortReported.exchange(true)) m_host.LogLine(std::string(kUserAborted));
    m_control.sawRefusal = true;
    Leave();
    return 0;
}

int PassFrame::EndOfDirectory(int passResult) {
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

void PassFrame::Enter(const std::string& path) {
    platform::FileId id;
    const bool haveId = static_cast<bool>(platform::GetFileId(path, id));
    if (haveId) m_ancestors.push_back(id);
    m_pushed.push_back(haveId);
}

void PassFrame::Leave() {
    if (m_pushed.empty()) return;
    if (m_pushed.back()) m_ancestors.pop_back();
    m_pushed.pop_back();
}

void PassFrame::WalkSubdirectories(DirContents& dir, const std::string& missingPrefix,
                                   const std::function<void(const DirContents& child)>& visit) {
    // Names may have changed while the directory was processed.
    m_scanner.Scan(dir);
    const HeldListing held(dir);
    std::vector<std::string> names;
    names.reserve(dir.SubdirCount());
    for (std::size_t i = 0; i < dir.SubdirCount(); ++i) names.push_back(dir.SubdirName(i));

    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (m_control.abortRequested) break;
        const std::string& name = *it;
        DirContents child;
        const FileEntry* sub = dir.GetSubdir(name);
        if (sub && sub->symlink) {
            // Whatever the link leads to lies outside the tree the user selected.
            m_host.LogColouredLine(LogColour::White, LogColour::Red,
                                   "Directory " + dir.DirPath() + name +
                                       " is a symbolic link, it is not followed. Directory skipped!");
            continue;
        }
        bool found = sub != nullptr;
        if (found) {
            child.SetPath(dir.DirPath() + name);
            // A subdirectory that cannot be read is not an empty one.
            found = m_scanner.Scan(child);
        }
        if (!found) {
            ReportMissingDirectory(m_ctx, missingPrefix + name);
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
        visit(child);
    }
}

}  // namespace kestrow
