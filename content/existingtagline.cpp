// Reading an earlier run's tagline: an empty OK marker, or a problem tagline listing names.
#include "content/existingtagline.h"

#include "content/dircontents.h"
#include "content/linereader.h"
#include "content/listeddir.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace kestrow {

namespace {

// The status pieces as they stand in a tagline's name.
const std::string kOkStatus = std::string(kTaglineOpen) + std::string(kTaglineOk);
const std::string kProblemCorrupt = std::string(kTaglineOpen) + std::string(kTaglineCorrupt);
const std::string kProblemIncomplete = std::string(kTaglineOpen) + std::string(kTaglineIncomplete);

bool ContainsAfterFirst(const std::string& name, std::string_view marker) {
    return name.find(marker, 1) != std::string::npos;
}

void ReadProblemNames(const std::string& path, std::vector<std::string>& names,
                      platform::Questioner* questioner) {
    LineReader reader(LineReader::kDefaultCapacity, questioner);
    if (!reader.Open(path)) return;
    const std::size_t before = names.size();
    std::string line;
    while (reader.ReadLine(line) != 0) {
        std::string_view trimmed = TrimText(line);
        if (trimmed.size() < 10) continue;
        static_assert(kCorruptLine.size() == kMissingLine.size());
        std::string_view head = trimmed.substr(0, kCorruptLine.size());
        if (platform::IEquals(head, kCorruptLine) || platform::IEquals(head, kMissingLine)) {
            names.emplace_back(trimmed.substr(kCorruptLine.size()));
        }
    }
    // Names read only in part would vouch for files the rest of the tagline calls corrupt.
    if (reader.ReadFailed()) names.resize(before);
}

bool IsProblemTaglineName(const std::string& name) {
    return ContainsAfterFirst(name, kProblemCorrupt) || ContainsAfterFirst(name, kProblemIncomplete);
}

// A problem tagline holds nothing but "Missing: " and "Corrupt: " lines; anything else is a
// file of the user's that merely looks like one.
bool HoldsOnlyProblemLines(const std::string& path) {
    std::string text;
    if (!platform::ReadWholeFile(path, text)) return false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        if (!line.empty() && !platform::IStartsWith(line, kMissingLine) &&
            !platform::IStartsWith(line, kCorruptLine)) {
            return false;
        }
        pos = end + 1;
    }
    return true;
}

bool IsListed(const ListedDir& dir, const std::string& name) {
    for (const SfvList& list : dir.sfvLists) {
        if (list.FindEntry(name) >= 0) return true;
    }
    for (const M3uList& list : dir.m3uLists) {
        if (list.FindEntry(name) >= 0) return true;
    }
    return false;
}

}  // namespace

bool HasTaglineShape(std::string_view name) {
    for (std::size_t p = name.find(kTaglineOpen, 1); p != std::string_view::npos;
         p = name.find(kTaglineOpen, p + 1)) {
        std::string_view rest = name.substr(p + kTaglineOpen.size());
        std::size_t status = 0;
        for (std::string_view s : {kTaglineOk, kTaglineCorrupt, kTaglineIncomplete}) {
            if (rest.substr(0, s.size()) == s) status = s.size();
        }
        if (status == 0) continue;
        const std::string_view prefix = name.substr(0, p);
        const std::string end = std::string(kTaglineClose) + std::string(prefix);
        if (name.size() >= p + kTaglineOpen.size() + status + end.size() &&
            name.substr(name.size() - end.size()) == end)
            return true;
    }
    return false;
}

bool IsOldTagline(const ListedDir& dir, const FileEntry& file) {
    const std::string name = file.path.FileName();
    // The name decides first: the look-ups below are for the rare file that looks like a tagline.
    const bool shaped = file.size == 0
                            ? HasTaglineShape(name)
                            : IsProblemTaglineName(name) && ClassOfFileName(name) == FileClass::Other;
    if (!shaped || IsSubdirMarker(dir, file) || IsListed(dir, name)) return false;
    return file.size == 0 || HoldsOnlyProblemLines(dir.DirPath() + name);
}

bool IsSubdirMarker(const DirContents& dir, const FileEntry& file) {
    if (file.size != 0) return false;
    const std::string name = file.path.FileName();
    for (const FileEntry& sub : dir.List(FileClass::Subdir)) {
        const std::string subName = sub.path.LastComponent();
        for (std::string_view suffix : kMarkerSuffixes) {
            if (platform::IEquals(name, subName + std::string(suffix))) return true;
        }
    }
    return false;
}

bool ReadExistingTagline(const DirContents& dir, std::vector<std::string>* names,
                         platform::Questioner* questioner) {
    for (FileClass c : kAllFilesOrder) {
        for (const FileEntry& file : dir.List(c)) {
            const std::string name = file.path.FileName();
            if (file.size == 0) {
                if (ContainsAfterFirst(name, kOkStatus)) return true;
                continue;
            }
            if (names && IsProblemTaglineName(name)) {
                ReadProblemNames(dir.DirPath() + name, *names, questioner);
                return false;
            }
        }
    }
    return false;
}

}  // namespace kestrow
