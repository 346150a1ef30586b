// Drawing the progress line.
#include "cli/progressmeter.h"

#include <unistd.h>

#include "platform/bytesize.h"
#include "platform/text.h"

namespace kestrow {

namespace {

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::string ProgressMeter::Text(Clock::duration elapsed) const {
    double seconds = std::chrono::duration<double>(elapsed).count();
    std::string line = platform::EscapeControls(m_tally.directory()) + "  " + std::to_string(files()) +
                       " files, " + platform::FormatByteSize(bytes()) + " checked";
    if (seconds > 0.05) {
        auto rate = static_cast<std::uint64_t>(static_cast<double>(bytes()) / seconds);
        line += ", " + platform::FormatByteSize(rate) + "/s";
    }
    // Keep the line on one terminal row; the start of a long path matters least.
    constexpr std::size_t kMax = 118;
    if (line.size() > kMax) line = "..." + line.substr(line.size() - (kMax - 3));
    return line;
}

void ProgressMeter::Draw(bool force) {
    Clock::time_point now = Clock::now();
    if (!force && m_shown && now - m_lastDraw < std::chrono::milliseconds(100)) return;
    m_lastDraw = now;
    WriteAll(m_fd, "\r\x1b[K" + Text(now - m_start));
    m_shown = true;
}

void ProgressMeter::Directory(const std::string& path) {
    m_tally.Directory(path);
    Draw(true);
}

void ProgressMeter::FileStarted(const std::string& name) {
    m_tally.FileStarted(name);
}

void ProgressMeter::FileFinished(bool crcComputed) {
    m_tally.FileFinished(crcComputed);
    Draw(false);
}

void ProgressMeter::Clear() {
    if (!m_shown) return;
    WriteAll(m_fd, "\r\x1b[K");
    m_shown = false;
}

}  // namespace kestrow
