// Byte names to characters and back, one invalid byte counting as one character.
#include "rename/namechars.h"

#include "platform/text.h"

namespace kestrow {

namespace {

// Above the last code point, so that a stray byte can never be mistaken for a character.
constexpr char32_t kStrayByte = 0x110000;

}  // namespace

NameChars DecodeName(std::string_view bytes) {
    NameChars out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t len = platform::CharLength(bytes, i);
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (len == 1) {
            out.push_back(b < 0x80 ? char32_t{b} : kStrayByte + b);
        } else {
            // CharLength accepts only well-formed sequences, so the lead byte's pattern is known.
            char32_t c = b & (0xFFu >> (len + 1));
            for (std::size_t k = 1; k < len; ++k)
                c = (c << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3Fu);
            out.push_back(c);
        }
        i += len;
    }
    return out;
}

std::string EncodeName(std::u32string_view chars) {
    std::string out;
    out.reserve(chars.size());
    for (char32_t c : chars) {
        if (c >= kStrayByte)
            out.push_back(static_cast<char>(c - kStrayByte));
        else
            platform::AppendUtf8(out, c);
    }
    return out;
}

}  // namespace kestrow
