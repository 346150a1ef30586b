// Temporary folders and small file helpers that tests use to build their fixtures.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrow::test {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path, without a trailing slash.
    const std::string& path() const { return m_path; }
    // path() + "/" + name.
    std::string operator/(std::string_view name) const;

private:
    std::string m_path;
};

// Writes bytes to a file, creating parent folders as needed; fails the test on error.
void WriteFile(const std::string& path, std::string_view bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
void MakeDirs(const std::string& path);

}  // namespace kestrow::test
