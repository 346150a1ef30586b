// The options record that shapes every job: one field per key of the settings file's GENERAL
// section (named exactly as the key), the preserved group tags and the special-file lines.
#pragma once

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "platform/optionvalues.h"

namespace kestrow {

struct ProcessOptions {
    // An on/off option that the user may flip while a job's worker reads it.
    class LiveFlag {
    public:
        LiveFlag(int value = 0) : m_value(value) {}  // NOLINT(google-explicit-constructor)
        LiveFlag(const LiveFlag& other) : m_value(other.m_value.load()) {}
        LiveFlag& operator=(const LiveFlag& other) {
            m_value.store(other.m_value.load());
            return *this;
        }
        LiveFlag& operator=(int value) {
            m_value.store(value);
            return *this;
        }
        operator int() const { return m_value.load(); }  // NOLINT(google-explicit-constructor)

    private:
        std::atomic<int> m_value;
    };

    // Values used when the settings file has no GENERAL section.
    std::string lastDir;
    int lastProcessOption = 2;  // 0 restore, 1 check/prepare, 2 check and tag
    int preserveRlsyear = 1;    // 0 keeps the year before the tag, 1 strips it
    int preserveGrptag = 0;
    int preserveVAtag = 0;
    int prepareBackupTo = 2;  // 0 SFV list, 1 M3U list, 2 "_kestrow.backup"
    int preserveVAtagException1 = 0;
    int StripVAtagDirs = 0;
    int StripTHEtagDirs = 0;
    int StripTHEtagDirsMove = 0;
    int StripTHEtagDirsMoveAddBrackets = 0;
    int Truncate = 0;
    int RestoreTruncated = 0;
    int RestoreCRCCheck = 0;
    int PrepareCRCCheck = 0;
    int DeleteTempFiles = 0;
    int PrepareGenerateM3U = 0;
    LiveFlag ConfirmChanges = 0;
    int TruncateMaxChars = 0;
    int ReplaceDots = 0;
    int RemoveDotsInDirs = 0;
    int RemoveDotsInDirsFrontOnly = 0;
    int GeneratePrepareTagline = 0;
    int GenerateRestoreTagline = 0;
    std::string TaglinePrefix;
    int PrepareTaglineTrustExisting = 0;
    int RestoreTaglineTrustExisting = 0;
    LiveFlag SuppressAlerts = 0;
    int RestoreWithoutBackupData = 0;

    // Section GTAGS; read only, never written back.
    GroupTagMap groupTags;
    // Special-file rules ("REN: a -> b", "DEL: x", "IGN: x", "TRC: x"), in display order: sorted
    // without regard to case, as the list that shows them keeps them.
    std::vector<std::string> specialFileLines;
};

}  // namespace kestrow
