// The keys of section GENERAL and how each is read and written.
#include "settings/options.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "platform/optionvalues.h"
#include "platform/text.h"

namespace kestrow {

namespace {

constexpr std::string_view kGeneral = "GENERAL";
constexpr std::string_view kGroupTags = "GTAGS";
constexpr std::string_view kTempFile = "TempFile";

enum class KeyKind {
    Text,
    OnOff,   // any non-zero value reads as 1; written "1" or "0"
    Binary,  // read as it stands; written "1" when 1, else "0"
    Choice,  // read as it stands; written "0", "1", or "2" for anything else
    Number,  // read and written as it stands
};

struct Key {
    std::string_view name;
    KeyKind kind;
    int ProcessOptions::*number = nullptr;
    ProcessOptions::LiveFlag ProcessOptions::*flag = nullptr;
    std::string ProcessOptions::*text = nullptr;
};

#define KESTROW_TEXT(field)                                             \
    Key {                                                               \
#field, KeyKind::Text, nullptr, nullptr, &ProcessOptions::field \
    }
#define KESTROW_INT(field, kind)                                        \
    Key {                                                               \
#field, KeyKind::kind, &ProcessOptions::field, nullptr, nullptr \
    }
#define KESTROW_LIVE(field)                                              \
    Key {                                                                \
#field, KeyKind::OnOff, nullptr, &ProcessOptions::field, nullptr \
    }

// In the order the keys are read and, for a new file, written.
constexpr Key kKeys[] = {
    KESTROW_TEXT(lastDir),
    KESTROW_INT(lastProcessOption, Choice),
    KESTROW_INT(preserveRlsyear, Binary),
    KESTROW_INT(preserveGrptag, OnOff),
    KESTROW_INT(preserveVAtag, OnOff),
    KESTROW_INT(prepareBackupTo, Choice),
    KESTROW_INT(preserveVAtagException1, OnOff),
    KESTROW_INT(StripVAtagDirs, OnOff),
    KESTROW_INT(StripTHEtagDirs, OnOff),
    KESTROW_INT(StripTHEtagDirsMove, OnOff),
    KESTROW_INT(StripTHEtagDirsMoveAddBrackets, OnOff),
    KESTROW_INT(Truncate, OnOff),
    KESTROW_INT(RestoreTruncated, OnOff),
    KESTROW_INT(RestoreCRCCheck, OnOff),
    KESTROW_INT(PrepareCRCCheck, OnOff),
    KESTROW_INT(DeleteTempFiles, OnOff),
    KESTROW_INT(PrepareGenerateM3U, OnOff),
    KESTROW_LIVE(ConfirmChanges),
    KESTROW_INT(TruncateMaxChars, Number),
    KESTROW_INT(ReplaceDots, OnOff),
    KESTROW_INT(RemoveDotsInDirs, OnOff),
    KESTROW_INT(RemoveDotsInDirsFrontOnly, OnOff),
    KESTROW_INT(GeneratePrepareTagline, OnOff),
    KESTROW_INT(GenerateRestoreTagline, OnOff),
    KESTROW_TEXT(TaglinePrefix),
    KESTROW_INT(PrepareTaglineTrustExisting, OnOff),
    KESTROW_INT(RestoreTaglineTrustExisting, OnOff),
    KESTROW_LIVE(SuppressAlerts),
    KESTROW_INT(RestoreWithoutBackupData, OnOff),
};

#undef KESTROW_TEXT
#undef KESTROW_INT
#undef KESTROW_LIVE

int GetInt(const ProcessOptions& options, const Key& key) {
    return key.number ? options.*key.number : static_cast<int>(options.*key.flag);
}

void SetInt(ProcessOptions& options, const Key& key, int value) {
    if (key.number)
        options.*key.number = value;
    else
        options.*key.flag = value;
}

std::string TempFileKey(std::size_t n) {
    return std::string(kTempFile) + std::to_string(n);
}

// Creates a folder and its missing parents, private to the user as configuration folders are.
platform::Status MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return platform::Status::fromErrno();
        }
        if (slash == std::string::npos) break;
    }
    if (platform::Stat(folder) != platform::PathKind::Directory) return platform::Status{ENOTDIR};
    return {};
}

}  // namespace

void ReadOptions(const CSettingsFile& file, ProcessOptions& options) {
    if (file.SectionExists(kGeneral)) {
        for (const Key& key : kKeys) {
            if (key.kind == KeyKind::Text) {
                options.*key.text = file.ReadString(key.name, kGeneral);
                continue;
            }
            int value = file.ReadInt(key.name, kGeneral);
            SetInt(options, key, key.kind == KeyKind::OnOff ? (value != 0 ? 1 : 0) : value);
        }
        options.specialFileLines.clear();
        for (std::size_t n = 1;; ++n) {
            std::string line = file.ReadString(TempFileKey(n), kGeneral);
            if (line.empty()) break;
            options.specialFileLines.push_back(std::move(line));
        }
        // The list that shows the lines keeps them sorted, and the rules are taken in its order.
        std::stable_sort(
            options.specialFileLines.begin(), options.specialFileLines.end(),
            [](const std::string& a, const std::string& b) { return platform::ICompare(a, b) < 0; });
        if (options.TaglinePrefix.empty()) options.TaglinePrefix = kDefaultTaglinePrefix;
    }
    if (file.SectionExists(kGroupTags)) options.groupTags = file.ReadSectionMap(kGroupTags);
}

void WriteOptions(CSettingsFile& file, const ProcessOptions& options) {
    for (const Key& key : kKeys) {
        std::string value;
        switch (key.kind) {
            case KeyKind::Text:
                value = options.*key.text;
                break;
            case KeyKind::OnOff:
            case KeyKind::Binary:
                value = GetInt(options, key) == 1 ? "1" : "0";
                break;
            case KeyKind::Choice: {
                int v = GetInt(options, key);
                value = v == 0 ? "0" : v == 1 ? "1" : "2";
                break;
            }
            case KeyKind::Number:
                value = std::to_string(GetInt(options, key));
                break;
        }
        file.WriteString(value, key.name, kGeneral);
    }
    std::size_t count = options.specialFileLines.size();
    for (std::size_t i = 0; i < count; ++i)
        file.WriteString(options.specialFileLines[i], TempFileKey(i + 1), kGeneral);
    // Keys of a longer list saved before are blanked, not removed: the empty value ends the list.
    for (std::size_t n = count + 1; !file.ReadString(TempFileKey(n), kGeneral).empty(); ++n) {
        file.WriteString("", TempFileKey(n), kGeneral);
    }
}

platform::Status LoadOptions(const SettingsLocation& where, ProcessOptions& options) {
    options = ProcessOptions{};
    CSettingsFile file;
    platform::Status s = where.file.empty() ? platform::Status{ENOENT} : file.SetPath(where.file);
    if (s.error == ENOENT && !where.defaultsFile.empty()) s = file.SetPath(where.defaultsFile);
    if (s.error == ENOENT) return {};
    if (!s) return s;
    ReadOptions(file, options);
    return {};
}

platform::Status SaveOptions(const SettingsLocation& where, const ProcessOptions& options) {
    if (where.file.empty()) return platform::Status{ENOENT};
    // The file is read again rather than kept from start-up, so lines the user edited in it
    // meanwhile (group tags, comments) survive the save.
    CSettingsFile file;
    platform::Status s = file.SetPath(where.file);
    if (!s && s.error != ENOENT) return s;
    if (s.error == ENOENT && !where.defaultsFile.empty()) {
        // A first save starts from the shipped defaults, so their group tags (never written by
        // the program) stay available after the user's own file exists.
        CSettingsFile defaults;
        if (defaults.SetPath(where.defaultsFile)) file.SetContent(defaults.Serialize());
    }
    WriteOptions(file, options);
    if (!file.modified()) return {};
    if (!where.folderToCreate.empty()) {
        if (platform::Status made = MakeFolders(where.folderToCreate); !made) return made;
    }
    return file.Flush();
}

}  // namespace kestrow
