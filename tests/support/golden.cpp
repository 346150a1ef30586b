// Compares texts with their golden transcripts, or rewrites them on request.
#include "tests/support/golden.h"

#include <gtest/gtest.h>

#include <algorithm>
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

bool ExpectGolden(const std::string& name, const std::string& raw) {
    const std::string actual = Printable(raw);
    const std::string path = std::string(KESTROW_GOLDEN_DIR) + "/" + name + ".txt";
    const char* update = std::getenv("KESTROW_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, actual);
        return true;
    }
    if (!std::filesystem::exists(path)) {
        ADD_FAILURE() << "no golden transcript " << path << "; run with KESTROW_UPDATE_GOLDEN=1 to write it";
        return false;
    }
    const std::string expected = ReadFile(path);
    if (expected == actual) return true;
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
    return false;
}

std::string TestDataPath(const std::string& name) {
    return std::string(KESTROW_TEST_DATA_DIR) + "/" + name;
}

std::vector<std::vector<std::string>> TableRows(const std::string& name) {
    const std::string path = TestDataPath(name);
    EXPECT_TRUE(std::filesystem::exists(path)) << path;
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : Lines(ReadFile(path))) {
        if (line.find_first_not_of(' ') == std::string::npos || line[0] == '#') continue;
        std::vector<std::string>& row = rows.emplace_back();
        for (std::size_t start = 0;;) {
            const std::size_t bar = line.find('|', start);
            std::string field = line.substr(start, bar == std::string::npos ? bar : bar - start);
            field.erase(0, field.find_first_not_of(' '));
            field.erase(field.find_last_not_of(' ') + 1);
            row.push_back(field);
            if (bar == std::string::npos) break;
            start = bar + 1;
        }
    }
    return rows;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\\x") == 0) {
            out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else if (text[i] == '\\' && i + 1 < text.size() &&
                   std::string_view("rnt").find(text[i + 1]) != std::string_view::npos) {
            out += text[i + 1] == 'r' ? '\r' : text[i + 1] == 'n' ? '\n' : '\t';
            ++i;
        } else if (text[i] == '<' && text.find('*', i) < std::min(text.find('>', i), text.find('<', i + 1))) {
            const std::size_t star = text.find('*', i), end = text.find('>', i);
            const std::string piece = Unescape(text.substr(i + 1, star - i - 1));
            for (int n = std::stoi(text.substr(star + 1, end - star - 1)); n > 0; --n) out += piece;
            i = end;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    for (auto p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
        text.replace(p, from.size(), to);
    return text;
}

}  // namespace kestrow::test
