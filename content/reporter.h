// The channel through which every engine step reports findings and asks questions.
#pragma once

#include <string>

namespace kestrow {

// A report is a code and up to three texts (N, M, X); the answer (AnalysisAnswer or
// ChangeAnswer) tells the step to go on, retry or stop. Implementations may be called from worker
// threads.
class Reporter {
public:
    virtual ~Reporter() = default;
    virtual int Report(int code, const std::string& n = {}, const std::string& m = {},
                       const std::string& x = {}) = 0;
};

// Report codes: one enumeration per reporter, named where a step raises them and where the
// reporter renders them. The values are the system's own and stay as they are. They convert to
// the int of Report (and tests compare them as ints), so they are enumerations in a namespace.

// Analysis report codes raised by the engine steps that examine a directory.
namespace AnalysisCode {
enum Code : int {
    BackupDataPresent = -1,
    CrcOk = 1,
    BadCrc = 2,
    ListedFileMissing = 3,
    SyntaxError = 5,
    OpenError = 6,
    CrcChecking = 7,
    AnalyzingContents = 8,
    NoSfv = 9,
    NoM3u = 10,
    NoLists = 11,
    IntegrityOk = 12,
    NoBackupData = 13,
    BackupFoundIn = 14,
    BackupInMoreThanOne = 15,
    BackupCorrupt = 16,
    NoNfoAsk = 42,
    NoNfo = 43,
    SkippedTrusted = 44,
    FilesMissingAsk = 45,
    ListUnreadable = 48,  // N: a list that could not be read, X: why.
};
}  // namespace AnalysisCode

// Change report codes raised by planning, apply and the tagline step.
namespace ChangeCode {
enum Code : int {
    ListingHeader = 1,
    DirRename = 2,
    FileChange = 3,
    NotInListAsk = 4,
    NonMp3NotInList = 5,
    CouldNotRenameDir = 7,
    CouldNotRenameFile = 8,
    CouldNotDeleteFile = 10,
    NoSfvWritten = 11,
    NoM3uWritten = 12,
    NoBackupFileWritten = 13,
    NothingWritten = 14,
    StoredIn = 15,
    ApplyingChanges = 16,
    CouldNotSaveFile = 17,
    Done = 25,
    CouldNotCreateTagline = 27,
    WroteTagline = 28,
    PlaylistGenerated = 31,
    LeftUnchanged = 40,         // N: the name left as it is, M: why.
    BackupFileUnreadable = 43,  // N: the backup file that holds no readable block and is left as it is.
};
}  // namespace ChangeCode

// What a report answers the step that raised it. The values are the ones the steps test for, and
// the two channels differ: an analysis step goes on at 1 and takes 0 as "retry" or, after a
// question about a proposed change, as "agreed"; a change step goes on, retries or agrees at 0.
// Every channel stops at -1.
enum class AnalysisAnswer : int { Stop = -1, Retry = 0, Agreed = 0, GoOn = 1 };
enum class ChangeAnswer : int { Stop = -1, Retry = 0, Agreed = 0, GoOn = 0 };

constexpr int AnswerValue(AnalysisAnswer a) {
    return static_cast<int>(a);
}
constexpr int AnswerValue(ChangeAnswer a) {
    return static_cast<int>(a);
}

// One channel's answers as the ints Report returns, for a reporter's switch arms.
template <class Answer>
struct ChannelAnswers {
    static constexpr int kGoOn = static_cast<int>(Answer::GoOn);
    static constexpr int kRetry = static_cast<int>(Answer::Retry);
    static constexpr int kAgreed = static_cast<int>(Answer::Agreed);
    static constexpr int kStop = static_cast<int>(Answer::Stop);
};

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

constexpr int CodeValue(RestoreAnalysisCode code) {
    return static_cast<int>(code);
}
constexpr int CodeValue(RestoreChangeCode code) {
    return static_cast<int>(code);
}
// The restore pass renders these through the change reporter under the prepare pass's names.
static_assert(CodeValue(RestoreChangeCode::Done) == ChangeCode::Done);
static_assert(CodeValue(RestoreChangeCode::CouldNotCreateTagline) == ChangeCode::CouldNotCreateTagline);
static_assert(CodeValue(RestoreChangeCode::WroteTagline) == ChangeCode::WroteTagline);

inline int Report(Reporter& reporter, RestoreAnalysisCode code, const std::string& n = {},
                  const std::string& x = {}) {
    return reporter.Report(static_cast<int>(code), n, {}, x);
}
inline int Report(Reporter& reporter, RestoreChangeCode code, const std::string& n = {},
                  const std::string& m = {}) {
    return reporter.Report(static_cast<int>(code), n, m);
}

}  // namespace kestrow
