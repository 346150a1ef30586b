// The progress line on standard error: the directory being processed, files and bytes checked and
// the throughput, redrawn in place at most ten times a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "engine/progresstally.h"

namespace kestrow {

class ProgressMeter {
public:
    using Clock = std::chrono::steady_clock;

    explicit ProgressMeter(int fd = 2) : m_fd(fd), m_start(Clock::now()) {}

    void Directory(const std::string& path);
    void FileStarted(const std::string& name);
    void FileFinished(bool crcComputed);
    // Removes the line so that other output starts on a clean line.
    void Clear();

    std::uint64_t files() const { return m_tally.files(); }
    std::uint64_t bytes() const { return m_tally.bytes(); }
    // The line as it would be drawn after `elapsed`.
    std::string Text(Clock::duration elapsed) const;

private:
    void Draw(bool force);

    int m_fd;
    Clock::time_point m_start;
    Clock::time_point m_lastDraw{};
    ProgressTally m_tally;
    bool m_shown = false;
};

}  // namespace kestrow
