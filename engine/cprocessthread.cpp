// The pass worker of both passes.
#include "engine/cprocessthread.h"

#include <mutex>

#include "engine/checkpreparedirectory.h"
#include "engine/restoredirectory.h"

namespace kestrow {

int CProcessThread::Run() {
    if (!m_context) return -1;
    JobControl& control = m_context->control;
    std::lock_guard<std::mutex> lock(control.jobLock);
    if (control.prepareJob)
        CheckPrepareDirectory(*control.prepareJob, *m_context);
    else if (control.restoreJob)
        RestoreDirectory(*control.restoreJob, *m_context);
    return 0;
}

void CProcessThread::Start() {
    Join();
    m_thread = std::thread([this] { Run(); });
}

void CProcessThread::Join() {
    if (m_thread.joinable()) m_thread.join();
}

}  // namespace kestrow
