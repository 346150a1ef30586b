// ID3v2.3/2.4 text frames: tag and frame headers, unsynchronisation, the four text encodings.
#include "tagline/id3v2textreader.h"

#include <algorithm>
#include <cstdint>

#include "platform/fs.h"
#include "tagline/textencoding.h"

namespace kestrow {

namespace {

constexpr std::size_t kHeaderSize = 10;
// A tag larger than this is read only up to here; text frames come first in practice.
constexpr std::uint32_t kMaxTagBytes = 4u * 1024 * 1024;

std::uint32_t Be32(std::string_view s, std::size_t at) {
    return (std::uint32_t{static_cast<unsigned char>(s[at])} << 24) |
           (std::uint32_t{static_cast<unsigned char>(s[at + 1])} << 16) |
           (std::uint32_t{static_cast<unsigned char>(s[at + 2])} << 8) |
           static_cast<unsigned char>(s[at + 3]);
}

std::uint32_t Syncsafe(std::string_view s, std::size_t at) {
    return (std::uint32_t{static_cast<unsigned char>(s[at]) & 0x7Fu} << 21) |
           (std::uint32_t{static_cast<unsigned char>(s[at + 1]) & 0x7Fu} << 14) |
           (std::uint32_t{static_cast<unsigned char>(s[at + 2]) & 0x7Fu} << 7) |
           (static_cast<unsigned char>(s[at + 3]) & 0x7Fu);
}

// Undoes unsynchronisation: every 0xFF 0x00 pair stands for 0xFF.
std::string Resync(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        out.push_back(s[i]);
        if (static_cast<unsigned char>(s[i]) == 0xFF && i + 1 < s.size() && s[i + 1] == '\0') ++i;
    }
    return out;
}

bool IsFrameIdChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Cuts a 16-bit text at its first zero unit (on a unit boundary).
std::string_view CutUtf16(std::string_view s) {
    for (std::size_t i = 0; i + 1 < s.size(); i += 2) {
        if (s[i] == '\0' && s[i + 1] == '\0') return s.substr(0, i);
    }
    return s;
}

}  // namespace

std::string DecodeId3Text(std::string_view field) {
    if (field.empty()) return {};
    auto encoding = static_cast<unsigned char>(field[0]);
    std::string_view body = field.substr(1);
    switch (encoding) {
        case 1: {  // UTF-16 with a byte-order mark; without one, big-endian as the standard says
            body = CutUtf16(body);
            bool bigEndian = true;
            if (body.size() >= 2 && static_cast<unsigned char>(body[0]) == 0xFF &&
                static_cast<unsigned char>(body[1]) == 0xFE) {
                bigEndian = false;
                body.remove_prefix(2);
            } else if (body.size() >= 2 && static_cast<unsigned char>(body[0]) == 0xFE &&
                       static_cast<unsigned char>(body[1]) == 0xFF) {
                body.remove_prefix(2);
            }
            return Utf16BytesToUtf8(body, bigEndian);
        }
        case 2:
            return Utf16BytesToUtf8(CutUtf16(body), true);
        default:
            // Encoding 3 says UTF-8, but a damaged or mislabelled frame must not put bad bytes in a
            // name: it is read as the 8-bit encodings are.
            return EightBitToUtf8(body.substr(0, body.find('\0')));
    }
}

bool Id3v2TextReader::ReadFile(const std::string& path) {
    m_major = 0;
    m_texts.clear();
    platform::InputFile file;
    if (!file.open(path)) return false;
    std::string tag(kHeaderSize, '\0');
    if (file.read(tag.data(), kHeaderSize) != static_cast<long long>(kHeaderSize)) return false;
    if (tag.compare(0, 3, "ID3") != 0) return false;
    std::uint32_t size = Syncsafe(tag, 6);
    if (size > kMaxTagBytes) size = kMaxTagBytes;
    tag.resize(kHeaderSize + size);
    std::size_t have = kHeaderSize;
    while (have < tag.size()) {
        long long n = file.read(tag.data() + have, tag.size() - have);
        if (n <= 0) break;
        have += static_cast<std::size_t>(n);
    }
    tag.resize(have);
    return Parse(tag);
}

bool Id3v2TextReader::Parse(std::string_view tag) {
    m_major = 0;
    m_texts.clear();
    if (tag.size() < kHeaderSize || tag.substr(0, 3) != "ID3") return false;
    int major = static_cast<unsigned char>(tag[3]);
    if (major != 3 && major != 4) return false;
    m_major = major;
    auto flags = static_cast<unsigned char>(tag[5]);
    std::uint32_t size = Syncsafe(tag, 6);
    std::string_view body = tag.substr(kHeaderSize, std::min<std::size_t>(size, tag.size() - kHeaderSize));
    std::string resynced;
    if (major == 3 && (flags & 0x80)) {  // version 2.3 unsynchronises the whole tag
        resynced = Resync(body);
        body = resynced;
    }
    std::size_t pos = 0;
    if (flags & 0x40) {  // extended header
        if (body.size() < 4) return true;
        std::uint32_t ext = major == 4 ? Syncsafe(body, 0) : Be32(body, 0) + 4;
        pos = ext;
    }
    while (pos + kHeaderSize <= body.size()) {
        std::string_view id = body.substr(pos, 4);
        if (!IsFrameIdChar(id[0]) || !IsFrameIdChar(id[1]) || !IsFrameIdChar(id[2]) ||
            !IsFrameIdChar(id[3])) {
            break;  // padding
        }
        std::uint32_t frameSize = major == 4 ? Syncsafe(body, pos + 4) : Be32(body, pos + 4);
        auto format = static_cast<unsigned char>(body[pos + 9]);
        pos += kHeaderSize;
        if (frameSize > body.size() - pos) break;
        std::string_view data = body.substr(pos, frameSize);
        pos += frameSize;
        bool skip = false;
        bool unsync = false;
        if (major == 4) {
            skip = (format & 0x08) || (format & 0x04);  // compressed or encrypted
            unsync = (format & 0x02) || (flags & 0x80);
            if (format & 0x40) data = data.substr(std::min<std::size_t>(1, data.size()));  // group id
            if (format & 0x01) data = data.substr(std::min<std::size_t>(4, data.size()));  // data length
        } else {
            skip = (format & 0x80) || (format & 0x40);
            if (format & 0x20) data = data.substr(std::min<std::size_t>(1, data.size()));
        }
        if (skip || id[0] != 'T' || id == "TXXX" || m_texts.count(id)) continue;
        std::string plain = unsync ? Resync(data) : std::string(data);
        m_texts.emplace(std::string(id), DecodeId3Text(plain));
    }
    return true;
}

std::optional<std::string> Id3v2TextReader::Text(std::string_view id) const {
    auto it = m_texts.find(id);
    if (it == m_texts.end()) return std::nullopt;
    return it->second;
}

}  // namespace kestrow
