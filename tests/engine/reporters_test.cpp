// Every report code of both reporters: its log lines and colours, its question and its answers,
// under the three settings that decide whether a question is shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>

#include "engine/analysisreporter.h"
#include "engine/changereporter.h"
#include "engine/jobcontrol.h"
#include "tests/engine/fakehost.h"

namespace kestrow {
namespace {

using platform::Answer;
using platform::Buttons;
using platform::Icon;
using test::FakeHost;

enum class Mode {
    Loud,        // a renaming option on, alerts shown: every question is asked
    NoRenaming,  // no renaming option: only the S+ questions are silent
    Suppressed,  // "Suppress alert popups": all but the always-asked questions are silent
};

struct Line {
    LogColour foreground;
    LogColour background;
    std::string text;
};
Line P(std::string text) {
    return {LogColour::Black, LogColour::White, std::move(text)};
}
Line On(LogColour bg, std::string text) {
    return {LogColour::White, bg, std::move(text)};
}
Line Red(std::string text) {
    return On(LogColour::Red, std::move(text));
}
const Line kBlank = P(" ");
const Line kSep = P(std::string(76, '-'));

struct Box {
    std::string caption;
    std::string text;
    Buttons buttons;
    Icon icon;
    Answer defaultAnswer;
};

struct Case {
    int code;
    Mode mode;
    Answer reply;  // what the user presses if asked
    std::vector<Line> log;
    std::optional<Box> box;
    int result;
};

void SetMode(ProcessOptions& o, Mode mode) {
    o.Truncate = mode == Mode::Loud ? 1 : 0;
    o.SuppressAlerts = mode == Mode::Suppressed ? 1 : 0;
}

const std::string N = "album.sfv";
const std::string M = "track.mp3";
const std::string X = "entry.mp3";

// Runs every case on a fresh host and compares the log, the question and the result. Some reports
// log their finding only once the question is answered (logAfter), the others before asking.
template <typename R>
void CheckAll(const char* who, const std::set<int>& logAfter, const std::vector<Case>& cases) {
    const char* modes[] = {"loud", "no renaming", "suppressed"};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(who) + " code " + std::to_string(c.code) + " (" +
                     modes[static_cast<int>(c.mode)] + ")");
        FakeHost host;
        SetMode(host.options, c.mode);
        host.answer = [&](const HostQuestion&) { return c.reply; };
        EXPECT_EQ(R(host, nullptr).Report(c.code, N, M, X), c.result);
        ASSERT_EQ(host.log.Size(), c.log.size());
        for (std::size_t i = 0; i < c.log.size(); ++i) {
            EXPECT_EQ(host.log.At(i).text, c.log[i].text) << "line " << i;
            EXPECT_EQ(host.log.At(i).foreground, c.log[i].foreground) << "line " << i;
            EXPECT_EQ(host.log.At(i).background, c.log[i].background) << "line " << i;
        }
        ASSERT_EQ(host.questions.size(), c.box ? 1u : 0u);
        if (!c.box) continue;
        const HostQuestion& q = host.questions[0];
        EXPECT_EQ(q.caption, c.box->caption);
        EXPECT_EQ(q.text, c.box->text);
        EXPECT_EQ(q.buttons, c.box->buttons);
        EXPECT_EQ(q.icon, c.box->icon);
        EXPECT_EQ(q.defaultAnswer, c.box->defaultAnswer);
        auto log = std::find_if(host.events.begin(), host.events.end(),
                                [](const std::string& e) { return e.rfind("log ", 0) == 0; });
        auto ask = std::find_if(host.events.begin(), host.events.end(),
                                [](const std::string& e) { return e.rfind("ask ", 0) == 0; });
        if (log != host.events.end()) {
            EXPECT_EQ(log > ask, logAfter.count(c.code) == 1);
        }
    }
}

Box YesNo(std::string caption, std::string text, bool defaultYes) {
    return Box{std::move(caption), std::move(text),
               defaultYes ? Buttons::YesNoDefaultYes : Buttons::YesNoDefaultNo, Icon::Exclamation,
               defaultYes ? Answer::Yes : Answer::No};
}
Box Ok(std::string caption, std::string text, Icon icon = Icon::Exclamation) {
    return Box{std::move(caption), std::move(text), Buttons::Ok, icon, Answer::Ok};
}
const std::vector<Line> kBadCrc = {Red(" ===> *BAD* CRC  <---*WARNING*!!")};
std::vector<Line> Planned(LogColour bg) {
    return {kBlank, On(bg, "Listing PLANNED MODIFICATIONS in dir " + N + ":"), kSep};
}
std::vector<Line> OpenError(const std::string& name) {
    return {Red("== An *ERROR* occured while opening the file! <---*WARNING*!! " + name)};
}

// Analysis reporter: N list name, X entry.
TEST(AnalysisReporterTest, EveryCodeLogsAsksAndAnswers) {
    const std::string crc = "== Listed file " + X + " was NOT found on disk! <---*WARNING*!!";
    const Box backup =
        Ok("Error",
           N + " already contains Kestrow Backupdata, you need to restore this directory before any "
               "changes can be made",
           Icon::Information);
    const Box badCrc = YesNo("WARNING", N + " is corrupt (Bad CRC), continue anyway?", false);
    const Box syntax =
        YesNo("WARNING", N + " contains a line with invalid syntax: " + X + "  continue Anyway ?", false);
    const Box open{"WARNING", "Could not open " + X + " For reading", Buttons::AbortRetryIgnore,
                   Icon::Exclamation, Answer::Retry};
    const Box twoBackups{
        "ERROR",
        "Backup data was found in more than one file. Kestrow supports only one backup instance. "
        "Please make sure you have not manually copied backup data into this dir, then try again",
        Buttons::AbortRetryIgnore, Icon::Exclamation, Answer::Retry};
    const std::string corrupt =
        "The Backup data found in " + N + "is CORRUPT. The contents in this dir cannot be restored";
    const Box dup24 =
        Ok("DUBLICATE FILES IN SFV", "Truncated file'" + N +
                                         "' will be removed from SFV file(s) since its original "
                                         "filename" +
                                         X + "is also present, with identical CRC");
    const Box q25 =
        YesNo("DUBLICATE FILES",
              " CRC for TRUNCATED file '" + N + "' is OK but it's backed up ORIGINAL filename " + X +
                  " is also listed in  a SFV file with another CRC-sum. Do you want the ORIGINAL filename "
                  "and CRC to be removed from the SFVfile?",
              true);
    const Box q26 =
        YesNo("DUBLICATE FILES",
              "TRUNCATED file '" + N + " is  CORRUPT (CRC mismatch). Restore file anyway?" + X +
                  " is also listed in  a SFV file with another CRC-sum. Continue and remove the ORIGINAL "
                  "filename and CRC for the SFVfile?",
              true);
    const Box q27 = Ok("No CRC", "There is no CRC present in any SFV-file(s) for TRUNCATED file '" + N);
    const Box q28 =
        YesNo("No CRC",
              "Both the backed-up TRUNCATED file '" + N + "and a file with it's ORIGINAL filename '" + X +
                  "' are present and appears to be identical (equal CRCs). Remove truncated file from "
                  "disk and sfv-file(s)?  ",
              true);
    const Box q29 =
        YesNo("No CRC",
              "Backed-up TRUNCATED file '" + N + " is OK, but  a file with it's ORIGINAL filename '" + X +
                  "' is present  with a bad CRC. Replace this file with the correct one on disk and in "
                  "sfv-file(s)?",
              true);
    const Box q30 =
        Ok("DUBLICATE FILES", "Coppupted Backed-up Truncated file'" + N +
                                  "' will be removed from disk and SFV file(s) since a file with its "
                                  "original filename" +
                                  X + "is also present, with correct CRC");
    const Box q31 = Ok("MISSING FILE", "No file with Truncated filename '" + N +
                                           "' contained in the backup data for this dir was found!");
    const Box q32 =
        Ok("MISSING FILE", "CRC for Truncated file '" + N +
                               "' was found in SFV but not on disk, ORIGINAL file with identical CRC was "
                               "found. The entry for the truncated file will be removed from the "
                               "sfv-file");
    const Box q33 = YesNo(
        "No CRC",
        "Backed-up TRUNCATED file '" + N +
            "' is not present on disk. A file with it's original filename is however present in the dir and "
            "with correct CRC in an SFV-file This CRC is NOT identical to the one listed for the missing "
            "truncated file. It is reccomeded that you verify this dir manually and then try to restore "
            "again. "
            "Remove Truncated file from the sfv listing (not recomended)?",
        true);
    const Box q34 =
        Ok("No CRC", "Backed-up TRUNCATED file '" + N +
                         "' is not present either on disk or in any SFV-file. A file with it's original "
                         "filename is however present with correct CRC. backup-data for truncated data "
                         "will be removed");
    const Box q35 =
        Ok("No CRC", "Backed-up TRUNCATED file '" + N +
                         "' is not present either on disk or in any SFV-file. A file with it's original "
                         "filename is however present but with BAD CRC. backup-data for truncated data "
                         "will be removed");
    const Box q36 = YesNo("Overwrite?",
                          "Both the TRUNCATED TEMPfile '" + N + "' and a file with its ORIGINAL filename '" +
                              X + "' are presnet on disk. Overwrite the original file?",
                          true);
    const Box q37 = Ok("Missing file", "Backed-up TRUNCATED TEMPfile '" + N + "' was not found on disk");
    const Box q42 = YesNo("ERROR", "No NFO file found for directory " + N + " Continue anyway?", false);
    const Box q45 = YesNo("WARNING",
                          "One or more files listed in " + N +
                              " was NOT found on disk!, see the log window for details, continue anyway?",
                          false);
    const std::string t46 =
        "When attemting to restore filenames without backupdata, files that did not match any entry in the "
        "M3U "
        "or SFV file(s), I was not able to distinguish between two or more files. You should examine this "
        "directory manually and try to correct the filenames yourself!";
    const std::string noCrc = "no CRC present in any SFV-file(s) for TRUNCATED file: " + N;

    const std::vector<Line> l1 = {Red(N + " Already contains backupdata for this directory!"), kBlank};
    const std::vector<Line> l5 = {Red("== Syntax ERROR found: <---*WARNING*!!" + X)};
    const std::vector<Line> l6 = OpenError(X);
    const std::vector<Line> l15 = {
        P("== Backup data was found in more than one file. Kestrow supports only one backup instance.")};
    const std::vector<Line> l24 = {On(LogColour::Olive, "Removing " + N + " from SFV file(s)")};
    const std::vector<Line> l25 = {P("ORIGINAL filename '" + X + "' will be removed from SFV file(s)")};
    const std::vector<Line> l26 = {Red("*Warning* TRUNCATED file" + N + "is CORRUPT!")};
    const std::vector<Line> l28 = {P("Identical TRUNCATED and ORIGINAL file found: " + N)};
    const std::vector<Line> l29 = {P("ORIGINAL file " + N + " with BAD CRC will be replaced")};
    const std::vector<Line> l30 = {P("Removing " + N + " from SFV file(s)")};
    const std::vector<Line> l31 = {Red("*Warning* Truncated file " + N + " not found in dir")};
    const std::vector<Line> l32 = {
        Red("*Warning* Truncated file " + N + " not found in dir, but listed in SFV")};
    const std::vector<Line> l34 = {P("Backup data for TRUNCATED file " + N + " will be removed")};
    const std::vector<Line> l35 = {
        Red("Backup data for TRUNCATED file " + N +
            " will be removed. *WARNING* A file with it's original filename is present but CORRUPT")};
    const std::vector<Line> l37 = {
        Red("*WARNING* Backed-up TRUNCATED TEMPfile '" + N + "' was not found on disk")};
    const std::vector<Line> nfo = {On(LogColour::Purple, "No NFO file(s) found!"), kBlank};

    using enum Mode;
    using A = Answer;
    const auto none = std::nullopt;
    CheckAll<AnalysisReporter>(
        "analysis", {25, 26, 27, 28, 29, 33, 34, 35, 36, 37},
        {
            {-1, Loud, A::Ok, l1, backup, -1},
            {-1, NoRenaming, A::Ok, l1, backup, -1},
            {-1, Suppressed, A::Ok, l1, none, -1},
            {2, Loud, A::Yes, kBadCrc, badCrc, 1},
            {2, Loud, A::No, kBadCrc, badCrc, -1},
            {2, NoRenaming, A::Yes, kBadCrc, none, -1},
            {2, Suppressed, A::Yes, kBadCrc, none, -1},
            {3, Loud, A::Ok, {Red(crc)}, none, 1},
            {5, NoRenaming, A::Yes, l5, syntax, 1},
            {5, Loud, A::No, l5, syntax, -1},
            {5, Suppressed, A::Yes, l5, none, -1},
            {6, Loud, A::Abort, l6, open, -1},
            {6, Loud, A::Retry, l6, open, 0},
            {6, Loud, A::Ignore, l6, open, 1},
            {6, NoRenaming, A::Retry, l6, none, -1},
            {6, Suppressed, A::Retry, l6, none, -1},  // opening is S+: suppressed as well
            {7, Loud, A::Ok, {P("== CRC checking: " + X)}, none, 1},
            {8, Loud, A::Ok, {P("ANALYZING CONTENTS IN " + N), kSep}, none, 1},
            {9, Loud, A::Ok, {On(LogColour::Purple, "No SFV file(s) found!"), kBlank}, none, 1},
            {10, Loud, A::Ok, {On(LogColour::Purple, "No M3U file(s) found!"), kBlank}, none, 1},
            {11, Loud, A::Ok, {Red("No SFV or M3U files found! ")}, none, -1},
            {12, Loud, A::Ok, {P("Integrity OK! ")}, none, -1},
            {13, Loud, A::Ok, {P("This directory does not contain any backup data! ")}, none, -1},
            {14, Loud, A::Ok, {P("Backup data found in: " + N)}, none, 1},
            {15, Suppressed, A::Abort, l15, twoBackups, -1},
            {15, Suppressed, A::Retry, l15, twoBackups, 0},
            {15, NoRenaming, A::Ignore, l15, twoBackups, 1},
            {16, Suppressed, A::Ok, {Red("== " + corrupt)}, Ok("FATAL ERROR", corrupt), -1},
            {21, Loud, A::Ok, {P("== Calculating CRC-sum for " + N)}, none, 1},
            {23, Loud, A::Ok, {P(X + ": CRC OK")}, none, 1},
            {24, NoRenaming, A::Ok, l24, dup24, 1},
            {24, Suppressed, A::Ok, l24, none, 1},
            {25, Loud, A::Yes, l25, q25, 0},
            {25, Loud, A::No, {}, q25, -1},
            {25, NoRenaming, A::No, l25, none, 0},
            {26, Suppressed, A::Yes, l26, q26, 0},
            {26, Suppressed, A::No, {}, q26, -1},
            {27, NoRenaming, A::Ok, {P(noCrc)}, q27, 0},
            {27, Suppressed, A::Ok, {P(noCrc)}, none, 0},
            {28, Loud, A::Yes, l28, q28, 0},
            {28, Loud, A::No, l28, q28, -1},
            {28, Suppressed, A::Yes, {}, none, -1},
            {28, NoRenaming, A::Yes, {}, none, -1},
            {29, Suppressed, A::Yes, l29, q29, 0},
            {29, Loud, A::No, {}, q29, -1},
            {30, NoRenaming, A::Ok, l30, q30, 0},
            {30, Suppressed, A::Ok, l30, none, 0},
            {31, Loud, A::Ok, l31, q31, 0},
            {31, NoRenaming, A::Ok, l31, none, 0},
            {32, NoRenaming, A::Ok, l32, q32, 0},
            {32, Suppressed, A::Ok, l32, none, 0},
            {33,
             Suppressed,
             A::Yes,
             {Red(noCrc), P("TRUNCATED file " + N + " will be removed from the SFV listing")},
             q33,
             0},
            {33, Suppressed, A::No, {Red(noCrc)}, q33, -1},
            {34, NoRenaming, A::Ok, l34, q34, 0},
            {34, Suppressed, A::Ok, l34, none, 0},
            {35, NoRenaming, A::Ok, l35, q35, 0},
            {35, Suppressed, A::Ok, l35, none, 0},
            // The always-asked questions ignore the renaming options too.
            {26, NoRenaming, A::Yes, l26, q26, 0},
            {29, NoRenaming, A::Yes, l29, q29, 0},
            {33, NoRenaming, A::No, {Red(noCrc)}, q33, -1},
            {36, Suppressed, A::Yes, {Red(noCrc)}, q36, 0},
            {36, Suppressed, A::No, {Red(noCrc)}, q36, -1},
            {37, NoRenaming, A::Ok, l37, q37, 0},
            {37, Suppressed, A::Ok, l37, none, 0},
            {38, Loud, A::Ok, Planned(LogColour::Olive), none, 1},
            {39, Loud, A::Ok, {On(LogColour::Olive, "== DIR:  " + N + ", ===> " + X)}, none, 1},
            {40, Loud, A::Ok, {On(LogColour::Olive, "== FILE: " + N + ", ===> " + X)}, none, 1},
            {42, NoRenaming, A::Yes, nfo, q42, 0},
            {42, Loud, A::No, nfo, q42, -1},
            {42, Suppressed, A::No, nfo, none, 0},
            {43, Loud, A::Ok, nfo, none, 1},
            {45, Loud, A::Yes, {}, q45, 1},
            {45, Loud, A::No, {}, q45, -1},
            {45, NoRenaming, A::No, {}, none, 0},
            {46, Suppressed, A::Yes, {P(N + ": " + t46)}, YesNo("WARNING", t46, false), -1},
            {50, Loud, A::Ok, {}, none, 1},
            {0, Loud, A::Ok, {}, none, 1},
            {41, Loud, A::Ok, {}, none, 1},
        });
}

// Change reporter: N the list or file, M the entry.
TEST(ChangeReporterTest, EveryCodeLogsAsksAndAnswers) {
    const Box q4 = YesNo(
        "WARNING",
        N + " was NOT found in any " + M + " files(s). This dir is likely incomplete! , continue anyway?",
        false);
    auto retry = [](std::string text) {
        return Box{"ERROR", std::move(text), Buttons::RetryCancel, Icon::Exclamation, Answer::Retry};
    };
    const Box q7 = retry("Could not rename dir " + N + ", Make sure there are no files open in the dir!");
    const Box q8 = retry("Could not rename file " + N + ", Make sure the file is not open and try again!");
    const Box q10 = retry("Could not delete file " + N + ", Make sure the file is not open and try again!");
    const Box q14 =
        Ok("ERROR",
           "Backupdata could not be written to any SFV or M3U file (or if not present, to kestrow.backup). "
           "Make sure the file(s) are not open and try again!");
    const Box q17 = retry("Could not save to file " + M);
    const Box q19 = YesNo("WARNING", N + " is corrupt (Bad CRC), continue anyway?", false);
    const Box q23{"WARNING", "Could not open " + N + " For reading", Buttons::RetryCancel, Icon::Exclamation,
                  Answer::Cancel};
    const Box q27 = Ok("WARNING", "Could not create tagline for " + N, Icon::Information);
    const Box q30 = YesNo("WARNING",
                          "On or more listed files in " + N +
                              " was NOT found on disk!, see the log window for details, continue anyway?",
                          false);
    const std::vector<Line> missing = {
        Red("== Listed file " + M + " was NOT found on disk! <---*WARNING*!!")};
    const std::vector<Line> l4 = {Red("*CAUTION* the file " + N + " was not found in any " + M +
                                      " file(s), this dir is likely incomplete!")};
    const std::vector<Line> l7 = {Red("Could not rename dir " + N)};
    const std::vector<Line> l8 = {Red("Could not rename file " + N)};
    const std::vector<Line> l10 = {Red("Could not delete file " + N)};
    const std::vector<Line> l14 = {
        Red("Backupdata could not be written kestrow.backup or any M3U or SFV file. No Changes made to this "
            "directory!, "
            "ABORTING..")};
    const std::vector<Line> l17 = {Red("Could not save to file " + M)};
    const std::vector<Line> l23 = OpenError(N);
    const std::vector<Line> l27 = {P("== Could not create tagline for " + N + " <---*WARNING*!!")};

    using enum Mode;
    using A = Answer;
    const auto none = std::nullopt;
    CheckAll<ChangeReporter>(
        "change", {},
        {
            {1, Loud, A::Ok, Planned(LogColour::Green), none, 0},
            {2, Loud, A::Ok, {On(LogColour::Green, "== DIR:  " + N + ", ===> " + M)}, none, 0},
            {3, Loud, A::Ok, {On(LogColour::Green, "== FILE: " + N + ", ===> " + M)}, none, 0},
            {4, Loud, A::Yes, l4, q4, 0},
            {4, Loud, A::No, l4, q4, -1},
            {4, NoRenaming, A::No, l4, none, 0},
            {5,
             Loud,
             A::Ok,
             {P("Note: NON-MP3 file " + N + " was not found in any " + M + " file(s)")},
             none,
             0},
            {7, Loud, A::Retry, l7, q7, 0},
            {7, Loud, A::Cancel, l7, q7, -1},
            {7, NoRenaming, A::Retry, l7, none, -1},
            {8, Loud, A::Retry, l8, q8, 0},
            {8, Suppressed, A::Retry, l8, none, -1},
            {8, NoRenaming, A::Retry, l8, none, -1},
            {10, Loud, A::Cancel, l10, q10, -1},
            {10, NoRenaming, A::Retry, l10, none, -1},
            {11, Loud, A::Ok, {P("Could not write backupdata to any SFV file...")}, none, 0},
            {12, Loud, A::Ok, {P("Could not write backupdata to any M3U file...")}, none, 0},
            {13, Loud, A::Ok, {P("Could not write backupdata to kestrow.backup...")}, none, 0},
            {14, Loud, A::Ok, l14, q14, -1},
            {14, NoRenaming, A::Ok, l14, none, -1},
            {15, Loud, A::Ok, {P("Backupdata has been stored in: " + N)}, none, 0},
            {16, Loud, A::Ok, {P("Applying Changes.... " + N)}, none, 0},
            {17, Loud, A::Retry, l17, q17, 0},
            {17, Suppressed, A::Retry, l17, none, -1},
            {17, NoRenaming, A::Retry, l17, none, -1},
            {19, Loud, A::Yes, kBadCrc, q19, 0},
            {19, Loud, A::No, kBadCrc, q19, -1},
            {19, NoRenaming, A::No, kBadCrc, none, 0},
            {20, Loud, A::Ok, missing, none, 0},
            {26, Loud, A::Ok, missing, none, 0},
            {21, Loud, A::Ok, {P("== CRC checking: " + M)}, none, 0},
            {22, Loud, A::Ok, {P("POST ANALYZING " + N), kSep}, none, 0},
            {23, Loud, A::Retry, l23, q23, 0},
            {23, Loud, A::Cancel, l23, q23, -1},
            {23, NoRenaming, A::Retry, l23, none, -1},
            {24, Loud, A::Ok, {On(LogColour::Olive, "======= DONE! =======" + N)}, none, 0},
            {25, Loud, A::Ok, {On(LogColour::Teal, "======= DONE! =======")}, none, 0},
            {27, Loud, A::Ok, l27, q27, 0},
            {27, NoRenaming, A::Ok, l27, none, 0},
            {27, Suppressed, A::Ok, l27, none, 0},
            {28, Loud, A::Ok, {P("== Wrote tagline:  " + N)}, none, 0},
            {30, Loud, A::Yes, {}, q30, 0},
            {30, Loud, A::No, {}, q30, -1},
            {30, NoRenaming, A::Yes, {}, none, -1},
            {30, Suppressed, A::Yes, {}, none, -1},
            {31, Loud, A::Ok, {On(LogColour::Green, "An M3U File will be generated")}, none, 0},
            {40, Loud, A::Ok, {Red("Note: " + N + " was left unchanged: " + M)}, none, 0},
            {0, Loud, A::Ok, {}, none, 0},
            {6, Loud, A::Ok, {}, none, 0},
            {9, Loud, A::Ok, {}, none, 0},
            {32, Loud, A::Ok, {}, none, 0},
            {-1, Loud, A::Ok, {}, none, 0},
        });
}

// Any one renaming option is enough to let the S+ questions through.
TEST(ReporterSilenceTest, EachRenamingOptionLiftsTheSilence) {
    int ProcessOptions::*fields[] = {&ProcessOptions::Truncate,         &ProcessOptions::ReplaceDots,
                                     &ProcessOptions::RemoveDotsInDirs, &ProcessOptions::StripTHEtagDirs,
                                     &ProcessOptions::StripVAtagDirs,   &ProcessOptions::DeleteTempFiles};
    for (auto field : fields) {
        FakeHost host;
        host.options.*field = 1;
        ChangeReporter reporter(host, nullptr);
        reporter.Report(7, "dir");
        EXPECT_EQ(host.questions.size(), 1u);
    }
    FakeHost host;
    host.options.preserveGrptag = 1;  // not a renaming option by itself
    host.options.PrepareCRCCheck = 1;
    ChangeReporter reporter(host, nullptr);
    EXPECT_EQ(reporter.Report(7, "dir"), -1);
    EXPECT_TRUE(host.questions.empty());
}

TEST(ReporterSilenceTest, SuppressAlertsIsReadAtEachReport) {
    FakeHost host;
    host.options.Truncate = 1;
    AnalysisReporter reporter(host, nullptr);
    host.answer = [](const HostQuestion&) { return Answer::Yes; };
    EXPECT_EQ(reporter.Report(2, N), 1);
    host.options.SuppressAlerts = 1;
    EXPECT_EQ(reporter.Report(2, N), -1);
    EXPECT_EQ(host.questions.size(), 1u);
}

TEST(ReporterSilenceTest, ClosingFrontEndRefusesInsteadOfAsking) {
    FakeHost host;
    host.options.Truncate = 1;
    host.answer = [](const HostQuestion&) { return Answer::Retry; };
    JobControl control;
    control.shuttingDown = true;
    ChangeReporter reporter(host, &control);
    EXPECT_EQ(reporter.Report(8, "f"), -1);
    EXPECT_TRUE(host.questions.empty());
    EXPECT_TRUE(control.sawFailure);
}

// Remembered lines.

TEST(RememberedLineTest, AppendsGoBehindTheReportersOwnLine) {
    FakeHost host;
    AnalysisReporter analysis(host, nullptr);
    ChangeReporter change(host, nullptr);
    analysis.Report(7, N, {}, "a.mp3");
    change.Report(21, N, "b.mp3");
    analysis.Report(1);
    change.Report(18);
    analysis.Report(21, "c.mp3");
    analysis.Report(22);
    analysis.Report(7, N, {}, "d.mp3");
    analysis.Report(44);
    change.Report(21, N, "e.mp3");
    change.Report(29);
    std::vector<std::string> expected = {
        "== CRC checking: a.mp3 ===> CRC OK",
        "== CRC checking: b.mp3 ===> CRC OK",
        "== Calculating CRC-sum for c.mp3 ===> DONE",
        "== CRC checking: d.mp3 ===> SKIPPED (trusted)",
        "== CRC checking: e.mp3 ===> SKIPPED (trusted)",
    };
    EXPECT_EQ(host.LogTexts(), expected);
}

TEST(RememberedLineTest, AppendWithNothingRememberedStartsANewLine) {
    FakeHost host;
    AnalysisReporter analysis(host, nullptr);
    analysis.Report(1);
    EXPECT_EQ(host.LogTexts(), std::vector<std::string>{" ===> CRC OK"});
}

// What the reports tell a front end about the run.

TEST(ReporterOutcomeTest, ProblemFilesAndFailuresAreNoted) {
    struct Row {
        bool analysis;
        int code;
        bool problemFiles;
        bool failure;
    };
    const Row rows[] = {
        {true, 2, true, false},   {true, 3, true, false},    {true, 6, true, false},
        {true, -1, false, true},  {true, 16, false, true},   {true, 7, false, false},
        {true, 12, false, false}, {false, 19, true, false},  {false, 20, true, false},
        {false, 26, true, false}, {false, 8, false, true},   {false, 14, false, true},
        {false, 27, false, true}, {false, 28, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.code));
        FakeHost host;
        host.options.SuppressAlerts = 1;
        JobControl control;
        if (row.analysis)
            AnalysisReporter(host, &control).Report(row.code, N, M, X);
        else
            ChangeReporter(host, &control).Report(row.code, N, M, X);
        EXPECT_EQ(control.sawProblemFiles.load(), row.problemFiles);
        EXPECT_EQ(control.sawFailure.load(), row.failure);
    }
}

}  // namespace
}  // namespace kestrow
