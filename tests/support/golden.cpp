// Compares texts with their golden transcripts, or rewrites them on request.
#include "tests/support/golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

#include "tests/support/tempdir.h"

namespace kestrow::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

void ExpectGolden(const std::string& name, const std::string& actual) {
    const std::string path = std::string(KESTROW_GOLDEN_DIR) + "/" + name + ".txt";
    const char* update = std::getenv("KESTROW_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, actual);
        return;
    }
    if (!std::filesystem::exists(path)) {
        ADD_FAILURE() << "no golden transcript " << path << "; run with KESTROW_UPDATE_GOLDEN=1 to write it";
        return;
    }
    const std::string expected = ReadFile(path);
    if (expected == actual) return;
    const auto want = Lines(expected), got = Lines(actual);
    std::size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
    std::ostringstream msg;
    msg << "differs from " << path << " at line " << i + 1 << " (" << want.size() << " lines expected, "
        << got.size() << " produced)\n";
    for (std::size_t k = i; k < i + 3 && (k < want.size() || k < got.size()); ++k) {
        msg << "  expected: " << (k < want.size() ? want[k] : "<end>") << "\n"
            << "  actual:   " << (k < got.size() ? got[k] : "<end>") << "\n";
    }
    ADD_FAILURE() << msg.str();
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    for (auto p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
        text.replace(p, from.size(), to);
    return text;
}

}  // namespace kestrow::test
