// Texts, colours and questions of the analysis reports.
#include "engine/analysisreporter.h"

namespace kestrow {

namespace {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

using A = ChannelAnswers<AnalysisAnswer>;

using Then = ReportLine::Then;

// The reports that log one line and answer at once.
constexpr ReportLine kLines[] = {
    {AnalysisCode::ListedFileMissing, LogColour::Red,
     "== Listed file {X} was NOT found on disk! <---*WARNING*!!", A::kGoOn, Then::Nothing, true},
    {AnalysisCode::AnalyzingContents, {}, "ANALYZING CONTENTS IN {N}", A::kGoOn, Then::Separator},
    {AnalysisCode::NoSfv, LogColour::Purple, "No SFV file(s) found!", A::kGoOn, Then::Blank},
    {AnalysisCode::NoM3u, LogColour::Purple, "No M3U file(s) found!", A::kGoOn, Then::Blank},
    {AnalysisCode::NoNfo, LogColour::Purple, "No NFO file(s) found!", A::kGoOn, Then::Blank},
    {AnalysisCode::NoLists, LogColour::Red, "No SFV or M3U files found! ", A::kStop},
    {AnalysisCode::IntegrityOk, {}, "Integrity OK! ", A::kStop},
    {AnalysisCode::NoBackupData, {}, "This directory does not contain any backup data! ", A::kStop},
    {AnalysisCode::BackupFoundIn, {}, "Backup data found in: {N}", A::kGoOn},
    {CodeValue(RestoreAnalysisCode::CrcOkFor), {}, "{X}: CRC OK", A::kGoOn},
    {CodeValue(RestoreAnalysisCode::UnbackedNameTaken), LogColour::Red,
     "*Warning* {N} matches the listed name {X}, but a file or folder of that name is already present; {N} "
     "keeps its name",
     A::kGoOn},
};

// The reports that ask whether to go on.
constexpr ReportQuestion kQuestions[] = {
    {AnalysisCode::SyntaxError, LogColour::Red, "== Syntax ERROR found: <---*WARNING*!!{X}", Then::Nothing,
     Silence::Suppress, A::kStop, "{N} contains a line with invalid syntax: {X}  continue Anyway ?",
     "WARNING", A::kGoOn, A::kStop},
    {AnalysisCode::NoNfoAsk, LogColour::Purple, "No NFO file(s) found!", Then::Blank, Silence::Suppress,
     A::kAgreed, "No NFO file found for directory {N} Continue anyway?", "ERROR", A::kAgreed, A::kStop},
    {AnalysisCode::FilesMissingAsk, LogColour::Red, "", Then::Nothing, Silence::SuppressPlus, A::kAgreed,
     "One or more files listed in {N} was NOT found on disk!, see the log window for details, continue "
     "anyway?",
     "WARNING", A::kGoOn, A::kStop},
};

}  // namespace

void AnalysisReporter::AppendToRemembered(const std::string& text) {
    m_prompt.host().AppendToLogLine(text, m_remembered);
}

int AnalysisReporter::Report(int code, const std::string& n, const std::string& m, const std::string& x) {
    const ReportPrompter& p = m_prompt;
    if (int answer = A::kGoOn;
        p.LogRow(kLines, code, n, m, x, answer) || p.AskRow(kQuestions, code, n, m, x, answer))
        return answer;
    JobHost& host = p.host();
    switch (code) {
        case AnalysisCode::BackupDataPresent:
            p.OnColour(LogColour::Red, n + " Already contains backupdata for this directory!");
            p.Blank();
            p.NoteFailure();
            if (!p.Silenced(Silence::Suppress)) {
                p.Ask(
                    n + " already contains Kestrow Backupdata, you need to restore this directory before any "
                        "changes can be made",
                    "Error", Buttons::Ok, Icon::Information);
            }
            return A::kStop;
        case AnalysisCode::CrcOk:
            AppendToRemembered(" ===> CRC OK");
            host.FileCheckFinished(true);
            return A::kGoOn;
        case AnalysisCode::BadCrc: {
            p.OnColour(LogColour::Red, " ===> *BAD* CRC  <---*WARNING*!!");
            p.NoteProblemFiles();
            host.FileCheckFinished(true);
            if (p.Silenced(Silence::SuppressPlus)) return A::kStop;
            Answer a =
                p.Ask(n + " is corrupt (Bad CRC), continue anyway?", "WARNING", Buttons::YesNoDefaultNo);
            return a == Answer::Yes ? A::kGoOn : A::kStop;
        }
        case AnalysisCode::OpenError: {
            p.OnColour(LogColour::Red, "== An *ERROR* occured while opening the file! <---*WARNING*!! " + x);
            int answer = A::kStop;
            if (!p.Silenced(Silence::SuppressPlus)) {
                Answer a =
                    p.Ask("Could not open " + x + " For reading", "WARNING", Buttons::AbortRetryIgnore);
                answer = a == Answer::Retry ? A::kRetry : a == Answer::Ignore ? A::kGoOn : A::kStop;
            }
            if (answer != A::kRetry) {
                // The file is given up and counts as missing.
                p.NoteProblemFiles();
                host.FileCheckFinished(false);
            }
            return answer;
        }
        case AnalysisCode::CrcChecking:
            Remember(p.Plain("== CRC checking: " + x));
            host.FileCheckStarted(x);
            return A::kGoOn;
        case AnalysisCode::BackupInMoreThanOne: {
            p.Plain(
                "== Backup data was found in more than one file. Kestrow supports only one backup instance.");
            Answer a = p.Ask(
                "Backup data was found in more than one file. Kestrow supports only one backup instance. "
                "Please "
                "make sure you have not manually copied backup data into this dir, then try again",
                "ERROR", Buttons::AbortRetryIgnore);
            if (a == Answer::Abort) p.NoteFailure();
            return a == Answer::Retry ? A::kRetry : a == Answer::Ignore ? A::kGoOn : A::kStop;
        }
        case AnalysisCode::BackupCorrupt: {
            std::string text =
                "The Backup data found in " + n + "is CORRUPT. The contents in this dir cannot be restored";
            p.OnColour(LogColour::Red, "== " + text);
            p.NoteFailure();
            p.Ask(text, "FATAL ERROR", Buttons::Ok);
            return A::kStop;
        }
        case CodeValue(RestoreAnalysisCode::CalculatingCrc):
            Remember(p.Plain("== Calculating CRC-sum for " + n));
            return A::kGoOn;
        case CodeValue(RestoreAnalysisCode::CrcCalculated):
            AppendToRemembered(" ===> DONE");
            return A::kGoOn;
        case CodeValue(RestoreAnalysisCode::RemovedFromSfv):
            p.OnColour(LogColour::Olive, "Removing " + n + " from SFV file(s)");
            if (!p.Silenced(Silence::Suppress)) {
                p.Ask("Truncated file'" + n +
                          "' will be removed from SFV file(s) since its original filename" + x +
                          "is also present, with identical CRC",
                      "DUBLICATE FILES IN SFV", Buttons::Ok);
            }
            return A::kGoOn;
        case CodeValue(RestoreAnalysisCode::OriginalListedOtherCrc): {
            int answer = A::kAgreed;
            if (!p.Silenced(Silence::SuppressPlus)) {
                Answer a = p.Ask(
                    " CRC for TRUNCATED file '" + n + "' is OK but it's backed up ORIGINAL filename " + x +
                        " is also listed in  a SFV file with another CRC-sum. Do you want the ORIGINAL "
                        "filename and CRC to be removed from the SFVfile?",
                    "DUBLICATE FILES", Buttons::YesNoDefaultYes);
                answer = a == Answer::Yes ? A::kAgreed : A::kStop;
            }
            if (answer == A::kAgreed)
                p.Plain("ORIGINAL filename '" + x + "' will be removed from SFV file(s)");
            return answer;
        }
        case CodeValue(RestoreAnalysisCode::CorruptRestoreAnyway): {
            Answer a =
                p.Ask("TRUNCATED file '" + n + " is  CORRUPT (CRC mismatch). Restore file anyway?" + x +
                          " is also listed in  a SFV file with another CRC-sum. Continue and remove the "
                          "ORIGINAL filename and CRC for the SFVfile?",
                      "DUBLICATE FILES", Buttons::YesNoDefaultYes);
            if (a != Answer::Yes) return A::kStop;
            p.OnColour(LogColour::Red, "*Warning* TRUNCATED file" + n + "is CORRUPT!");
            return A::kAgreed;
        }
        case CodeValue(RestoreAnalysisCode::NoCrcForTruncated):
            if (!p.Silenced(Silence::Suppress)) {
                p.Ask("There is no CRC present in any SFV-file(s) for TRUNCATED file '" + n, "No CRC",
                      Buttons::Ok);
            }
            p.Plain("no CRC present in any SFV-file(s) for TRUNCATED file: " + n);
            return A::kAgreed;
        case CodeValue(RestoreAnalysisCode::IdenticalBoth): {
            if (p.Silenced(Silence::SuppressPlus)) return A::kStop;
            Answer a = p.Ask(
                "Both the backed-up TRUNCATED file '" + n + "and a file with it's ORIGINAL filename '" + x +
                    "' are present and appears to be identical (equal CRCs). Remove truncated file "
                    "from disk and sfv-file(s)?  ",
                "No CRC", Buttons::YesNoDefaultYes);
            p.Plain("Identical TRUNCATED and ORIGINAL file found: " + n);
            return a == Answer::Yes ? A::kAgreed : A::kStop;
        }
        case CodeValue(RestoreAnalysisCode::ReplaceBadOriginal): {
            Answer a = p.Ask(
                "Backed-up TRUNCATED file '" + n + " is OK, but  a file with it's ORIGINAL filename '" + x +
                    "' is present  with a bad CRC. Replace this file with the correct one on disk and "
                    "in sfv-file(s)?",
                "No CRC", Buttons::YesNoDefaultYes);
            if (a != Answer::Yes) return A::kStop;
            p.Plain("ORIGINAL file " + n + " with BAD CRC will be replaced");
            return A::kAgreed;
        }
        case CodeValue(RestoreAnalysisCode::CorruptTruncatedRemoved):
            p.Plain("Removing " + n + " from SFV file(s)");
            if (!p.Silenced(Silence::Suppress)) {
                p.Ask("Coppupted Backed-up Truncated file'" + n +
                          "' will be removed from disk and SFV file(s) since a file with its original "
                          "filename" +
                          x + "is also present, with correct CRC",
                      "DUBLICATE FILES", Buttons::Ok);
            }
            return A::kAgreed;
        case CodeValue(RestoreAnalysisCode::TruncatedMissing):
            p.OnColour(LogColour::Red, "*Warning* Truncated file " + n + " not found in dir");
            if (!p.Silenced(Silence::SuppressPlus)) {
                p.Ask("No file with Truncated filename '" + n +
                          "' contained in the backup data for this dir was found!",
                      "MISSING FILE", Buttons::Ok);
            }
            return A::kAgreed;
        case CodeValue(RestoreAnalysisCode::TruncatedMissingListed):
            p.OnColour(LogColour::Red,
                       "*Warning* Truncated file " + n + " not found in dir, but listed in SFV");
            if (!p.Silenced(Silence::Suppress)) {
                p.Ask("CRC for Truncated file '" + n +
                          "' was found in SFV but not on disk, ORIGINAL file with identical CRC was found. "
                          "The entry "
                          "for the truncated file will be removed from the sfv-file",
                      "MISSING FILE", Buttons::Ok);
            }
            return A::kAgreed;
        case CodeValue(RestoreAnalysisCode::TruncatedMissingOtherCrc): {
            Answer a = p.Ask("Backed-up TRUNCATED file '" + n +
                                 "' is not present on disk. A file with it's original filename is however "
                                 "present in the dir and "
                                 "with correct CRC in an SFV-file This CRC is NOT identical to the one "
                                 "listed for the missing "
                                 "truncated file. It is reccomeded that you verify this dir manually and "
                                 "then try to restore "
                                 "again. Remove Truncated file from the sfv listing (not recomended)?",
                             "No CRC", Buttons::YesNoDefaultYes);
            p.OnColour(LogColour::Red, "no CRC present in any SFV-file(s) for TRUNCATED file: " + n);
            if (a != Answer::Yes) return A::kStop;
            p.Plain("TRUNCATED file " + n + " will be removed from the SFV listing");
            return A::kAgreed;
        }
        case CodeValue(RestoreAnalysisCode::TruncatedGoneOriginalOk):
            if (!p.Silenced(Silence::Suppress)) {
                p.Ask("Backed-up TRUNCATED file '" + n +
                          "' is not present either on disk or in any SFV-file. A file with it's original "
                          "filename is "
                          "however present with correct CRC. backup-data for truncated data will be removed",
                      "No CRC", Buttons::Ok);
            }
            p.Plain("Backup data for TRUNCATED file " + n + " will be removed");
            return A::kAgreed;
        case CodeValue(RestoreAnalysisCode::TruncatedGoneOriginalBad):
            if (!p.Silenced(Silence::Suppress)) {
                p.Ask("Backed-up TRUNCATED file '" + n +
                          "' is not present either on disk or in any SFV-file. A file with it's original "
                          "filename is "
                          "however present but with BAD CRC. backup-data for truncated data will be removed",
                      "No CRC", Buttons::Ok);
            }
            p.OnColour(LogColour::Red,
                       "Backup data for TRUNCATED file " + n +
                           " will be removed. *WARNING* A file with it's original filename is "
                           "present but CORRUPT");
            return A::kAgreed;
        case CodeValue(RestoreAnalysisCode::TempOverwrite): {
            Answer a =
                p.Ask("Both the TRUNCATED TEMPfile '" + n + "' and a file with its ORIGINAL filename '" + x +
                          "' are presnet on disk. Overwrite the original file?",
                      "Overwrite?", Buttons::YesNoDefaultYes);
            p.OnColour(LogColour::Red, "no CRC present in any SFV-file(s) for TRUNCATED file: " + n);
            return a == Answer::Yes ? A::kAgreed : A::kStop;
        }
        case CodeValue(RestoreAnalysisCode::TempMissing):
            if (!p.Silenced(Silence::Suppress)) {
                p.Ask("Backed-up TRUNCATED TEMPfile '" + n + "' was not found on disk", "Missing file",
                      Buttons::Ok);
            }
            p.OnColour(LogColour::Red,
                       "*WARNING* Backed-up TRUNCATED TEMPfile '" + n + "' was not found on disk");
            return A::kAgreed;
        case CodeValue(RestoreAnalysisCode::ListingHeader):
            p.PlannedHeader(LogColour::Olive, n);
            return A::kGoOn;
        case CodeValue(RestoreAnalysisCode::DirRename):
            p.PlannedDir(LogColour::Olive, n, x);
            return A::kGoOn;
        case CodeValue(RestoreAnalysisCode::FileRename):
            p.PlannedFile(LogColour::Olive, n, x);
            return A::kGoOn;
        case CodeValue(RestoreAnalysisCode::BothPresentKept):
            p.OnColour(LogColour::Red, "*Warning* TRUNCATED file " + n + " and ORIGINAL file " + x +
                                           " are both present and differ, their backup data is kept");
            if (!p.Silenced(Silence::Suppress)) {
                p.Ask(
                    "Both the backed-up TRUNCATED file '" + n + "' and a file with its ORIGINAL filename '" +
                        x +
                        "' are present, and no SFV file tells which of them is correct. Both files and "
                        "their backup data are kept; verify this dir manually and then try to restore again",
                    "DUBLICATE FILES", Buttons::Ok);
            }
            return A::kAgreed;
        case AnalysisCode::SkippedTrusted:
            AppendToRemembered(" ===> SKIPPED (trusted)");
            host.FileCheckFinished(false);
            return A::kGoOn;
        case AnalysisCode::ListUnreadable:
            p.OnColour(LogColour::Red, "== " + n + " could not be read (" +
                                           (x.empty() ? "unknown error" : x) +
                                           "), its files were NOT checked! <---*WARNING*!!");
            p.NoteProblemFiles();
            return A::kGoOn;
        case CodeValue(RestoreAnalysisCode::AmbiguousWithoutBackup): {
            std::string text =
                "When attemting to restore filenames without backupdata, files that did not match any entry "
                "in the "
                "M3U or SFV file(s), I was not able to distinguish between two or more files. You should "
                "examine "
                "this directory manually and try to correct the filenames yourself!";
            p.Plain(n + ": " + text);
            p.Ask(text, "WARNING", Buttons::YesNoDefaultNo);
            return A::kStop;
        }
        default:
            return A::kGoOn;
    }
}

}  // namespace kestrow
