// Counting checked files and bytes.
#include "engine/progresstally.h"

#include <sys/stat.h>

namespace kestrow {

void ProgressTally::FileStarted(const std::string& name) {
    m_file = name;
    struct stat st {};
    m_currentSize = ::stat((m_dir + name).c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

void ProgressTally::FileFinished(bool crcComputed) {
    ++m_files;
    if (crcComputed) m_bytes += m_currentSize;
    m_currentSize = 0;
}

}  // namespace kestrow
