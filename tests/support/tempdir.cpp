// Temporary folders and small file helpers for test fixtures.
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace kestrow::test {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kestrow-test-XXXXXX";
    if (char* made = ::mkdtemp(pattern.data()))
        m_path = made;
    else
        ADD_FAILURE() << "mkdtemp failed for " << pattern;
}

TempDir::~TempDir() {
    if (m_path.empty()) return;
    std::error_code ec;
    // Tests may leave read-only folders behind; make them writable so they can be removed.
    for (auto it = fs::recursive_directory_iterator(m_path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
    }
    ::chmod(m_path.c_str(), 0700);
    fs::remove_all(m_path, ec);
}

std::string TempDir::operator/(std::string_view name) const {
    return m_path + "/" + std::string(name);
}

void MakeDirs(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    ASSERT_FALSE(ec) << "cannot create " << path << ": " << ec.message();
}

void WriteFile(const std::string& path, std::string_view bytes) {
    fs::path p(path);
    if (p.has_parent_path()) MakeDirs(p.parent_path().string());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out) << "cannot write " << path;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace kestrow::test
