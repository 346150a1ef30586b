// Look-ups shared by SFV lists and playlists.
#include "content/listfile.h"

#include "platform/text.h"

namespace kestrow {

int ListFile::FindEntry(std::string_view name) const {
    int caseBlind = -1;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].Text() == name) return static_cast<int>(i);
        if (caseBlind < 0 && platform::IEquals(m_entries[i].Text(), name)) caseBlind = static_cast<int>(i);
    }
    return caseBlind;
}

std::string ListFile::Comment(std::size_t index) const {
    return index < m_comments.size() ? std::string(WithoutPrefix(m_comments[index])) : std::string();
}

}  // namespace kestrow
