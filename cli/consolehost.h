// The console as the job's host: log lines on standard output (ANSI colours on request), questions
// and confirmations through the terminal questioner, progress on standard error.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/clioptions.h"
#include "cli/progressmeter.h"
#include "engine/jobcontrol.h"
#include "engine/jobhost.h"
#include "platform/question.h"

namespace kestrow {

class ConsoleHost : public JobReports {
public:
    struct Setup {
        std::FILE* out = stdout;
        bool colour = false;
        AnswerPolicy answers = AnswerPolicy::Ask;
        // A user can answer on the terminal.
        bool interactive = false;
        // Show the progress line (standard error is a terminal and --progress was given).
        bool progress = false;
        // Standard output is a terminal: each line is shown as soon as it is complete.
        bool outIsTerminal = false;
    };

    ConsoleHost(ProcessOptions& options, JobControl& control, platform::Questioner& questioner, Setup setup);
    ~ConsoleHost() override;

    const ProcessOptions& Options() const { return m_options; }
    void SelectAllDirs() override {}
    void RefillDirList() override {}
    void SetJobState(JobState) override {}
    void EnableAbortPause(bool) override {}
    void EnableAcceptReject(bool enabled) override;
    void SetPauseCaption(const std::string&) override {}
    LogLineId LogLine(const std::string& text) override;
    LogLineId LogColouredLine(LogColour foreground, LogColour background, const std::string& text) override;
    void AppendToLogLine(const std::string& text, LogLineId line) override;
    platform::Answer Ask(const HostQuestion& question) override;
    void CloseAfterUnattendedRun() override {}
    void DirectoryStarted(const std::string& dirPath) override;
    void FileCheckStarted(const std::string& fileName) override;
    void FileCheckFinished(bool crcComputed) override;

    // Writes out the line still held back and clears the progress line.
    void Finish();

    // The escape sequence that starts a line in these colours ("" for a plain line).
    static std::string AnsiStart(LogColour foreground, LogColour background);

private:
    // Called with the lock held.
    void EmitPending();

    ProcessOptions& m_options;
    JobControl& m_control;
    platform::Questioner& m_questioner;
    Setup m_setup;

    std::mutex m_mutex;
    // The newest line is held back while reports may still append to it.
    LogLineId m_nextId = 1;
    LogLineId m_pendingId = kNoLogLine;
    LogColour m_pendingFg = LogColour::Black;
    LogColour m_pendingBg = LogColour::White;
    std::string m_pending;
    std::string m_buffer;
    std::unique_ptr<ProgressMeter> m_progress;
};

}  // namespace kestrow
