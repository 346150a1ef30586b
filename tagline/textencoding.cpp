// Tag text conversion to UTF-8.
#include "tagline/textencoding.h"

#include "platform/text.h"

namespace kestrow {

std::string EightBitToUtf8(std::string_view text) {
    if (platform::IsValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) platform::AppendUtf8(out, static_cast<unsigned char>(c));
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
            if (pendingHigh) platform::AppendUtf8(out, 0xFFFD);
            pendingHigh = unit;
            continue;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (pendingHigh) {
                platform::AppendUtf8(out, 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00));
                pendingHigh = 0;
            } else {
                platform::AppendUtf8(out, 0xFFFD);
            }
            continue;
        }
        if (pendingHigh) {
            platform::AppendUtf8(out, 0xFFFD);
            pendingHigh = 0;
        }
        platform::AppendUtf8(out, unit);
    }
    if (pendingHigh) platform::AppendUtf8(out, 0xFFFD);
    return out;
}

}  // namespace kestrow
