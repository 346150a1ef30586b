// Reading and writing "_kestrow.backup": only its ";" lines carry data.
#include "content/backupfile.h"

#include "content/linereader.h"
#include "content/listentry.h"

namespace kestrow {

bool BackupFile::Load(std::string* error, platform::Questioner* questioner) {
    m_comments.clear();
    m_hasContent = false;
    bool opened = ReadSignificantLines(m_file.FullPath(), error, questioner,
                                       [this](unsigned, std::string_view trimmed, const std::string& raw) {
                                           if (trimmed.front() == ';') {
                                               m_comments.push_back(raw.substr(raw.find(';') + 1));
                                           } else {
                                               m_hasContent = true;
                                           }
                                       });
    if (opened) {
        m_hasContent = true;
    } else {
        // Backup data read only in part would restore wrong names.
        m_comments.clear();
        m_hasContent = false;
    }
    return opened;
}

std::string BackupFile::Comment(std::size_t index) const {
    return index < m_comments.size() ? m_comments[index] : std::string();
}

std::string BackupFile::Text() const {
    std::string out;
    for (const auto& line : m_comments) {
        out += ';';
        out += line;
        out += kListLineEnd;
    }
    return out;
}

}  // namespace kestrow
