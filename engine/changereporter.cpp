// Texts, colours and questions of the change reports.
#include "engine/changereporter.h"

namespace kestrow {

namespace {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

constexpr int kGoOn = 0;

}  // namespace

int ChangeReporter::RetryOrCancel(Silence rule, const std::string& text, const std::string& caption,
                                  Answer defaultAnswer) {
    int answer = -1;
    if (!m_prompt.Silenced(rule)) {
        Answer a = m_prompt.Ask(text, caption, Buttons::RetryCancel, Icon::Exclamation, defaultAnswer);
        answer = a == Answer::Retry ? 0 : -1;
    }
    if (answer != 0) m_prompt.NoteFailure();
    return answer;
}

int ChangeReporter::Report(int code, const std::string& n, const std::string& m, const std::string& /*x*/) {
    const ReportPrompter& p = m_prompt;
    switch (code) {
        case 1:
            p.PlannedHeader(LogColour::Green, n);
            return kGoOn;
        case 2:
            p.PlannedDir(LogColour::Green, n, m);
            return kGoOn;
        case 3:
            p.PlannedFile(LogColour::Green, n, m);
            return kGoOn;
        case 4: {
            p.OnColour(LogColour::Red, "*CAUTION* the file " + n + " was not found in any " + m +
                                           " file(s), this dir is likely incomplete!");
            if (p.Silenced(Silence::SuppressPlus)) return 0;
            Answer a = p.Ask(n + " was NOT found in any " + m +
                                 " files(s). This dir is likely incomplete! , continue anyway?",
                             "WARNING", Buttons::YesNoDefaultNo);
            return a == Answer::Yes ? 0 : -1;
        }
        case 5:
            p.Plain("Note: NON-MP3 file " + n + " was not found in any " + m + " file(s)");
            return kGoOn;
        case 7:
            p.OnColour(LogColour::Red, "Could not rename dir " + n);
            return RetryOrCancel(
                Silence::SuppressPlus,
                "Could not rename dir " + n + ", Make sure there are no files open in the dir!", "ERROR");
        case 8:
            p.OnColour(LogColour::Red, "Could not rename file " + n);
            return RetryOrCancel(
                Silence::SuppressPlus,
                "Could not rename file " + n + ", Make sure the file is not open and try again!", "ERROR");
        case 10:
            p.OnColour(LogColour::Red, "Could not delete file " + n);
            return RetryOrCancel(
                Silence::SuppressPlus,
                "Could not delete file " + n + ", Make sure the file is not open and try again!", "ERROR");
        case 11:
            p.Plain("Could not write backupdata to any SFV file...");
            return kGoOn;
        case 12:
            p.Plain("Could not write backupdata to any M3U file...");
            return kGoOn;
        case 13:
            p.Plain("Could not write backupdata to kestrow.backup...");
            return kGoOn;
        case 14:
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
            return -1;
        case 15:
            p.Plain("Backupdata has been stored in: " + n);
            return kGoOn;
        case 16:
            p.Plain("Applying Changes.... " + n);
            return kGoOn;
        case 17:
            p.OnColour(LogColour::Red, "Could not save to file " + m);
            return RetryOrCancel(Silence::SuppressPlus, "Could not save to file " + m, "ERROR");
        case 18:
            p.host().AppendToLogLine(" ===> CRC OK", m_remembered);
            p.host().FileCheckFinished(true);
            return kGoOn;
        case 19: {
            p.OnColour(LogColour::Red, " ===> *BAD* CRC  <---*WARNING*!!");
            p.NoteProblemFiles();
            p.host().FileCheckFinished(true);
            if (p.Silenced(Silence::SuppressPlus)) return 0;
            Answer a =
                p.Ask(n + " is corrupt (Bad CRC), continue anyway?", "WARNING", Buttons::YesNoDefaultNo);
            return a == Answer::Yes ? 0 : -1;
        }
        case 20:
        case 26:
            p.OnColour(LogColour::Red, "== Listed file " + m + " was NOT found on disk! <---*WARNING*!!");
            p.NoteProblemFiles();
            return kGoOn;
        case 21:
            m_remembered = p.Plain("== CRC checking: " + m);
            p.host().FileCheckStarted(m);
            return kGoOn;
        case 22:
            p.Plain("POST ANALYZING " + n);
            p.Separator();
            return kGoOn;
        case 23: {
            p.OnColour(LogColour::Red, "== An *ERROR* occured while opening the file! <---*WARNING*!! " + n);
            int answer = RetryOrCancel(Silence::SuppressPlus, "Could not open " + n + " For reading",
                                       "WARNING", Answer::Cancel);
            if (answer != 0) p.host().FileCheckFinished(false);
            return answer;
        }
        case 24:
            p.OnColour(LogColour::Olive, "======= DONE! =======" + n);
            return kGoOn;
        case 25:
            p.OnColour(LogColour::Teal, "======= DONE! =======");
            return kGoOn;
        case 27:
            p.Plain("== Could not create tagline for " + n + " <---*WARNING*!!");
            p.NoteFailure();
            if (!p.Silenced(Silence::SuppressPlus)) {
                p.Ask("Could not create tagline for " + n, "WARNING", Buttons::Ok, Icon::Information);
            }
            return kGoOn;
        case 28:
            p.Plain("== Wrote tagline:  " + n);
            return kGoOn;
        case 29:
            p.host().AppendToLogLine(" ===> SKIPPED (trusted)", m_remembered);
            p.host().FileCheckFinished(false);
            return kGoOn;
        case 30: {
            if (p.Silenced(Silence::SuppressPlus)) return -1;
            Answer a = p.Ask("On or more listed files in " + n +
                                 " was NOT found on disk!, see the log window for details, continue anyway?",
                             "WARNING", Buttons::YesNoDefaultNo);
            return a == Answer::Yes ? 0 : -1;
        }
        case 31:
            p.OnColour(LogColour::Green, "An M3U File will be generated");
            return kGoOn;
        case 40:
            // A name that needed a change keeps its old one; M says why.
            p.OnColour(LogColour::Red, "Note: " + n + " was left unchanged: " + m);
            return kGoOn;
        case 43:
            p.OnColour(LogColour::Red,
                       n + " holds no readable Backupdata and will not be overwritten, check it "
                           "and remove it by hand. No Changes made to this directory!, ABORTING..");
            p.NoteFailure();
            return -1;
        default:
            return kGoOn;
    }
}

}  // namespace kestrow
