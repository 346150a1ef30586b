// What both pass drivers do around their own engine steps on every directory: the hold while
// paused, the wait for the user's confirmation and its refusal, the end of a directory after an
// abort, and the walk over its subdirectories, last first, never back up the tree.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/dirscanner.h"
#include "engine/passcontext.h"
#include "platform/fs.h"

namespace kestrow {

// A selected directory (or a subdirectory) that cannot be found or read: logged, counted and, unless
// the front end is closing, told in a warning the user must acknowledge.
void ReportMissingDirectory(const PassContext& context, const std::string& shownName);

class PassFrame {
public:
    PassFrame(const PassContext& context, DirScanner& scanner)
        : m_ctx(context), m_host(context.host), m_control(context.control), m_scanner(scanner) {}

    enum class HoldEnd { Continued, Aborted };
    enum class Confirmation { Accepted, Refused };

    // Entry of a directory: true when the pass must not go into it; `result` is then what the
    // driver returns.
    bool StopsAtEntry(int& result);
    // Flags every directory starts with.
    void ResetForDirectory(const ProcessOptions& options);

    HoldEnd Hold();
    Confirmation WaitForConfirmation();
    // The user pressed "No!": the directory ends at once.
    void Refuse();
    // True when the planned changes may be applied; false after a refusal (already logged).
    bool Confirmed();
    // An abort that arrives once the directory was checked ends it as a refusal does: no apply, or
    // nothing after the operation under way, no tagline, no end line. Leaves the directory.
    int StopForAbort();
    int EndOfDirectory(int passResult);

    void Header(const std::string& path);
    void Separator();
    void EndLine();
    void SubdirHeader(const std::string& path);

    // Marks the directory as on the current path; Leave undoes it.
    void Enter(const std::string& path);
    void Leave();

    // Rescans `dir` and hands each subdirectory that can be read, last first, to `visit`. A name
    // that is gone is reported as "Could not locate selected dir " + missingPrefix + name; a
    // directory already on the current path is never entered again.
    void WalkSubdirectories(DirContents& dir, const std::string& missingPrefix,
                            const std::function<void(const DirContents& child)>& visit);

private:
    void Sleep();

    const PassContext& m_ctx;
    JobHost& m_host;
    JobControl& m_control;
    DirScanner& m_scanner;
    // Directories on the current path, so that a link back up the tree is never entered.
    std::vector<platform::FileId> m_ancestors;
    // Per entered directory: whether its id is among the ancestors.
    std::vector<bool> m_pushed;
};

}  // namespace kestrow
