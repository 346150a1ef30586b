// The window as the job's host. Workers never touch a widget: their log lines and window changes
// queue up here and reach the user-interface thread in batches, in the order they were made; a
// question waits on a promise that the user-interface thread fulfils from a message box.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/jobcontrol.h"
#include "engine/jobhost.h"
#include "engine/progresstally.h"
#include "ui/loglistmodel.h"

class QMessageBox;
class QWidget;

namespace kestrow {

// What a pass has checked so far, for the progress bar and the status line.
struct ProgressInfo {
    std::string directory;
    std::string currentFile;
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    double seconds = 0;
};

// The window's side of the host; every call arrives on the user-interface thread.
class HostView {
public:
    virtual ~HostView() = default;
    virtual void OnJobState(JobState state) = 0;
    virtual void OnAbortPause(bool enabled) = 0;
    virtual void OnAcceptReject(bool enabled) = 0;
    virtual void OnPauseCaption(const QString& caption) = 0;
    virtual void OnSelectAllDirs() = 0;
    virtual void OnRefillDirList() = 0;
    virtual void OnCloseAfterRun() = 0;
    virtual void OnJobFinished() = 0;
    virtual void OnProgress(const ProgressInfo& progress) = 0;
    // Lines were added: the log follows its end.
    virtual void OnLogGrew() = 0;
    // The owner of question boxes.
    virtual QWidget* QuestionParent() = 0;
};

class GuiHost : public QObject, public JobReports {
    Q_OBJECT
public:
    // How many log changes one turn of the event loop applies, so that the window never stalls
    // while lines pour in.
    static constexpr std::size_t kBatch = 5000;
    // Milliseconds between two updates of the window while a pass reports.
    static constexpr int kInterval = 40;

    GuiHost(LogListModel& log, JobControl& control, HostView& view, QObject* parent = nullptr);

    // Answers questions instead of a message box (tests).
    void SetQuestionHandler(std::function<platform::Answer(const HostQuestion&)> handler) {
        m_questionHandler = std::move(handler);
    }
    // The window is closing: an open question box closes with its refusing answer and no new
    // one opens.
    void Shutdown();
    // Applies everything queued so far at once (tests and the benchmark).
    void Drain();
    // Changes queued and not yet applied.
    std::size_t Pending() const;

    void SelectAllDirs() override;
    void RefillDirList() override;
    void SetJobState(JobState state) override;
    void EnableAbortPause(bool enabled) override;
    void EnableAcceptReject(bool enabled) override;
    void SetPauseCaption(const std::string& caption) override;
    LogLineId LogLine(const std::string& text) override;
    LogLineId LogColouredLine(LogColour foreground, LogColour background, const std::string& text) override;
    void AppendToLogLine(const std::string& text, LogLineId line) override;
    platform::Answer Ask(const HostQuestion& question) override;
    void CloseAfterUnattendedRun() override;
    void DirectoryStarted(const std::string& dirPath) override;
    void FileCheckStarted(const std::string& fileName) override;
    void FileCheckFinished(bool crcComputed) override;
    void JobFinished() override;

    // Shows the question on the user-interface thread and returns the button pressed.
    platform::Answer ShowQuestion(const HostQuestion& question);

private:
    // What the workers queued between two turns of the event loop: log changes, and window
    // changes each made once the log changes queued before it are shown.
    struct Chunk {
        std::vector<LogOp> ops;
        std::vector<std::pair<std::size_t, std::function<void()>>> calls;
        std::size_t opsDone = 0;
        std::size_t callsDone = 0;
        bool Done() const { return opsDone == ops.size() && callsDone == calls.size(); }
    };

    void Post(std::function<void()> call);
    // Called with m_mutex held.
    void Wake();
    void Flush(bool all);
    void PostProgress(bool force);

    LogListModel& m_log;
    JobControl& m_control;
    HostView& m_view;
    std::function<platform::Answer(const HostQuestion&)> m_questionHandler;
    QPointer<QMessageBox> m_openBox;

    mutable std::mutex m_mutex;
    Chunk m_pending;
    // Taken over from m_pending and applied a batch at a time; user-interface thread only.
    std::deque<Chunk> m_backlog;
    bool m_flushing = false;
    bool m_wakePosted = false;
    LogLineId m_nextId = 1;

    // Progress, counted on the worker's side and sent on at most ten times a second.
    ProgressTally m_tally;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_lastProgress;
};

}  // namespace kestrow
