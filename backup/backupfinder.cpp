// The backup-data finder: searches "_kestrow.backup", then the SFV lists, then the playlists, takes
// the first block, and reports every further one.
#include "backup/backupfinder.h"

#include "content/linereader.h"
#include "content/listentry.h"
#include "content/reporter.h"

namespace kestrow {

namespace {

constexpr int kRetry = 2;  // internal: the user asked to load the lists again

// One place that may hold the block. List comments carry a "<N>" prefix ("<>" for lines added
// since loading); the lines of "_kestrow.backup" carry none.
struct Place {
    BackupSource kind;
    int index;
    std::string name;
    std::vector<std::string>* lines;
    bool prefixed;
};

std::vector<std::string> LineTexts(const Place& place) {
    std::vector<std::string> texts;
    texts.reserve(place.lines->size());
    for (const auto& stored : *place.lines) {
        texts.emplace_back(place.prefixed ? WithoutPrefix(stored) : std::string_view(stored));
    }
    return texts;
}

bool IsHeaderAt(const std::vector<std::string>& texts, std::size_t first) {
    for (std::size_t k = 0; k < 4; ++k) {
        if (TrimText(texts[first + k]) != kBackupHeaderLines[k]) return false;
    }
    return true;
}

// Takes lines [start, last] out of the place; returns the index at which the scan goes on. A
// numbered comment keeps its number with an empty text, so the lines after it keep their places
// among the entries when the list is written; such a comment never comes from a file (a ";"
// alone is not a significant line) and the list writer leaves it out.
std::size_t RemoveLines(Place& place, std::size_t start, std::size_t last) {
    std::vector<std::string>& lines = *place.lines;
    std::size_t erased = 0;
    for (std::size_t i = start; i <= last; ++i) {
        std::size_t at = i - erased;
        int n = place.prefixed ? PrefixNumber(lines[at]) : -1;
        if (n >= 0) {
            lines[at] = ListPrefix(static_cast<unsigned>(n));
        } else {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
            ++erased;
        }
    }
    return last + 1 - erased;
}

std::vector<Place> PlacesOf(ListedDir& dir) {
    std::vector<Place> places;
    if (dir.backupFile) {
        places.push_back({BackupSource::BackupFile, 0, std::string(kBackupFileName),
                          &dir.backupFile->MutableComments(), false});
    }
    for (std::size_t i = 0; i < dir.sfvLists.size(); ++i) {
        places.push_back({BackupSource::Sfv, static_cast<int>(i), dir.sfvLists[i].FileName(),
                          &dir.sfvLists[i].MutableComments(), true});
    }
    for (std::size_t i = 0; i < dir.m3uLists.size(); ++i) {
        places.push_back({BackupSource::M3u, static_cast<int>(i), dir.m3uLists[i].FileName(),
                          &dir.m3uLists[i].MutableComments(), true});
    }
    return places;
}

void ResetData(BackupData& data) {
    data.SetNoBackupData(true);
    data.SetEncodedText({});
    data.ClearPlainText();
    data.ClearRecords();
    data.ClearSource();
}

int Search(ListedDir& dir, BackupData& data, Reporter& reporter) {
    ResetData(data);
    bool hasSfv = !dir.sfvLists.empty();
    bool hasM3u = !dir.m3uLists.empty();
    if (hasM3u && !hasSfv) reporter.Report(AnalysisCode::NoSfv);
    if (hasSfv && !hasM3u) reporter.Report(AnalysisCode::NoM3u);
    if (!hasSfv && !hasM3u) {
        reporter.Report(AnalysisCode::NoLists);
        if (!dir.backupFile) {
            reporter.Report(AnalysisCode::NoBackupData);
            return 0;
        }
    }

    std::string takenFrom;
    for (Place& place : PlacesOf(dir)) {
        std::vector<std::string> texts = LineTexts(place);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (texts[i].find(kEncodedStart) == std::string::npos) continue;
            reporter.Report(AnalysisCode::BackupFoundIn, place.name);
            if (!takenFrom.empty()) {
                int answer = reporter.Report(AnalysisCode::BackupInMoreThanOne);
                if (answer == -1) return -1;
                if (answer == 0) return kRetry;
                continue;
            }
            std::string joined;
            std::size_t last = 0;
            if (!JoinBackupLines(texts, i, joined, last)) {
                reporter.Report(AnalysisCode::BackupCorrupt, place.name);
                ResetData(data);
                return 0;
            }
            data.SetEncodedText(std::move(joined));
            data.SetFound(place.kind, place.index, last);
            data.SetNoBackupData(false);
            takenFrom = place.name;
            std::size_t start = i >= 4 && IsHeaderAt(texts, i - 4) ? i - 4 : i;
            std::size_t resume = RemoveLines(place, start, last);
            texts = LineTexts(place);
            i = resume - 1;  // the loop steps on to `resume`
        }
    }

    for (const SfvList& list : dir.sfvLists) {
        for (const std::string& line : list.InvalidLines()) {
            if (reporter.Report(AnalysisCode::SyntaxError, list.FileName(), {},
                                std::string(WithoutPrefix(line))) == -1) {
                return -1;
            }
        }
    }

    if (!takenFrom.empty() && !data.Decode()) {
        reporter.Report(AnalysisCode::BackupCorrupt, takenFrom);
        data.SetNoBackupData(true);
        return 0;
    }
    return 1;
}

}  // namespace

bool JoinBackupLines(const std::vector<std::string>& lines, std::size_t first, std::string& joined,
                     std::size_t& last) {
    joined.clear();
    for (std::size_t i = first; i < lines.size(); ++i) {
        joined += lines[i];
        if (joined.find(kEncodedEnd) != std::string::npos) {
            last = i;
            return true;
        }
    }
    return false;
}

bool HoldsBackupData(const ListedDir& dir) {
    auto holds = [](const std::vector<std::string>& lines) {
        for (const auto& line : lines) {
            if (line.find(kEncodedStart) != std::string::npos) return true;
        }
        return false;
    };
    if (dir.backupFile && holds(dir.backupFile->Comments())) return true;
    for (const auto& list : dir.sfvLists) {
        if (holds(list.Comments())) return true;
    }
    for (const auto& list : dir.m3uLists) {
        if (holds(list.Comments())) return true;
    }
    return false;
}

int findBackupData(ListedDir& dir, BackupData& data, bool reloadLists, Reporter& reporter,
                   platform::Questioner* questioner) {
    for (;;) {
        if (reloadLists) dir.LoadLists(questioner);
        int result = Search(dir, data, reporter);
        if (result != kRetry) return result;
        reloadLists = true;
    }
}

}  // namespace kestrow
