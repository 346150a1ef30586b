// The job runner: one selected directory at a time, it builds the directory's engine object,
// starts the pass worker and waits for it.
#pragma once

#include <functional>
#include <thread>

#include "engine/passcontext.h"

namespace kestrow {

class DirContents;

class CProcessControlThread {
public:
    CProcessControlThread() = default;
    ~CProcessControlThread() { Join(); }
    CProcessControlThread(const CProcessControlThread&) = delete;
    CProcessControlThread& operator=(const CProcessControlThread&) = delete;

    void Attach(const PassContext& context) { m_context = &context; }
    // -1 when nothing is attached, else 0 at the end of the job.
    int Run();
    // Runs the job on its own thread and returns at once; `finished` is called on that thread
    // once the job has ended.
    void StartWith(std::function<void()> finished);
    void Join();
    bool Running() const { return m_thread.joinable(); }

private:
    // Runs the pass on `job`, named in the job control's `slot` while the worker runs.
    template <typename Job>
    void RunWorker(Job*& slot, Job* job);

    const PassContext* m_context = nullptr;
    std::thread m_thread;
};

}  // namespace kestrow
