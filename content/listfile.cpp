// Look-ups shared by SFV lists and playlists.
#include "content/listfile.h"

#include <algorithm>
#include <numeric>

#include "platform/text.h"

namespace kestrow {

bool ListFile::Before(std::uint32_t a, std::uint32_t b) const {
    const int c = platform::ICompare(m_entries[a].Text(), m_entries[b].Text());
    return c != 0 ? c < 0 : a < b;
}

void ListFile::BuildIndex() const {
    m_byName.resize(m_entries.size());
    std::iota(m_byName.begin(), m_byName.end(), std::uint32_t{0});
    std::sort(m_byName.begin(), m_byName.end(),
              [this](std::uint32_t a, std::uint32_t b) { return Before(a, b); });
    m_indexed = true;
}

std::vector<std::uint32_t>::const_iterator ListFile::FirstAlike(std::string_view name) const {
    if (!m_indexed) BuildIndex();
    return std::partition_point(m_byName.begin(), m_byName.end(), [&](std::uint32_t i) {
        return platform::ICompare(m_entries[i].Text(), name) < 0;
    });
}

std::vector<std::size_t> ListFile::EntriesAlike(std::string_view name) const {
    std::vector<std::size_t> alike;
    for (auto it = FirstAlike(name);
         it != m_byName.end() && platform::ICompare(m_entries[*it].Text(), name) == 0; ++it) {
        alike.push_back(*it);
    }
    return alike;
}

int ListFile::FindEntry(std::string_view name) const {
    auto it = FirstAlike(name);
    // The entries that fold alike stand together in list order: the first exact one wins,
    // else the first of them.
    int caseBlind = -1;
    for (; it != m_byName.end(); ++it) {
        const std::string& text = m_entries[*it].Text();
        if (text == name) return static_cast<int>(*it);
        if (platform::ICompare(text, name) != 0) break;
        if (caseBlind < 0) caseBlind = static_cast<int>(*it);
    }
    return caseBlind;
}

void ListFile::SetEntryText(std::size_t index, std::string_view text) {
    const auto at = static_cast<std::uint32_t>(index);
    const auto before = [this](std::uint32_t a, std::uint32_t b) { return Before(a, b); };
    if (!m_indexed) {
        m_entries[index].SetText(text);
        return;
    }
    const auto old = std::lower_bound(m_byName.begin(), m_byName.end(), at, before);
    m_entries[index].SetText(text);
    if (old == m_byName.end() || *old != at) {
        m_indexed = false;
        return;
    }
    // The entry moves to its new place past the others; a name cut at its end mostly keeps
    // its place, so little is moved.
    if (old != m_byName.begin() && Before(at, *(old - 1))) {
        std::rotate(std::lower_bound(m_byName.begin(), old, at, before), old, old + 1);
    } else {
        std::rotate(old, old + 1, std::lower_bound(old + 1, m_byName.end(), at, before));
    }
}

void ListFile::AppendEntry(ListEntry entry) {
    m_entries.push_back(std::move(entry));
    if (m_indexed) {
        const auto at = static_cast<std::uint32_t>(m_entries.size() - 1);
        m_byName.insert(std::upper_bound(m_byName.begin(), m_byName.end(), at,
                                         [this](std::uint32_t a, std::uint32_t b) { return Before(a, b); }),
                        at);
    }
}

std::string ListFile::Comment(std::size_t index) const {
    return index < m_comments.size() ? std::string(WithoutPrefix(m_comments[index])) : std::string();
}

}  // namespace kestrow
