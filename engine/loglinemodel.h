// The lines of the log: two colours and a text each, addressed by an identity that stays valid
// while older lines are shed or the log is cleared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "engine/logcolour.h"

namespace kestrow {

// 0 never names a line.
using LogLineId = std::uint64_t;
inline constexpr LogLineId kNoLogLine = 0;

struct LogLine {
    LogLineId id = kNoLogLine;
    LogColour foreground = LogColour::Black;
    LogColour background = LogColour::White;
    std::string text;
};

class LogLineModel {
public:
    // Enough for a long job; a view that can hold more may pass a larger limit.
    static constexpr std::size_t kDefaultCapacity = 100000;
    static constexpr std::size_t kShedBlock = 20;

    explicit LogLineModel(std::size_t capacity = kDefaultCapacity);

    // CR and LF become spaces, so a line is always one line. When the log is full the oldest
    // lines go first, at most kShedBlock at a time.
    LogLineId Add(LogColour foreground, LogColour background, std::string_view text);
    // The line keeps its place and becomes black on white. A line that is gone (shed or cleared)
    // cannot take the text any more; the text becomes a new line instead. Returns the identity
    // of the line now holding the text.
    LogLineId Append(LogLineId id, std::string_view text);
    // The same with identities chosen by the caller, for a log filled from another thread that
    // hands out identities before the lines arrive. Identities must ascend; `newId` names the
    // new line an append to a gone line becomes.
    LogLineId AddWithId(LogLineId id, LogColour foreground, LogColour background, std::string_view text);
    LogLineId Append(LogLineId id, std::string_view text, LogLineId newId);
    // How many lines adding `count` lines would shed, and shedding them ahead, so that a view
    // can announce the removal before the lines go.
    std::size_t ShedFor(std::size_t count) const;
    void DropOldest(std::size_t count);
    void Clear();

    std::size_t Size() const { return m_lines.size(); }
    bool Empty() const { return m_lines.empty(); }
    const LogLine& At(std::size_t index) const { return m_lines[index]; }
    const LogLine* Find(LogLineId id) const;
    // Position of the line, or Size() when it is gone.
    std::size_t IndexOf(LogLineId id) const;
    // Lines removed from the front since the start, so that a view can follow the shifts.
    std::uint64_t ShedCount() const { return m_shed; }

private:
    void Shed();

    std::size_t m_capacity;
    std::deque<LogLine> m_lines;  // identities ascend from front to back
    LogLineId m_nextId = 1;
    std::uint64_t m_shed = 0;
};

// CR and LF replaced by spaces, other control characters escaped.
std::string OneLine(std::string_view text);

}  // namespace kestrow
