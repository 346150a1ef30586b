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

// Control characters (but the line break) and bytes that are not UTF-8 as "\xHH", so that a
// transcript file is plain text whatever the program printed.
std::string Printable(const std::string& text) {
    std::string out;
    auto hex = [&out](unsigned char b) {
        const char digits[] = "0123456789ABCDEF";
        out += "\\x";
        out += digits[b >> 4];
        out += digits[b & 15];
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const std::size_t len = b >= 0xF0 && b <= 0xF4   ? 4
                                : b >= 0xE0 && b <= 0xEF ? 3
                                : b >= 0xC2 && b <= 0xDF ? 2
                                                         : 1;
        bool whole = len > 1 && i + len <= text.size();
        for (std::size_t k = 1; whole && k < len; ++k)
            whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (whole) {
            out.append(text, i, len);
            i += len;
            continue;
        }
        if ((b < 0x20 && b != '\n') || b >= 0x7F)
            hex(b);
        else
            out += static_cast<char>(b);
        ++i;
    }
    return out;
}

}  // namespace

void ExpectGolden(const std::string& name, const std::string& raw) {
    const std::string actual = Printable(raw);
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
