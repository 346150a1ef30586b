// Tag text conversion to UTF-8.
#include "tagline/textencoding.h"

#include "platform/text.h"

namespace kestrow {

namespace {

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

}  // namespace

std::string EightBitToUtf8(std::string_view text) {
    if (platform::IsValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) AppendUtf8(out, static_cast<unsigned char>(c));
    return out;
}

std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    char32_t pendingHigh = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto b0 = static_cast<unsigned char>(bytes[i]);
        auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        char32_t unit = bigEndian ? (char32_t{b0} << 8) | b1 : (char32_t{b1} << 8) | b0;
        if (unit == 0) break;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (pendingHigh) AppendUtf8(out, 0xFFFD);
            pendingHigh = unit;
            continue;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (pendingHigh) {
                AppendUtf8(out, 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00));
                pendingHigh = 0;
            } else {
                AppendUtf8(out, 0xFFFD);
            }
            continue;
        }
        if (pendingHigh) {
            AppendUtf8(out, 0xFFFD);
            pendingHigh = 0;
        }
        AppendUtf8(out, unit);
    }
    if (pendingHigh) AppendUtf8(out, 0xFFFD);
    return out;
}

}  // namespace kestrow
