// A host that records what a job asks of the window, for tests of the runner, the pass and the
// reporters.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/jobhost.h"
#include "engine/logcolour.h"

namespace kestrow::test {

class FakeHost : public JobHost {
public:
    ProcessOptions options;
    std::string currentFolder;
    std::vector<std::string> selected;
    // Every call in order, as short strings ("state running", "ask WARNING: ..." ...).
    std::vector<std::string> events;
    std::vector<HostQuestion> questions;
    LogLineModel log;
    // Answers questions; the refusing button when unset.
    std::function<platform::Answer(const HostQuestion&)> answer;
    // Called after each event is recorded, to play the user's part.
    std::function<void(const std::string&)> onEvent;

    const ProcessOptions& Options() const override { return options; }
    std::string CurrentFolder() const override { return currentFolder; }
    std::vector<std::string> SelectedDirNames() const override { return selected; }
    void SelectAllDirs() override { Record("select all"); }
    void RefillDirList() override { Record("refill"); }
    void SetJobState(JobState state) override {
        Record(state == JobState::Running ? "state running" : "state idle");
    }
    void EnableAbortPause(bool enabled) override { Record(enabled ? "abort/pause on" : "abort/pause off"); }
    void EnableAcceptReject(bool enabled) override { Record(enabled ? "accept/no on" : "accept/no off"); }
    void SetPauseCaption(const std::string& caption) override { Record("caption " + caption); }
    LogLineId LogLine(const std::string& text) override {
        return LogColouredLine(LogColour::Black, LogColour::White, text);
    }
    LogLineId LogColouredLine(LogColour fg, LogColour bg, const std::string& text) override {
        LogLineId id;
        Locked([&] { id = log.Add(fg, bg, text); });
        Record("log " + text);
        return id;
    }
    void AppendToLogLine(const std::string& text, LogLineId line) override {
        Locked([&] { log.Append(line, text); });
        Record("append " + text);
    }
    platform::Answer Ask(const HostQuestion& question) override {
        Locked([&] { questions.push_back(question); });
        Record("ask " + question.caption + ": " + question.text);
        return answer ? answer(question) : platform::RefusingAnswer(question.buttons);
    }
    void CloseAfterUnattendedRun() override { Record("close"); }

    // The log as "text" lines, colours dropped.
    std::vector<std::string> LogTexts() const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < log.Size(); ++i) out.push_back(log.At(i).text);
        return out;
    }
    // Every event in order for a golden transcript, log lines with their colours.
    std::string Transcript() const {
        std::string out;
        std::size_t line = 0;
        for (const std::string& e : events) {
            if (e.rfind("log ", 0) == 0) {
                const auto& l = log.At(line++);
                out += "  log " + std::string(ColourInfo(l.foreground).name) + "/" +
                       std::string(ColourInfo(l.background).name) + " |" + e.substr(4) + "|\n";
            } else {
                out += "  " + e + "\n";
            }
        }
        return out;
    }

private:
    template <typename F>
    void Locked(F f) {
        std::lock_guard<std::mutex> lock(m_mutex);
        f();
    }
    void Record(const std::string& event) {
        Locked([&] { events.push_back(event); });
        if (onEvent) onEvent(event);
    }

    std::mutex m_mutex;
};

}  // namespace kestrow::test
