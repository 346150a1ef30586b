// The reporter of the steps that examine a directory: the integrity check, the backup-data
// finder and the restore analysis. Its go-on answer is 1.
#pragma once

#include <atomic>

#include "content/reporter.h"
#include "engine/reportprompter.h"

namespace kestrow {

class AnalysisReporter : public Reporter {
public:
    // control may be null; it then records nothing about the run.
    AnalysisReporter(JobHost& host, JobControl* control) : m_prompt(host, control) {}

    // N is the list file's name, X the entry.
    int Report(int code, const std::string& n = {}, const std::string& m = {},
               const std::string& x = {}) override;

    LogLineId RememberedLine() const { return m_remembered; }

private:
    void Remember(LogLineId line) { m_remembered = line; }
    void AppendToRemembered(const std::string& text);

    ReportPrompter m_prompt;
    // The last "== CRC checking: " or "== Calculating CRC-sum for " line.
    std::atomic<LogLineId> m_remembered{kNoLogLine};
};

}  // namespace kestrow
