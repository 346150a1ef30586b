// Case-blind name comparison and UTF-8 character handling.
#include "platform/text.h"

#include <algorithm>

namespace kestrow::platform {

namespace {

// Folds one character at s[i] to a lower-case code point; advances i.
char32_t FoldNext(std::string_view s, std::size_t& i) {
    const char32_t c = NextChar(s, i);
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    return c;
}

}  // namespace

std::size_t CharLength(std::string_view s, std::size_t i) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) return 1;
    std::size_t len;
    char32_t min;
    if ((b & 0xE0) == 0xC0) {
        len = 2;
        min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3;
        min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4;
        min = 0x10000;
    } else {
        return 1;
    }
    if (i + len > s.size()) return 1;
    char32_t c = b & (0xFF >> (len + 1));
    for (std::size_t k = 1; k < len; ++k) {
        auto cb = static_cast<unsigned char>(s[i + k]);
        if ((cb & 0xC0) != 0x80) return 1;
        c = (c << 6) | (cb & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 1;
    return len;
}

char32_t NextChar(std::string_view s, std::size_t& i) {
    const std::size_t len = CharLength(s, i);
    const auto byte = [&](std::size_t k) {
        return static_cast<char32_t>(static_cast<unsigned char>(s[i + k]));
    };
    char32_t c = byte(0);
    if (len == 2) c = ((c & 0x1F) << 6) | (byte(1) & 0x3F);
    if (len == 3) c = ((c & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    if (len == 4)
        c = ((c & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) | (byte(3) & 0x3F);
    i += len;
    return c;
}

std::size_t CharCount(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); i += CharLength(s, i)) ++n;
    return n;
}

bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        std::size_t len = CharLength(s, i);
        if (len == 1 && static_cast<unsigned char>(s[i]) >= 0x80) return false;
        i += len;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

int ICompare(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        // Names are mostly ASCII: sorting a large folder spends its time here.
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[j]);
        if ((x | y) < 0x80) {
            const char32_t fx = (x >= 'A' && x <= 'Z') ? x + 32u : x;
            const char32_t fy = (y >= 'A' && y <= 'Z') ? y + 32u : y;
            if (fx != fy) return fx < fy ? -1 : 1;
            ++i;
            ++j;
            continue;
        }
        char32_t ca = FoldNext(a, i);
        char32_t cb = FoldNext(b, j);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

bool IEquals(std::string_view a, std::string_view b) {
    if (a.size() == b.size() && a == b) return true;
    return ICompare(a, b) == 0;
}

std::string FoldCase(std::string_view s) {
    std::string key;
    key.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const char32_t c = FoldNext(s, i);
        // Each folded character in UTF-8, so a legacy byte and its UTF-8 form give one key.
        AppendUtf8(key, c);
    }
    return key;
}

bool NameLess(std::string_view a, std::string_view b) {
    int c = ICompare(a, b);
    if (c != 0) return c < 0;
    return a < b;
}

std::string AsciiUpper(std::string_view s) {
    std::string r(s);
    std::transform(r.begin(), r.end(), r.begin(),
                   [](char ch) { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch; });
    return r;
}

bool IEndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && IEquals(s.substr(s.size() - suffix.size()), suffix);
}

bool IStartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && IEquals(s.substr(0, prefix.size()), prefix);
}

std::string EscapeControls(std::string_view s, std::string_view alsoEscape) {
    // Most lines are printable ASCII throughout: they go out as they are, without decoding.
    if (std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F; }) &&
        s.find_first_of(alsoEscape) == std::string_view::npos)
        return std::string(s);
    std::string out;
    out.reserve(s.size());
    auto hex = [&out](unsigned char b) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        out += "\\x";
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    };
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t len = CharLength(s, i);
        const auto b = static_cast<unsigned char>(s[i]);
        const bool c1 = len == 2 && b == 0xC2 && static_cast<unsigned char>(s[i + 1]) < 0xA0;
        if (len == 1 && (b < 0x20 || (b >= 0x7F && b < 0xA0))) {
            hex(b);
        } else if (c1) {
            hex(b);
            hex(static_cast<unsigned char>(s[i + 1]));
        } else {
            if (len == 1 && alsoEscape.find(s[i]) != std::string_view::npos) out += '\\';
            out.append(s.substr(i, len));
        }
        i += len;
    }
    return out;
}

}  // namespace kestrow::platform
