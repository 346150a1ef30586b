// Reading an earlier run's tagline: an empty OK marker, or a problem tagline listing names.
#include "content/existingtagline.h"

#include "content/dircontents.h"
#include "content/linereader.h"
#include "platform/text.h"

namespace kestrow {

namespace {

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
        std::string_view head = trimmed.substr(0, 9);
        if (platform::IEquals(head, "Corrupt: ") || platform::IEquals(head, "Missing: ")) {
            names.emplace_back(trimmed.substr(9));
        }
    }
    // Names read only in part would vouch for files the rest of the tagline calls corrupt.
    if (reader.ReadFailed()) names.resize(before);
}

}  // namespace

bool ReadExistingTagline(const DirContents& dir, std::vector<std::string>* names,
                         platform::Questioner* questioner) {
    for (FileClass c : kAllFilesOrder) {
        for (const FileEntry& file : dir.List(c)) {
            const std::string name = file.path.FileName();
            if (file.size == 0) {
                if (ContainsAfterFirst(name, "-[OK-")) return true;
                continue;
            }
            if (names &&
                (ContainsAfterFirst(name, "-[#CORRUPT#-") || ContainsAfterFirst(name, "-[#INCOMPLETE#-"))) {
                ReadProblemNames(dir.DirPath() + name, *names, questioner);
                return false;
            }
        }
    }
    return false;
}

}  // namespace kestrow
