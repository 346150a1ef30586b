// Hashed name sets for planning.
#include "rename/nameset.h"

#include "platform/text.h"

namespace kestrow {

void NameSet::Add(std::string_view name) {
    ++m_counts[platform::FoldCase(name)];
}

std::size_t NameSet::Count(std::string_view name) const {
    const auto it = m_counts.find(platform::FoldCase(name));
    return it == m_counts.end() ? 0 : it->second;
}

NameSet NameSet::Of(const DirContents& dir) {
    NameSet set;
    for (FileClass c : kAllFilesOrder) {
        for (const FileEntry& file : dir.List(c)) set.Add(file.path.FileName());
    }
    for (std::size_t i = 0; i < dir.SubdirCount(); ++i) set.Add(dir.SubdirName(i));
    return set;
}

void RecordedNames::AddRecords(std::string_view text) {
    for (std::size_t open = text.find('<'); open != std::string_view::npos; open = text.find('<', open + 1)) {
        const std::size_t close = text.find('>', open);
        if (close == std::string_view::npos) return;
        const std::string_view body = text.substr(open + 1, close - open - 1);
        if (body.size() < 2 || body[1] != ':') continue;  // "<OP:n>" carries no name
        // Stored names hold no ';', so the four fields are new extension, new title, old
        // extension, old title.
        const std::string_view fields = body.substr(2);
        std::size_t start = 0;
        for (int pair = 0; pair < 2; ++pair) {
            const std::size_t first = fields.find(';', start);
            if (first == std::string_view::npos) break;
            const std::size_t second = fields.find(';', first + 1);
            const std::size_t end = second == std::string_view::npos ? fields.size() : second;
            m_pairs.emplace(fields.substr(start, end - start));
            if (second == std::string_view::npos) break;
            start = second + 1;
        }
        open = close;
    }
}

bool RecordedNames::Contains(std::string_view extension, std::string_view title) const {
    std::string key;
    key.reserve(extension.size() + 1 + title.size());
    key.append(extension).append(";").append(title);
    return m_pairs.count(key) > 0;
}

}  // namespace kestrow
