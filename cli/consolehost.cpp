// The console host.
#include "cli/consolehost.h"

#include <unistd.h>

namespace kestrow {

namespace {

// The 16 log colours on the terminal's 16 ANSI colours.
constexpr int kAnsiForeground[kLogColourCount] = {30, 97, 31, 32, 33, 34, 35, 36,
                                                  37, 90, 91, 92, 93, 94, 95, 96};

}  // namespace

std::string ConsoleHost::AnsiStart(LogColour foreground, LogColour background) {
    // Plain lines keep the terminal's own colours: black on white is what the log window shows,
    // not what a dark terminal should.
    if (foreground == LogColour::Black && background == LogColour::White) return {};
    int fg = kAnsiForeground[static_cast<int>(foreground)];
    int bg = kAnsiForeground[static_cast<int>(background)] + 10;
    return "\x1b[" + std::to_string(fg) + ";" + std::to_string(bg) + "m";
}

ConsoleHost::ConsoleHost(ProcessOptions& options, JobControl& control, platform::Questioner& questioner,
                         Setup setup)
    : m_options(options), m_control(control), m_questioner(questioner), m_setup(setup) {
    if (m_setup.progress) m_progress = std::make_unique<ProgressMeter>(2);
    m_buffer.reserve(1 << 16);
}

ConsoleHost::~ConsoleHost() {
    Finish();
}

void ConsoleHost::EmitPending() {
    if (m_pendingId == kNoLogLine) return;
    std::string start = m_setup.colour ? AnsiStart(m_pendingFg, m_pendingBg) : std::string();
    m_buffer += start;
    m_buffer += m_pending;
    if (!start.empty()) m_buffer += "\x1b[0m";
    m_buffer += '\n';
    m_pendingId = kNoLogLine;
    m_pending.clear();
    // Off a terminal the lines go out in large blocks; on one, each as soon as it is complete.
    if (m_setup.outIsTerminal || m_buffer.size() >= (1 << 15)) {
        if (m_progress && m_setup.outIsTerminal) m_progress->Clear();
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_setup.out);
        m_buffer.clear();
        if (m_setup.outIsTerminal) std::fflush(m_setup.out);
    }
}

LogLineId ConsoleHost::LogLine(const std::string& text) {
    return LogColouredLine(LogColour::Black, LogColour::White, text);
}

LogLineId ConsoleHost::LogColouredLine(LogColour foreground, LogColour background, const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    EmitPending();
    m_pendingId = m_nextId++;
    m_pendingFg = foreground;
    m_pendingBg = background;
    m_pending = OneLine(text);
    return m_pendingId;
}

void ConsoleHost::AppendToLogLine(const std::string& text, LogLineId line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (line != kNoLogLine && line == m_pendingId) {
        m_pending += OneLine(text);
        m_pendingFg = LogColour::Black;
        m_pendingBg = LogColour::White;
        return;
    }
    // The line has been written out already: the text goes on a line of its own.
    EmitPending();
    m_pendingId = m_nextId++;
    m_pendingFg = LogColour::Black;
    m_pendingBg = LogColour::White;
    m_pending = OneLine(text);
}

void ConsoleHost::Finish() {
    std::lock_guard<std::mutex> lock(m_mutex);
    EmitPending();
    if (m_progress) m_progress->Clear();
    if (!m_buffer.empty()) std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_setup.out);
    m_buffer.clear();
    std::fflush(m_setup.out);
}

platform::Answer ConsoleHost::Ask(const HostQuestion& question) {
    // The user needs the log up to this point to answer.
    Finish();
    if (m_control.shuttingDown) return platform::RefusingAnswer(question.buttons);
    return m_questioner.Ask(question.text, question.caption, question.buttons, question.icon);
}

void ConsoleHost::EnableAcceptReject(bool enabled) {
    if (!enabled) return;
    switch (m_setup.answers) {
        case AnswerPolicy::Yes:
            m_control.accepted = 1;
            return;
        case AnswerPolicy::No:
            m_control.rejected = 1;
            return;
        case AnswerPolicy::Ask:
            break;
    }
    if (!m_setup.interactive) {
        Finish();
        static const char kNote[] =
            "kestrow-cli: planned changes refused: no terminal to confirm them on (use --yes to accept)\n";
        if (::write(2, kNote, sizeof(kNote) - 1) < 0) {
            // Nothing more can be done about a closed standard error.
        }
        m_control.rejected = 1;
        return;
    }
    Finish();
    platform::Answer a =
        m_questioner.Ask("Apply the changes listed above to this directory?", "Confirm Changes",
                         platform::Buttons::YesNoDefaultNo, platform::Icon::Exclamation);
    if (a == platform::Answer::Yes)
        m_control.accepted = 1;
    else
        m_control.rejected = 1;
}

void ConsoleHost::DirectoryStarted(const std::string& dirPath) {
    if (!m_progress) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progress->Directory(dirPath);
}

void ConsoleHost::FileCheckStarted(const std::string& fileName) {
    if (!m_progress) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progress->FileStarted(fileName);
}

void ConsoleHost::FileCheckFinished(bool crcComputed) {
    if (!m_progress) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progress->FileFinished(crcComputed);
}

}  // namespace kestrow
