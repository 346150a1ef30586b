// Texts, colours and questions of the change reports.
#include "engine/changereporter.h"

namespace kestrow {

namespace {

using A = ChannelAnswers<ChangeAnswer>;

using Then = ReportLine::Then;

// The reports that log one line and go on.
constexpr ReportLine kLines[] = {
    {ChangeCode::NonMp3NotInList, {}, "Note: NON-MP3 file {N} was not found in any {M} file(s)", A::kGoOn},
    {ChangeCode::NoSfvWritten, {}, "Could not write backupdata to any SFV file...", A::kGoOn},
    {ChangeCode::NoM3uWritten, {}, "Could not write backupdata to any M3U file...", A::kGoOn},
    {ChangeCode::NoBackupFileWritten, {}, "Could not write backupdata to kestrow.backup...", A::kGoOn},
    {ChangeCode::StoredIn, {}, "Backupdata has been stored in: {N}", A::kGoOn},
    {ChangeCode::ApplyingChanges, {}, "Applying Changes.... {N}", A::kGoOn},
    {CodeValue(RestoreChangeCode::ListedFileMissing), LogColour::Red,
     "== Listed file {M} was NOT found on disk! <---*WARNING*!!", A::kGoOn, Then::Nothing, true},
    {CodeValue(RestoreChangeCode::ListedFileMissingAgain), LogColour::Red,
     "== Listed file {M} was NOT found on disk! <---*WARNING*!!", A::kGoOn, Then::Nothing, true},
    {CodeValue(RestoreChangeCode::PostAnalyzing), {}, "POST ANALYZING {N}", A::kGoOn, Then::Separator},
    {CodeValue(RestoreChangeCode::DoneIn), LogColour::Olive, "======= DONE! ======={N}", A::kGoOn},
    {ChangeCode::Done, LogColour::Teal, "======= DONE! =======", A::kGoOn},
    {ChangeCode::WroteTagline, {}, "== Wrote tagline:  {N}", A::kGoOn},
    {ChangeCode::PlaylistGenerated, LogColour::Green, "An M3U File will be generated", A::kGoOn},
    // A name that needed a change keeps its old one; M says why.
    {ChangeCode::LeftUnchanged, LogColour::Red, "Note: {N} was left unchanged: {M}", A::kGoOn},
};

// The failed operations the user may retry: a red line, then the Retry/Cancel question.
struct RetryReport {
    int code;
    std::string_view line;
    std::string_view question;
};

constexpr RetryReport kRetries[] = {
    {ChangeCode::CouldNotRenameDir, "Could not rename dir {N}",
     "Could not rename dir {N}, Make sure there are no files open in the dir!"},
    {ChangeCode::CouldNotRenameFile, "Could not rename file {N}",
     "Could not rename file {N}, Make sure the file is not open and try again!"},
    {ChangeCode::CouldNotDeleteFile, "Could not delete file {N}",
     "Could not delete file {N}, Make sure the file is not open and try again!"},
    {ChangeCode::CouldNotSaveFile, "Could not save to file {M}", "Could not save to file {M}"},
};

// The reports that ask whether to go on.
constexpr ReportQuestion kQuestions[] = {
    {ChangeCode::NotInListAsk, LogColour::Red,
     "*CAUTION* the file {N} was not found in any {M} file(s), this dir is likely incomplete!", Then::Nothing,
     Silence::SuppressPlus, A::kGoOn,
     "{N} was NOT found in any {M} files(s). This dir is likely incomplete! , continue anyway?", "WARNING",
     A::kAgreed, A::kStop},
    {CodeValue(RestoreChangeCode::FilesMissingAsk), LogColour::Red, "", Then::Nothing, Silence::SuppressPlus,
     A::kStop,
     "On or more listed files in {N} was NOT found on disk!, see the log window for details, continue "
     "anyway?",
     "WARNING", A::kAgreed, A::kStop},
};

using platform::Answer;
using platform::Buttons;
using platform::Icon;

}  // namespace

int ChangeReporter::RetryOrCancel(Silence rule, const std::string& text, const std::string& caption,
                                  Answer defaultAnswer) {
    int answer = A::kStop;
    if (!m_prompt.Silenced(rule)) {
        Answer a = m_prompt.Ask(text, caption, Buttons::RetryCancel, Icon::Exclamation, defaultAnswer);
        answer = a == Answer::Retry ? A::kRetry : A::kStop;
    }
    if (answer != A::kRetry) m_prompt.NoteFailure();
    return answer;
}

int ChangeReporter::Report(int code, const std::string& n, const std::string& m, const std::string& x) {
    const ReportPrompter& p = m_prompt;
    if (int answer = A::kGoOn;
        p.LogRow(kLines, code, n, m, x, answer) || p.AskRow(kQuestions, code, n, m, x, answer))
        return answer;
    for (const RetryReport& r : kRetries) {
        if (r.code == code) {
            p.OnColour(LogColour::Red, ReportText(r.line, n, m, x));
            return RetryOrCancel(Silence::SuppressPlus, ReportText(r.question, n, m, x), "ERROR");
        }
    }
    switch (code) {
        case ChangeCode::ListingHeader:
            p.PlannedHeader(LogColour::Green, n);
            return A::kGoOn;
        case ChangeCode::DirRename:
            p.PlannedDir(LogColour::Green, n, m);
            return A::kGoOn;
        case ChangeCode::FileChange:
            p.PlannedFile(LogColour::Green, n, m);
            return A::kGoOn;
        case ChangeCode::NothingWritten:
            p.OnColour(
                LogColour::Red,
                "Backupdata could not be written kestrow.backup or any M3U or SFV file. No Changes made to "
                "this directory!, ABORTING..");
            p.NoteFailure();
            if (!p.Silenced(Silence::SuppressPlus)) {
                p.Ask(
                    "Backupdata could not be written to any SFV or M3U file (or if not present, to "
                    "kestrow.backup). Make sure the file(s) are not open and try again!",
                    "ERROR", Buttons::Ok);
            }
            return A::kStop;
        case CodeValue(RestoreChangeCode::CrcOk):
            p.host().AppendToLogLine(" ===> CRC OK", m_remembered);
            p.host().FileCheckFinished(true);
            return A::kGoOn;
        case CodeValue(RestoreChangeCode::BadCrc): {
            p.OnColour(LogColour::Red, " ===> *BAD* CRC  <---*WARNING*!!");
            p.NoteProblemFiles();
            p.host().FileCheckFinished(true);
            if (p.Silenced(Silence::SuppressPlus)) return A::kGoOn;
            Answer a =
                p.Ask(n + " is corrupt (Bad CRC), continue anyway?", "WARNING", Buttons::YesNoDefaultNo);
            return a == Answer::Yes ? A::kAgreed : A::kStop;
        }
        case CodeValue(RestoreChangeCode::CrcChecking):
            m_remembered = p.Plain("== CRC checking: " + m);
            p.host().FileCheckStarted(m);
            return A::kGoOn;
        case CodeValue(RestoreChangeCode::OpenError): {
            p.OnColour(LogColour::Red, "== An *ERROR* occured while opening the file! <---*WARNING*!! " + n);
            int answer = RetryOrCancel(Silence::SuppressPlus, "Could not open " + n + " For reading",
                                       "WARNING", Answer::Cancel);
            if (answer != A::kRetry) p.host().FileCheckFinished(false);
            return answer;
        }
        case ChangeCode::CouldNotCreateTagline:
            p.Plain("== Could not create tagline for " + n + " <---*WARNING*!!");
            p.NoteFailure();
            if (!p.Silenced(Silence::SuppressPlus)) {
                p.Ask("Could not create tagline for " + n, "WARNING", Buttons::Ok, Icon::Information);
            }
            return A::kGoOn;
        case CodeValue(RestoreChangeCode::SkippedTrusted):
            p.host().AppendToLogLine(" ===> SKIPPED (trusted)", m_remembered);
            p.host().FileCheckFinished(false);
            return A::kGoOn;
        case ChangeCode::BackupFileUnreadable:
            p.OnColour(LogColour::Red,
                       n + " holds no readable Backupdata and will not be overwritten, check it "
                           "and remove it by hand. No Changes made to this directory!, ABORTING..");
            p.NoteFailure();
            return A::kStop;
        default:
            return A::kGoOn;
    }
}

}  // namespace kestrow
