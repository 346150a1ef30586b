// The restore pass worker: runs the restore pass on the runner's current directory while it holds
// the job lock.
#pragma once

#include <thread>

#include "engine/passcontext.h"

namespace kestrow {

class CRestoreThread {
public:
    CRestoreThread() = default;
    ~CRestoreThread() { Join(); }
    CRestoreThread(const CRestoreThread&) = delete;
    CRestoreThread& operator=(const CRestoreThread&) = delete;

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
