// Log lines with stable identities.
#include "engine/loglinemodel.h"

#include <algorithm>

#include "platform/text.h"

namespace kestrow {

std::string OneLine(std::string_view text) {
    // CR and LF become spaces and tabs stay, for the log's tab stops; names from a download reach
    // the log as they are, so every other control character is shown inert.
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\r' && text[i] != '\n' && text[i] != '\t') continue;
        out += platform::EscapeControls(text.substr(from, i - from));
        if (i < text.size()) out += text[i] == '\t' ? '\t' : ' ';
        from = i + 1;
    }
    return out;
}

LogLineModel::LogLineModel(std::size_t capacity) : m_capacity(std::max<std::size_t>(capacity, 2)) {}

void LogLineModel::Shed() {
    if (m_lines.size() >= m_capacity)
        DropOldest(m_lines.size() < kShedBlock ? m_lines.size() - 1 : kShedBlock);
}

std::size_t LogLineModel::ShedFor(std::size_t count) const {
    std::size_t size = m_lines.size();
    std::size_t shed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (size >= m_capacity) {
            std::size_t drop = size < kShedBlock ? size - 1 : kShedBlock;
            size -= drop;
            shed += drop;
        }
        ++size;
    }
    return shed;
}

void LogLineModel::DropOldest(std::size_t count) {
    count = std::min(count, m_lines.size());
    m_lines.erase(m_lines.begin(), m_lines.begin() + static_cast<std::ptrdiff_t>(count));
    m_shed += count;
}

LogLineId LogLineModel::Add(LogColour foreground, LogColour background, std::string_view text) {
    return AddWithId(m_nextId, foreground, background, text);
}

LogLineId LogLineModel::AddWithId(LogLineId id, LogColour foreground, LogColour background,
                                  std::string_view text) {
    Shed();
    m_nextId = std::max(m_nextId, id + 1);
    LogLine line;
    line.id = id;
    line.foreground = foreground;
    line.background = background;
    line.text = OneLine(text);
    m_lines.push_back(std::move(line));
    return m_lines.back().id;
}

std::size_t LogLineModel::IndexOf(LogLineId id) const {
    auto it = std::lower_bound(m_lines.begin(), m_lines.end(), id,
                               [](const LogLine& line, LogLineId wanted) { return line.id < wanted; });
    if (it == m_lines.end() || it->id != id) return m_lines.size();
    return static_cast<std::size_t>(it - m_lines.begin());
}

const LogLine* LogLineModel::Find(LogLineId id) const {
    std::size_t index = IndexOf(id);
    return index < m_lines.size() ? &m_lines[index] : nullptr;
}

LogLineId LogLineModel::Append(LogLineId id, std::string_view text) {
    return Append(id, text, m_nextId);
}

LogLineId LogLineModel::Append(LogLineId id, std::string_view text, LogLineId newId) {
    std::size_t index = IndexOf(id);
    if (index >= m_lines.size()) return AddWithId(newId, LogColour::Black, LogColour::White, text);
    LogLine& line = m_lines[index];
    line.text += OneLine(text);
    line.foreground = LogColour::Black;
    line.background = LogColour::White;
    return line.id;
}

void LogLineModel::Clear() {
    m_shed += m_lines.size();
    m_lines.clear();
}

}  // namespace kestrow
