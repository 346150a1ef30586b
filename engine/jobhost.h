// What a job needs from the front end that runs it: the window of the GUI or the console.
// Every report may come from a worker thread; the front end forwards window changes to its own
// user-interface thread.
#pragma once

#include <string>
#include <vector>

#include "engine/logcolour.h"
#include "engine/loglinemodel.h"
#include "platform/question.h"
#include "settings/processoptions.h"

namespace kestrow {

enum class JobState { Idle, Running };

// A modal question: the worker blocks until it is answered.
struct HostQuestion {
    std::string text;
    std::string caption;
    platform::Buttons buttons = platform::Buttons::Ok;
    platform::Icon icon = platform::Icon::Exclamation;
    platform::Answer defaultAnswer = platform::Answer::Ok;
};

// What a job reports and which window changes it asks for: log lines, questions, progress and
// the state of its controls. Each front end (the window, the console) implements it.
class JobReports {
public:
    virtual ~JobReports() = default;

    // An unattended run given a directory but no name works on every entry.
    virtual void SelectAllDirs() = 0;
    virtual void RefillDirList() = 0;

    virtual void SetJobState(JobState state) = 0;
    virtual void EnableAbortPause(bool enabled) = 0;
    virtual void EnableAcceptReject(bool enabled) = 0;
    virtual void SetPauseCaption(const std::string& caption) = 0;

    virtual LogLineId LogLine(const std::string& text) = 0;
    virtual LogLineId LogColouredLine(LogColour foreground, LogColour background,
                                      const std::string& text) = 0;
    virtual void AppendToLogLine(const std::string& text, LogLineId line) = 0;

    virtual platform::Answer Ask(const HostQuestion& question) = 0;

    // The end of an unattended run (a mode and a directory on the command line).
    virtual void CloseAfterUnattendedRun() = 0;

    // Progress of the pass, for front ends that show it; nothing is required of them.
    virtual void DirectoryStarted(const std::string& /*dirPath*/) {}
    virtual void FileCheckStarted(const std::string& /*fileName*/) {}
    virtual void FileCheckFinished(bool /*crcComputed*/) {}
    // The job's runner has returned; its thread may be joined now.
    virtual void JobFinished() {}
};

// The job runner's view: what the job works on, plus its reports.
class JobHost : public JobReports {
public:
    // The options; only ConfirmChanges and SuppressAlerts may change during a job.
    virtual const ProcessOptions& Options() const = 0;

    // The folder whose subdirectories the directory list shows, and the selected names there
    // in ascending list position.
    virtual std::string CurrentFolder() const = 0;
    virtual std::vector<std::string> SelectedDirNames() const = 0;
};

}  // namespace kestrow
