// Record text of the backup data and the name checks shared by writer and reader.
#include "backup/backuprecord.h"

#include <string>

namespace kestrow {

namespace {

// The reader ends every field at the next ";" and the last one at the next ">", and looks for
// these markers anywhere in the text.
constexpr std::string_view kRecordMarkers[] = {"<D:", "<F:", "<T:", "<OP:"};

// Appends the two fields of a name split at its last ".": the tail from the "." on, ";", then
// the part before it. A name without "." stands whole in the second field.
void AppendSplitName(std::string& text, std::string_view name) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        text += ';';
        text += name;
        return;
    }
    text += name.substr(dot);
    text += ';';
    text += name.substr(0, dot);
}

}  // namespace

bool IsValidBackupName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.size() > kMaxBackupNameBytes) return false;
    for (char c : name) {
        if (c == '/' || c == '\\' || c == '\0' || c == '\r' || c == '\n') return false;
    }
    return true;
}

bool IsStorableBackupName(std::string_view name) {
    if (!IsValidBackupName(name)) return false;
    if (name.find(';') != std::string_view::npos || name.find('>') != std::string_view::npos) return false;
    for (std::string_view marker : kRecordMarkers) {
        if (name.find(marker) != std::string_view::npos) return false;
    }
    return true;
}

bool IsValidBackupRecord(const BackupRecord& record) {
    return IsValidBackupName(record.originalName) && IsValidBackupName(record.newName);
}

bool IsStorableBackupRecord(const BackupRecord& record) {
    return IsStorableBackupName(record.originalName) && IsStorableBackupName(record.newName);
}

void AppendBackupRecordText(std::string& text, const BackupRecord& record) {
    switch (record.kind) {
        case BackupRecordKind::Directory:
            text += "<D:;";
            text += record.newName;
            text += ';';
            AppendSplitName(text, record.originalName);
            text += "><OP:";
            text += std::to_string(record.operationNumber);
            text += '>';
            return;
        case BackupRecordKind::File:
            text += "<F:";
            break;
        case BackupRecordKind::TempFile:
            text += "<T:";
            break;
    }
    AppendSplitName(text, record.newName);
    text += ';';
    AppendSplitName(text, record.originalName);
    text += '>';
}

std::string BackupRecordText(const BackupRecord& record) {
    std::string text;
    AppendBackupRecordText(text, record);
    return text;
}

}  // namespace kestrow
