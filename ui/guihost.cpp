// The window's host.
#include "ui/guihost.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <future>
#include <iterator>
#include <memory>
#include <span>
#include <thread>

namespace kestrow {

namespace {

QMessageBox::StandardButton ButtonOf(platform::Answer answer) {
    switch (answer) {
        case platform::Answer::Ok:
            return QMessageBox::Ok;
        case platform::Answer::Yes:
            return QMessageBox::Yes;
        case platform::Answer::No:
            return QMessageBox::No;
        case platform::Answer::Retry:
            return QMessageBox::Retry;
        case platform::Answer::Cancel:
            return QMessageBox::Cancel;
        case platform::Answer::Abort:
            return QMessageBox::Abort;
        case platform::Answer::Ignore:
            return QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButtons ButtonsOf(platform::Buttons buttons) {
    switch (buttons) {
        case platform::Buttons::Ok:
            return QMessageBox::Ok;
        case platform::Buttons::YesNoDefaultYes:
        case platform::Buttons::YesNoDefaultNo:
            return QMessageBox::Yes | QMessageBox::No;
        case platform::Buttons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
        case platform::Buttons::AbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

platform::Answer AnswerOf(int button, platform::Buttons buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return platform::Answer::Ok;
        case QMessageBox::Yes:
            return platform::Answer::Yes;
        case QMessageBox::No:
            return platform::Answer::No;
        case QMessageBox::Retry:
            return platform::Answer::Retry;
        case QMessageBox::Cancel:
            return platform::Answer::Cancel;
        case QMessageBox::Abort:
            return platform::Answer::Abort;
        case QMessageBox::Ignore:
            return platform::Answer::Ignore;
        default:
            return platform::RefusingAnswer(buttons);
    }
}

}  // namespace

GuiHost::GuiHost(LogListModel& log, JobControl& control, HostView& view, QObject* parent)
    : QObject(parent), m_log(log), m_control(control), m_view(view) {}

void GuiHost::Wake() {
    if (m_wakePosted) return;
    m_wakePosted = true;
    // The window is brought up to date a few times a second rather than for every line: each
    // update repaints the log, and the lines of a fast pass come thousands a second.
    QMetaObject::invokeMethod(
        this, [this] { QTimer::singleShot(kInterval, this, [this] { Flush(false); }); },
        Qt::QueuedConnection);
}

void GuiHost::Post(std::function<void()> call) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.calls.emplace_back(m_pending.ops.size(), std::move(call));
    Wake();
}

std::size_t GuiHost::Pending() const {
    std::size_t count = 0;
    for (const Chunk& chunk : m_backlog)
        count += chunk.ops.size() - chunk.opsDone + chunk.calls.size() - chunk.callsDone;
    std::lock_guard<std::mutex> lock(m_mutex);
    return count + m_pending.ops.size() + m_pending.calls.size();
}

void GuiHost::Drain() {
    Flush(true);
}

void GuiHost::Flush(bool all) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_wakePosted = false;
        if (!m_pending.ops.empty() || !m_pending.calls.empty()) {
            m_backlog.push_back(std::move(m_pending));
            m_pending = Chunk();
        }
    }
    // A question's message box runs an event loop of its own; the worker waits meanwhile, so
    // nothing is lost by leaving the queue to the outer turn.
    if (m_flushing) return;
    m_flushing = true;
    // One turn of the event loop applies a batch; the rest waits for the next turn, so that the
    // window keeps repainting and answering while lines pour in.
    std::size_t budget = all ? static_cast<std::size_t>(-1) : kBatch;
    while (!m_backlog.empty() && budget > 0) {
        Chunk& chunk = m_backlog.front();
        while (!chunk.Done() && budget > 0) {
            const std::size_t nextCall =
                chunk.callsDone < chunk.calls.size() ? chunk.calls[chunk.callsDone].first : chunk.ops.size();
            if (chunk.opsDone < nextCall) {
                const std::size_t n = std::min(nextCall - chunk.opsDone, budget);
                m_log.Apply(std::span<LogOp>(chunk.ops.data() + chunk.opsDone, n));
                chunk.opsDone += n;
                budget -= n;
                m_view.OnLogGrew();
                continue;
            }
            std::function<void()> call = std::move(chunk.calls[chunk.callsDone++].second);
            call();
        }
        if (!chunk.Done()) break;
        m_backlog.pop_front();
        if (all) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_pending.ops.empty() || !m_pending.calls.empty()) {
                m_backlog.push_back(std::move(m_pending));
                m_pending = Chunk();
            }
        }
    }
    m_flushing = false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_backlog.empty() || !m_pending.ops.empty() || !m_pending.calls.empty()) Wake();
}

LogLineId GuiHost::LogLine(const std::string& text) {
    return LogColouredLine(LogColour::Black, LogColour::White, text);
}

LogLineId GuiHost::LogColouredLine(LogColour foreground, LogColour background, const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    LogOp& op = m_pending.ops.emplace_back();
    op.id = m_nextId++;
    op.foreground = foreground;
    op.background = background;
    op.text = OneLine(text);
    Wake();
    return op.id;
}

void GuiHost::AppendToLogLine(const std::string& text, LogLineId line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // Most appends go to the line just written, still waiting here: it takes the text at once
    // (unless a window change was queued after it).
    std::vector<LogOp>& ops = m_pending.ops;
    if (!ops.empty() && ops.back().kind == LogOp::Kind::Add && ops.back().id == line &&
        (m_pending.calls.empty() || m_pending.calls.back().first < ops.size())) {
        ops.back().text += OneLine(text);
        ops.back().foreground = LogColour::Black;
        ops.back().background = LogColour::White;
        return;
    }
    LogOp& op = ops.emplace_back();
    op.kind = LogOp::Kind::Append;
    op.id = line;
    op.newId = m_nextId++;
    op.text = OneLine(text);
    Wake();
}

void GuiHost::SelectAllDirs() {
    Post([this] { m_view.OnSelectAllDirs(); });
}

void GuiHost::RefillDirList() {
    Post([this] { m_view.OnRefillDirList(); });
}

void GuiHost::SetJobState(JobState state) {
    if (state == JobState::Running) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tally = ProgressTally();
        m_started = std::chrono::steady_clock::now();
        m_lastProgress = {};
    }
    Post([this, state] { m_view.OnJobState(state); });
}

void GuiHost::EnableAbortPause(bool enabled) {
    Post([this, enabled] { m_view.OnAbortPause(enabled); });
}

void GuiHost::EnableAcceptReject(bool enabled) {
    Post([this, enabled] { m_view.OnAcceptReject(enabled); });
}

void GuiHost::SetPauseCaption(const std::string& caption) {
    Post([this, caption] { m_view.OnPauseCaption(QString::fromStdString(caption)); });
}

void GuiHost::CloseAfterUnattendedRun() {
    Post([this] { m_view.OnCloseAfterRun(); });
}

void GuiHost::JobFinished() {
    PostProgress(true);
    Post([this] { m_view.OnJobFinished(); });
}

void GuiHost::DirectoryStarted(const std::string& dirPath) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tally.Directory(dirPath);
    }
    PostProgress(true);
}

void GuiHost::FileCheckStarted(const std::string& fileName) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tally.FileStarted(fileName);
    }
    PostProgress(false);
}

void GuiHost::FileCheckFinished(bool crcComputed) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tally.FileFinished(crcComputed);
    }
    PostProgress(false);
}

void GuiHost::PostProgress(bool force) {
    ProgressInfo info;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - m_lastProgress < std::chrono::milliseconds(100)) return;
        m_lastProgress = now;
        info.directory = m_tally.directory();
        info.currentFile = m_tally.currentFile();
        info.files = m_tally.files();
        info.bytes = m_tally.bytes();
        info.seconds = std::chrono::duration<double>(now - m_started).count();
    }
    Post([this, info] { m_view.OnProgress(info); });
}

platform::Answer GuiHost::Ask(const HostQuestion& question) {
    if (m_control.shuttingDown) return platform::RefusingAnswer(question.buttons);
    auto promise = std::make_shared<std::promise<platform::Answer>>();
    std::future<platform::Answer> answer = promise->get_future();
    Post([this, question, promise] { promise->set_value(ShowQuestion(question)); });
    // The window may close while the question waits its turn: the worker then goes on with the
    // refusing answer instead of waiting for a box that never opens.
    while (answer.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (m_control.shuttingDown) return platform::RefusingAnswer(question.buttons);
    }
    return answer.get();
}

platform::Answer GuiHost::ShowQuestion(const HostQuestion& question) {
    if (m_control.shuttingDown) return platform::RefusingAnswer(question.buttons);
    if (m_questionHandler) return m_questionHandler(question);
    QMessageBox box(
        question.icon == platform::Icon::Information ? QMessageBox::Information : QMessageBox::Warning,
        QString::fromStdString(question.caption), QString::fromStdString(question.text),
        ButtonsOf(question.buttons), m_view.QuestionParent());
    box.setDefaultButton(ButtonOf(question.defaultAnswer));
    box.setAccessibleName(QString::fromStdString(question.caption));
    m_openBox = &box;
    const int pressed = box.exec();
    m_openBox = nullptr;
    if (m_control.shuttingDown) return platform::RefusingAnswer(question.buttons);
    return AnswerOf(pressed, question.buttons);
}

void GuiHost::Shutdown() {
    if (m_openBox) m_openBox->reject();
}

}  // namespace kestrow
