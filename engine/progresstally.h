// Files and bytes a pass has checked so far, counted from its progress events; the console's
// progress line and the window's status line both show it.
#pragma once

#include <cstdint>
#include <string>

namespace kestrow {

class ProgressTally {
public:
    void Directory(const std::string& path) { m_dir = path; }
    // Looks up the file's size in the current directory.
    void FileStarted(const std::string& name);
    void FileFinished(bool crcComputed);

    const std::string& directory() const { return m_dir; }
    const std::string& currentFile() const { return m_file; }
    std::uint64_t files() const { return m_files; }
    std::uint64_t bytes() const { return m_bytes; }

private:
    std::string m_dir;
    std::string m_file;
    std::uint64_t m_currentSize = 0;
    std::uint64_t m_files = 0;
    std::uint64_t m_bytes = 0;
};

}  // namespace kestrow
