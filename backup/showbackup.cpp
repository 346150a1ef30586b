// Rendering a directory's backup data for the console.
#include "backup/showbackup.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "backup/backupdata.h"
#include "backup/backupfinder.h"
#include "content/listeddir.h"
#include "platform/text.h"

namespace kestrow {

namespace {

// Keeps what the finder reports instead of showing it; goes on past a second block (the first
// one is the one a restore would use) and past lines of invalid syntax.
class CollectingReporter : public Reporter {
public:
    int Report(int code, const std::string& n, const std::string&, const std::string& x) override {
        constexpr int kGoOn = AnswerValue(AnalysisAnswer::GoOn);
        switch (code) {
            case AnalysisCode::SyntaxError:
                syntaxErrors.emplace_back(n, x);
                return kGoOn;
            case AnalysisCode::BackupFoundIn:
                foundIn.push_back(n);
                return kGoOn;
            case AnalysisCode::BackupCorrupt:
                corruptIn = n;
                return AnswerValue(AnalysisAnswer::Stop);
            default:
                return kGoOn;
        }
    }

    std::vector<std::string> foundIn;
    std::vector<std::pair<std::string, std::string>> syntaxErrors;  // list, line
    std::string corruptIn;
};

// Names come from downloaded releases: nothing in them may act on the terminal.
std::string Quoted(std::string_view s) {
    return "\"" + platform::EscapeControls(s, "\"\\") + "\"";
}

const char* PlaceName(BackupSource source) {
    switch (source) {
        case BackupSource::Sfv:
            return "SFV list";
        case BackupSource::M3u:
            return "M3U playlist";
        case BackupSource::BackupFile:
            return "backup file";
        case BackupSource::None:
            break;
    }
    return "";
}

void AppendRecords(std::string& text, const char* title, const std::vector<BackupRecord>& records) {
    text += title;
    text += " (" + std::to_string(records.size()) + ")" +
            (records.empty() ? "\n" : ", name on disk <- original name:\n");
    for (const auto& r : records) text += "  " + Quoted(r.newName) + " <- " + Quoted(r.originalName) + "\n";
}

}  // namespace

int ShowBackup(const std::string& dirPath, std::string& text) {
    text.clear();
    ListedDir dir(dirPath);
    if (!dir.LoadLists(nullptr)) {
        text = "Cannot read the directory " + Quoted(dirPath) + "\n";
        return 2;
    }
    text = "Backup data of " + Quoted(dir.DirPath()) + "\n";
    BackupData data;
    CollectingReporter reporter;
    int result = findBackupData(dir, data, false, reporter);
    for (const auto& [list, line] : reporter.syntaxErrors)
        text += "Line of invalid syntax in " + Quoted(list) + ": " + Quoted(line) + "\n";
    if (!reporter.corruptIn.empty()) {
        text += "The backup data in " + Quoted(reporter.corruptIn) +
                " is damaged or not complete and cannot be read; nothing can be restored from it.\n";
        return 1;
    }
    if (result <= 0 || data.NoBackupData()) {
        text += dir.sfvLists.empty() && dir.m3uLists.empty() && !dir.backupFile
                    ? "No backup data: the directory has no SFV list, no playlist and no _kestrow.backup.\n"
                    : "No backup data: none of the directory's lists holds any.\n";
        return 1;
    }
    text += "Stored in: " + Quoted(reporter.foundIn.front()) + " (" + PlaceName(data.Source()) + ")\n";
    for (std::size_t i = 1; i < reporter.foundIn.size(); ++i) {
        text +=
            "Also found in: " + Quoted(reporter.foundIn[i]) + " (not used: only the first block counts)\n";
    }
    if (data.HasDirectoryRecord()) {
        const BackupRecord& d = data.DirectoryRecord();
        text += "Directory: " + Quoted(d.newName) + " <- " + Quoted(d.originalName) + ", operation number " +
                std::to_string(d.operationNumber) + "\n";
    } else {
        text += "Directory: not renamed\n";
    }
    AppendRecords(text, "Files", data.FileRecords());
    AppendRecords(text, "Temp files", data.TempFileRecords());
    return 0;
}

}  // namespace kestrow
