// The channel through which every engine step reports findings and asks questions.
#pragma once

#include <string>

namespace kestrow {

// A report is a code and up to three texts (N, M, X); the answer tells the step to go on,
// retry (0 from a Retry button) or stop (-1). Implementations may be called from worker threads.
class Reporter {
public:
    virtual ~Reporter() = default;
    virtual int Report(int code, const std::string& n = {}, const std::string& m = {},
                       const std::string& x = {}) = 0;
};

// Analysis report codes raised by the engine steps that examine a directory.
namespace AnalysisCode {
inline constexpr int BackupDataPresent = -1;
inline constexpr int CrcOk = 1;
inline constexpr int BadCrc = 2;
inline constexpr int ListedFileMissing = 3;
inline constexpr int SyntaxError = 5;
inline constexpr int OpenError = 6;
inline constexpr int CrcChecking = 7;
inline constexpr int AnalyzingContents = 8;
inline constexpr int NoSfv = 9;
inline constexpr int NoM3u = 10;
inline constexpr int NoLists = 11;
inline constexpr int IntegrityOk = 12;
inline constexpr int NoBackupData = 13;
inline constexpr int BackupFoundIn = 14;
inline constexpr int BackupInMoreThanOne = 15;
inline constexpr int BackupCorrupt = 16;
inline constexpr int NoNfoAsk = 42;
inline constexpr int NoNfo = 43;
inline constexpr int SkippedTrusted = 44;
inline constexpr int FilesMissingAsk = 45;
// N: a list that could not be read, X: why.
inline constexpr int ListUnreadable = 48;
}  // namespace AnalysisCode

// Change report codes raised by planning, apply and the tagline step.
namespace ChangeCode {
inline constexpr int ListingHeader = 1;
inline constexpr int DirRename = 2;
inline constexpr int FileChange = 3;
inline constexpr int NotInListAsk = 4;
inline constexpr int NonMp3NotInList = 5;
inline constexpr int CouldNotRenameDir = 7;
inline constexpr int CouldNotRenameFile = 8;
inline constexpr int CouldNotDeleteFile = 10;
inline constexpr int NoSfvWritten = 11;
inline constexpr int NoM3uWritten = 12;
inline constexpr int NoBackupFileWritten = 13;
inline constexpr int NothingWritten = 14;
inline constexpr int StoredIn = 15;
inline constexpr int ApplyingChanges = 16;
inline constexpr int CouldNotSaveFile = 17;
inline constexpr int Done = 25;
inline constexpr int CouldNotCreateTagline = 27;
inline constexpr int WroteTagline = 28;
inline constexpr int PlaylistGenerated = 31;
// N: the name left as it is, M: why.
inline constexpr int LeftUnchanged = 40;
// N: the backup file that holds no readable block and is left as it is.
inline constexpr int BackupFileUnreadable = 43;
}  // namespace ChangeCode

// Codes of the restore pass. The analysis reporter renders the analysis codes (N: the name the
// prepare pass gave, X: the original name), the change reporter the apply and post-analysis codes.
enum class RestoreAnalysisCode : int {
    CalculatingCrc = 21,  // N: the file whose CRC is computed; the line is remembered
    CrcCalculated = 22,   // appended to the remembered line
    CrcOkFor = 23,        // X: the file
    RemovedFromSfv = 24,  // T listed again under O with the same CRC
    OriginalListedOtherCrc = 25,
    CorruptRestoreAnyway = 26,
    NoCrcForTruncated = 27,
    IdenticalBoth = 28,
    ReplaceBadOriginal = 29,
    CorruptTruncatedRemoved = 30,
    TruncatedMissing = 31,
    TruncatedMissingListed = 32,
    TruncatedMissingOtherCrc = 33,
    TruncatedGoneOriginalOk = 34,
    TruncatedGoneOriginalBad = 35,
    TempOverwrite = 36,
    TempMissing = 37,
    ListingHeader = 38,
    DirRename = 39,
    FileRename = 40,
    AmbiguousWithoutBackup = 46,
    // T and O both present and different, and the lists do not tell which one is right.
    BothPresentKept = 47,
    // Without backup data: N matched the list entry X, but X is already taken on disk.
    UnbackedNameTaken = 49,
};

enum class RestoreChangeCode : int {
    CrcOk = 18,
    BadCrc = 19,
    ListedFileMissing = 20,
    CrcChecking = 21,
    PostAnalyzing = 22,
    OpenError = 23,
    DoneIn = 24,
    Done = 25,
    ListedFileMissingAgain = 26,
    CouldNotCreateTagline = 27,
    WroteTagline = 28,
    SkippedTrusted = 29,
    FilesMissingAsk = 30,
};

inline int Report(Reporter& reporter, RestoreAnalysisCode code, const std::string& n = {},
                  const std::string& x = {}) {
    return reporter.Report(static_cast<int>(code), n, {}, x);
}
inline int Report(Reporter& reporter, RestoreChangeCode code, const std::string& n = {},
                  const std::string& m = {}) {
    return reporter.Report(static_cast<int>(code), n, m);
}

}  // namespace kestrow
