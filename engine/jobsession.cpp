// The job session: the runner, the reporters and the engine steps wired to one front end.
#include "engine/jobsession.h"

#include <utility>

#include "content/dircontents.h"
#include "engine/analysisreporter.h"
#include "engine/changereporter.h"
#include "engine/cprocesscontrolthread.h"
#include "engine/enginepasssteps.h"
#include "engine/enginerestoresteps.h"

namespace kestrow {

// The runner's host: the request answers what the job works on, the front end takes the reports.
class JobSession::Host : public JobHost {
public:
    Host(JobReports& reports, JobControl& control, std::atomic<bool>& finished)
        : m_reports(reports),
          m_finished(finished),
          m_analysis(*this, &control),
          m_change(*this, &control),
          m_steps(*this),
          m_restoreSteps(*this),
          m_context{*this, control, m_steps, m_analysis, m_change} {
        m_context.restore = &m_restoreSteps;
    }

    JobRequest request;
    CProcessControlThread runner;

    void StartRunner() {
        runner.Attach(m_context);
        runner.StartWith([this] {
            m_finished = true;
            m_reports.JobFinished();
        });
    }

    const ProcessOptions& Options() const override { return request.options; }
    std::string CurrentFolder() const override { return request.folder; }
    std::vector<std::string> SelectedDirNames() const override { return request.names; }
    void SelectAllDirs() override {
        DirContents folder(request.folder);
        m_steps.Scan(folder);
        request.names.clear();
        for (std::size_t i = 0; i < folder.SubdirCount(); ++i) request.names.push_back(folder.SubdirName(i));
        m_reports.SelectAllDirs();
    }
    void RefillDirList() override { m_reports.RefillDirList(); }
    void SetJobState(JobState state) override { m_reports.SetJobState(state); }
    void EnableAbortPause(bool enabled) override { m_reports.EnableAbortPause(enabled); }
    void EnableAcceptReject(bool enabled) override { m_reports.EnableAcceptReject(enabled); }
    void SetPauseCaption(const std::string& caption) override { m_reports.SetPauseCaption(caption); }
    LogLineId LogLine(const std::string& text) override { return m_reports.LogLine(text); }
    LogLineId LogColouredLine(LogColour foreground, LogColour background, const std::string& text) override {
        return m_reports.LogColouredLine(foreground, background, text);
    }
    void AppendToLogLine(const std::string& text, LogLineId line) override {
        m_reports.AppendToLogLine(text, line);
    }
    platform::Answer Ask(const HostQuestion& question) override { return m_reports.Ask(question); }
    void CloseAfterUnattendedRun() override { m_reports.CloseAfterUnattendedRun(); }
    void DirectoryStarted(const std::string& dirPath) override { m_reports.DirectoryStarted(dirPath); }
    void FileCheckStarted(const std::string& fileName) override { m_reports.FileCheckStarted(fileName); }
    void FileCheckFinished(bool crcComputed) override { m_reports.FileCheckFinished(crcComputed); }

private:
    JobReports& m_reports;
    std::atomic<bool>& m_finished;
    AnalysisReporter m_analysis;
    ChangeReporter m_change;
    EnginePassSteps m_steps;
    EngineRestoreSteps m_restoreSteps;
    PassContext m_context;
};

JobSession::JobSession(JobReports& reports, JobControl& control)
    : m_control(control), m_host(std::make_unique<Host>(reports, control, m_finished)) {}

JobSession::~JobSession() {
    if (Active()) Shutdown();
    Join();
}

bool JobSession::Start(JobRequest request) {
    if (Active()) return false;
    m_host->request = std::move(request);
    const JobRequest& r = m_host->request;
    m_control.commandLineMode = r.unattendedMode ? std::string(1, r.unattendedMode) : std::string();
    m_control.commandLineDir = r.unattendedDir;
    m_control.commandLineName = r.unattendedName;
    m_finished = false;
    m_host->StartRunner();
    return true;
}

void JobSession::Run(JobRequest request) {
    if (Start(std::move(request))) Join();
}

void JobSession::Join() {
    m_host->runner.Join();
}

bool JobSession::Active() const {
    return m_host->runner.Running();
}

void JobSession::SetConfirmChanges(bool on) {
    m_host->request.options.ConfirmChanges = on ? 1 : 0;
}

void JobSession::SetSuppressAlerts(bool on) {
    m_host->request.options.SuppressAlerts = on ? 1 : 0;
}

void JobSession::Shutdown() {
    m_control.shuttingDown = true;
    m_control.rejected = 1;
    m_control.abortRequested = true;
}

const ProcessOptions& JobSession::options() const {
    return m_host->request.options;
}

}  // namespace kestrow
