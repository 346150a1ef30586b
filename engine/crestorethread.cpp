// The restore pass worker.
#include "engine/crestorethread.h"

#include <mutex>

#include "engine/restoredirectory.h"

namespace kestrow {

int CRestoreThread::Run() {
    if (!m_context) return -1;
    JobControl& control = m_context->control;
    std::lock_guard<std::mutex> lock(control.jobLock);
    if (control.restoreJob) RestoreDirectory(*control.restoreJob, *m_context);
    return 0;
}

void CRestoreThread::Start() {
    Join();
    m_thread = std::thread([this] { Run(); });
}

void CRestoreThread::Join() {
    if (m_thread.joinable()) m_thread.join();
}

}  // namespace kestrow
