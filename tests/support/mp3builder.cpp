// Byte-level construction of MP3 fixtures: frame headers by the MPEG audio tables, Xing frames and
// ID3 tags as taggers write them.
#include "tests/support/mp3builder.h"

#include <algorithm>
#include <array>

namespace kestrow::test {

namespace {

constexpr std::array<int, 15> kMpeg1Rates = {0,   32,  40,  48,  56,  64,  80, 96,
                                             112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 15> kMpeg2Rates = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

int BitrateIndex(MpegVersion version, int kbps) {
    const auto& table = version == MpegVersion::Mpeg1 ? kMpeg1Rates : kMpeg2Rates;
    for (std::size_t i = 1; i < table.size(); ++i) {
        if (table[i] == kbps) return static_cast<int>(i);
    }
    return 9;  // a rate outside the table falls back to a valid one rather than a free-format frame
}

int SampleRateIndex(MpegVersion version, int rate) {
    int base = version == MpegVersion::Mpeg1 ? 44100 : 22050;
    if (rate == base) return 0;
    if (rate == base / 441 * 480) return 1;  // 48000 or 24000
    return 2;
}

int MpegFrameSize(MpegVersion version, int bitrateKbps, int sampleRate) {
    int factor = version == MpegVersion::Mpeg1 ? 144000 : 72000;
    return factor * bitrateKbps / sampleRate;
}

int SideInfoSize(MpegVersion version, ChannelMode channels) {
    bool mono = channels == ChannelMode::SingleChannel;
    if (version == MpegVersion::Mpeg1) return mono ? 17 : 32;
    return mono ? 9 : 17;
}

std::string FrameHeader(const MpegStream& s, int kbps) {
    std::string h(4, '\0');
    h[0] = static_cast<char>(0xFF);
    h[1] = static_cast<char>(0xE0 | ((s.version == MpegVersion::Mpeg1 ? 3 : 2) << 3) | (1 << 1) |
                             1);  // Layer III, no CRC
    h[2] = static_cast<char>((BitrateIndex(s.version, kbps) << 4) |
                             (SampleRateIndex(s.version, s.sampleRate) << 2));
    h[3] = static_cast<char>((static_cast<int>(s.channels) << 6) | 0x04);  // original
    return h;
}

void PutBe32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

std::string Syncsafe(std::uint32_t v) {
    std::string out;
    for (int shift = 21; shift >= 0; shift -= 7) out.push_back(static_cast<char>((v >> shift) & 0x7F));
    return out;
}

}  // namespace

std::string MakeMpegStream(const MpegStream& s) {
    std::string out;
    auto frame = [&](int kbps) {
        std::string f = FrameHeader(s, kbps);
        f.resize(static_cast<std::size_t>(MpegFrameSize(s.version, kbps, s.sampleRate)), '\0');
        return f;
    };
    if (s.vbrRatesKbps.empty()) {
        for (int i = 0; i < s.frameCount; ++i) out += frame(s.bitrateKbps);
        return out;
    }
    std::string audio;
    for (int i = 0; i < s.frameCount; ++i) {
        audio += frame(s.vbrRatesKbps[static_cast<std::size_t>(i) % s.vbrRatesKbps.size()]);
    }
    std::string xing = frame(s.bitrateKbps);
    std::string info = "Xing";
    PutBe32(info, 0x3);  // frame count and byte count present
    PutBe32(info, static_cast<std::uint32_t>(s.frameCount));
    PutBe32(info, static_cast<std::uint32_t>(audio.size() + xing.size()));
    xing.replace(4 + static_cast<std::size_t>(SideInfoSize(s.version, s.channels)), info.size(), info);
    return xing + audio;
}

std::string MakeId3v1Tag(const Id3v1Fields& f) {
    std::string tag = "TAG";
    auto field = [&](const std::string& text, std::size_t len) {
        std::string part = text.substr(0, std::min(text.size(), len));
        part.resize(len, '\0');
        tag += part;
    };
    field(f.title, 30);
    field(f.artist, 30);
    field(f.album, 30);
    field(f.year, 4);
    if (f.track > 0) {
        field(f.comment, 28);
        tag.push_back('\0');
        tag.push_back(static_cast<char>(f.track));
    } else {
        field(f.comment, 30);
    }
    tag.push_back(static_cast<char>(f.genre));
    return tag;
}

std::string EncodeText(std::string_view text, TextEncoding encoding) {
    return static_cast<char>(encoding) + std::string(text);
}

std::string ZlibStored(std::string_view data) {
    std::string out = "\x78\x01";
    out.push_back('\x01');  // final block, stored
    auto len = static_cast<std::uint16_t>(data.size());
    auto nlen = static_cast<std::uint16_t>(~len);
    out.push_back(static_cast<char>(len & 0xFF));
    out.push_back(static_cast<char>(len >> 8));
    out.push_back(static_cast<char>(nlen & 0xFF));
    out.push_back(static_cast<char>(nlen >> 8));
    out += data;
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : data) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBe32(out, (b << 16) | a);
    return out;
}

Id3v2Builder& Id3v2Builder::Raw(std::string_view id, std::string_view data, std::uint16_t flags) {
    std::string frame(id.substr(0, 4));
    frame.resize(4, ' ');
    auto size = static_cast<std::uint32_t>(data.size());
    if (m_major >= 4)
        frame += Syncsafe(size);
    else
        PutBe32(frame, size);
    frame.push_back(static_cast<char>(flags >> 8));
    frame.push_back(static_cast<char>(flags & 0xFF));
    frame += data;
    m_frames.push_back(std::move(frame));
    return *this;
}

Id3v2Builder& Id3v2Builder::Text(std::string_view id, std::string_view text, TextEncoding encoding) {
    return Raw(id, EncodeText(text, encoding));
}

Id3v2Builder& Id3v2Builder::Comment(std::string_view text) {
    std::string data(1, '\0');
    data += "eng";
    data.push_back('\0');  // empty short description
    data += text;
    return Raw("COMM", data);
}

Id3v2Builder& Id3v2Builder::UserUrl(std::string_view url) {
    std::string data(1, '\0');
    data.push_back('\0');  // empty description
    data += url;
    return Raw("WXXX", data);
}

Id3v2Builder& Id3v2Builder::CompressedText(std::string_view id, std::string_view text) {
    std::string plain = EncodeText(text, TextEncoding::Latin1);
    std::string data;
    PutBe32(data, static_cast<std::uint32_t>(plain.size()));  // decompressed size comes first
    data += ZlibStored(plain);
    return Raw(id, data, 0x0080);
}

Id3v2Builder& Id3v2Builder::Padding(std::size_t bytes) {
    m_padding = bytes;
    return *this;
}

std::string Id3v2Builder::Bytes() const {
    std::string body;
    for (const auto& f : m_frames) body += f;
    body.append(m_padding, '\0');
    std::string tag = "ID3";
    tag.push_back(static_cast<char>(m_major));
    tag.push_back('\0');  // revision
    tag.push_back('\0');  // flags
    tag += Syncsafe(static_cast<std::uint32_t>(body.size()));
    return tag + body;
}

std::string MakeMp3(std::string_view id3v2, std::string_view audio, std::string_view id3v1) {
    std::string out(id3v2);
    out += audio;
    out += id3v1;
    return out;
}

}  // namespace kestrow::test
