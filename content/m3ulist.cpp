// M3U line syntax: "#" comments (extended-playlist lines included) and one path per line.
#include "content/m3ulist.h"

#include "content/linereader.h"
#include "platform/text.h"

namespace kestrow {

bool M3uList::Load(std::string* error, platform::Questioner* questioner) {
    m_loaded = false;
    m_entries.clear();
    EntriesReordered();
    m_comments.clear();
    m_loadError.clear();
    bool opened =
        ReadSignificantLines(m_file.FullPath(), &m_loadError, questioner,
                             [this](unsigned n, std::string_view trimmed, const std::string& raw) {
                                 if (trimmed.front() == '#') {
                                     m_comments.push_back(ListPrefix(n) + raw.substr(raw.find('#') + 1));
                                 } else {
                                     m_entries.emplace_back(trimmed);
                                 }
                             });
    if (!opened) {
        // A playlist read only in part stays empty, so it is never written back shortened.
        m_entries.clear();
        m_comments.clear();
    }
    if (error) *error = m_loadError;
    m_loaded = opened;
    return opened;
}

std::string M3uList::EntryPath(std::size_t index) const {
    return index < m_entries.size() ? m_entries[index].Text() : std::string();
}

bool M3uList::AddEntry(std::string_view name, std::size_t position) {
    if (position > m_entries.size()) return false;
    if (position == 0) {
        m_entries.insert(m_entries.begin(), ListEntry(name));
        EntriesReordered();
    } else {
        AppendEntry(ListEntry(name));
    }
    return true;
}

std::string M3uList::Text() const {
    std::vector<std::string> entries;
    entries.reserve(EntryCount());
    for (const auto& e : Entries()) entries.push_back(e.Text());
    return ListFileText('#', Comments(), nullptr, entries);
}

bool M3uList::ReplaceEntry(std::string_view name, std::size_t index) {
    if (index >= m_entries.size()) return false;
    m_entries[index].SetCrc({});
    SetEntryText(index, name);
    return true;
}

}  // namespace kestrow
