// The pass worker: runs the pass of the runner's current job (check/prepare or restore) on its
// directory while it holds the job lock.
#pragma once

#include <thread>

#include "engine/passcontext.h"

namespace kestrow {

class CProcessThread {
public:
    CProcessThread() = default;
    ~CProcessThread() { Join(); }
    CProcessThread(const CProcessThread&) = delete;
    CProcessThread& operator=(const CProcessThread&) = delete;

    void Attach(const PassContext& context) { m_context = &context; }
    // -1 when nothing is attached, else 0 once the pass is over.
    int Run();
    void Start();
    void Join();

private:
    const PassContext* m_context = nullptr;
    std::thread m_thread;
};

}  // namespace kestrow
