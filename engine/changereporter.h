// The reporter of the steps that plan, apply and finish changes: planning, both applies and the
// tagline. Its go-on answer is 0.
#pragma once

#include <atomic>

#include "content/reporter.h"
#include "engine/reportprompter.h"

namespace kestrow {

class ChangeReporter : public Reporter {
public:
    // control may be null; it then records nothing about the run.
    ChangeReporter(JobHost& host, JobControl* control) : m_prompt(host, control) {}

    // N is the list file's name (or the file or directory concerned), M the entry.
    int Report(int code, const std::string& n = {}, const std::string& m = {},
               const std::string& x = {}) override;

    LogLineId RememberedLine() const { return m_remembered; }

private:
    // Retry 0, Cancel -1; a question that is not shown gives up.
    int RetryOrCancel(Silence rule, const std::string& text, const std::string& caption,
                      platform::Answer defaultAnswer = platform::Answer::Retry);

    ReportPrompter m_prompt;
    // The change reporter's own "== CRC checking: " line; the analysis reporter keeps another.
    std::atomic<LogLineId> m_remembered{kNoLogLine};
};

}  // namespace kestrow
