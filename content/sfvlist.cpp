// SFV line syntax: "; comment", or a name, blanks or tabs, and a hexadecimal CRC.
#include "content/sfvlist.h"

#include "content/linereader.h"
#include "platform/text.h"

namespace kestrow {

namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

std::optional<ListEntry> SfvList::ParseDataLine(std::string_view trimmed) {
    auto sep = trimmed.find_last_of(" \t");
    if (sep == std::string_view::npos) return std::nullopt;
    std::string_view crc = trimmed.substr(sep + 1);
    if (crc.empty()) return std::nullopt;
    for (char c : crc) {
        if (!IsHexDigit(c)) return std::nullopt;
    }
    std::string_view name = trimmed.substr(0, sep);
    auto end = name.find_last_not_of(" \t\r\n\v\f");
    name = end == std::string_view::npos ? std::string_view() : name.substr(0, end + 1);
    if (name.empty()) return std::nullopt;
    return ListEntry(name, crc);
}

bool SfvList::Load(std::string* error, platform::Questioner* questioner) {
    m_loaded = false;
    m_entries.clear();
    EntriesReordered();
    m_comments.clear();
    m_invalidLines.clear();
    m_loadError.clear();
    bool opened =
        ReadSignificantLines(m_file.FullPath(), &m_loadError, questioner,
                             [this](unsigned n, std::string_view trimmed, const std::string& raw) {
                                 if (trimmed.front() == ';') {
                                     // The rest keeps its trailing blanks: stored backup data may end in one.
                                     m_comments.push_back(ListPrefix(n) + raw.substr(raw.find(';') + 1));
                                 } else if (auto entry = ParseDataLine(trimmed)) {
                                     m_entries.push_back(std::move(*entry));
                                 } else {
                                     m_invalidLines.push_back(ListPrefix(n) + std::string(trimmed));
                                 }
                             });
    if (!opened) {
        // A list read only in part stays empty, so nothing half-read is checked or written back.
        m_entries.clear();
        m_comments.clear();
        m_invalidLines.clear();
    }
    if (error) *error = m_loadError;
    m_loaded = opened;
    return opened;
}

std::string SfvList::EntryName(std::size_t index) const {
    return index < m_entries.size() ? m_entries[index].Text() : std::string();
}

std::string SfvList::EntryCrc(std::size_t index) const {
    return index < m_entries.size() ? m_entries[index].Crc() : std::string();
}

bool SfvList::SetEntry(std::optional<std::string_view> name, std::optional<std::string_view> crc,
                       std::size_t index) {
    if ((!name && !crc) || index >= m_entries.size()) return false;
    if (name) SetEntryText(index, *name);
    if (crc) m_entries[index].SetCrc(*crc);
    return true;
}

std::string SfvList::Text() const {
    std::vector<std::string> entries;
    entries.reserve(EntryCount());
    for (const auto& e : Entries()) entries.push_back(e.Text() + " " + e.Crc());
    return ListFileText(';', Comments(), &InvalidLines(), entries);
}

}  // namespace kestrow
