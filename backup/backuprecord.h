// One name change of a prepare pass as it is written into the backup data, and the rules for the
// names such a record may carry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrow {

enum class BackupRecordKind { Directory, File, TempFile };

struct BackupRecord {
    BackupRecordKind kind = BackupRecordKind::File;
    std::string originalName;  // the name before the prepare pass
    std::string newName;       // the name the prepare pass gave it, on disk until a restore
    // Only the directory record carries it; it travels unchanged from prepare to restore.
    std::int32_t operationNumber = 0;

    bool operator==(const BackupRecord&) const = default;
};

// Longest name, in bytes, that a record may carry (the limit of Linux file names).
inline constexpr std::size_t kMaxBackupNameBytes = 255;

// Whether a name read from backup data may be used at all: not empty, not "." or "..", no
// "/", "\", NUL, CR or LF, at most 255 bytes. Names come from downloaded releases, so anything
// else could point a restore outside its directory.
bool IsValidBackupName(std::string_view name);

// Whether the record text holds the name faithfully: a valid name without ";" or ">" (field
// ends) and without a record marker ("<D:", "<F:", "<T:", "<OP:") that the reader would take for
// the start of another record.
bool IsStorableBackupName(std::string_view name);

// Both names valid (IsValidBackupName).
bool IsValidBackupRecord(const BackupRecord& record);
// Both names storable (IsStorableBackupName).
bool IsStorableBackupRecord(const BackupRecord& record);

// Appends the record's text: "<F:" A ";" B ";" C ";" E ">" with the new name as B+A and the
// original as E+C, each split at its last "."; the directory record keeps its new name whole and
// ends in "<OP:" N ">".
void AppendBackupRecordText(std::string& text, const BackupRecord& record);
std::string BackupRecordText(const BackupRecord& record);

}  // namespace kestrow
