// The one place that talks to the tag library: header information and text frames of a file,
// with the repairs this library version needs (version 2.4 tags, 16-bit texts, playing time).
#include "tagline/id3reader.h"

#include <id3/field.h>
#include <id3/tag.h>

#include <sys/stat.h>
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <utility>

#include "tagline/genres.h"
#include "tagline/id3v2textreader.h"
#include "tagline/mp3info.h"
#include "tagline/textencoding.h"

namespace kestrow {

namespace {

// The library keeps 16-bit text in the stream's high-byte-first order whatever the byte-order
// mark said, and adds no terminator: the field size bounds the read.
std::string FieldText(const ID3_Field& field) {
    ID3_TextEnc encoding = field.GetEncoding();
    if (encoding == ID3TE_UTF16 || encoding == ID3TE_UTF16BE) {
        const unicode_t* raw = field.GetRawUnicodeText();
        if (!raw) return {};
        std::size_t bytes = field.Size() & ~std::size_t{1};
        return Utf16BytesToUtf8(std::string_view(reinterpret_cast<const char*>(raw), bytes), true);
    }
    const char* raw = field.GetRawText();
    if (!raw) return {};
    return EightBitToUtf8(std::string_view(raw, ::strnlen(raw, field.Size())));
}

std::optional<std::string> FrameText(const ID3_Tag& tag, ID3_FrameID id) {
    ID3_Frame* frame = tag.Find(id);
    if (!frame || !frame->Contains(ID3FN_TEXTENC)) return std::nullopt;
    const ID3_Field* field = nullptr;
    if (frame->Contains(ID3FN_TEXT))
        field = frame->GetField(ID3FN_TEXT);
    else if (frame->Contains(ID3FN_URL))
        field = frame->GetField(ID3FN_URL);
    if (!field) return std::nullopt;
    return FieldText(*field);
}

std::optional<std::string> LayerText(Mpeg_Layers layer) {
    switch (layer) {
        case MPEGLAYER_UNDEFINED:
            return "UNDEFINED";
        case MPEGLAYER_III:
            return "Layer III";
        case MPEGLAYER_II:
            return "Layer II";
        case MPEGLAYER_I:
            return "Layer I";
        default:
            return std::nullopt;
    }
}

std::optional<std::string> VersionText(Mpeg_Version version) {
    switch (version) {
        case MPEGVERSION_2_5:
            return "MPEG 2.5";
        case MPEGVERSION_2:
            return "MPEG 2";
        case MPEGVERSION_1:
            return "MPEG 1";
        default:
            return std::nullopt;
    }
}

std::optional<std::string> ChannelText(Mp3_ChannelMode mode) {
    switch (mode) {
        case MP3CHANNELMODE_STEREO:
            return "Stereo";
        case MP3CHANNELMODE_JOINT_STEREO:
            return "Joint Stereo";
        case MP3CHANNELMODE_DUAL_CHANNEL:
            return "Dual Channel";
        case MP3CHANNELMODE_SINGLE_CHANNEL:
            return "Single Channel";
        default:
            return std::nullopt;
    }
}

// An ID3v1 genre reaches us as "(N)"; a number in the list becomes its name.
std::string V1Genre(const std::string& text) {
    if (text.size() < 3 || text.front() != '(' || text.back() != ')') return text;
    int n = 0;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9' || i > 4) return text;
        n = n * 10 + (text[i] - '0');
    }
    std::string_view name = GenreName(n);
    return name.empty() ? text : std::string(name);
}

// The year of a recording time such as "2011-03-01".
std::string YearOfTimestamp(const std::string& text) {
    if (text.size() >= 4 &&
        std::all_of(text.begin(), text.begin() + 4, [](char c) { return c >= '0' && c <= '9'; })) {
        return text.substr(0, 4);
    }
    return text;
}

}  // namespace

Id3Reader::Id3Reader() = default;
Id3Reader::~Id3Reader() = default;

void Id3Reader::TagDeleter::operator()(ID3_Tag* tag) const {
    // m_tag's deleter, here because the header only declares the tag's type.
    delete tag;  // NOLINT(cppcoreguidelines-owning-memory)
}

bool Id3Reader::Read(const std::string& path, Mp3Info& info) {
    info.Reset();
    m_tag.reset();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;  // never a FIFO or device
    info.valid = true;
    info.path = path;

    m_tag.reset(new ID3_Tag);  // NOLINT(cppcoreguidelines-owning-memory): m_tag owns it
    ID3_Tag& tag = *m_tag;
    tag.Link(path.c_str(), static_cast<flags_t>(ID3TT_ALL));
    info.hasLyrics = tag.HasLyrics();
    info.hasV1Tag = tag.HasV1Tag();
    info.hasV2Tag = tag.HasV2Tag();
    std::int64_t audioBytes = static_cast<std::int64_t>(tag.GetFileSize()) -
                              static_cast<std::int64_t>(tag.GetPrependedBytes()) -
                              static_cast<std::int64_t>(tag.GetAppendedBytes());
    info.fileSize = audioBytes < 0 ? 0 : audioBytes;

    const Mp3_Headerinfo* header = tag.GetMp3HeaderInfo();
    if (!header) {
        info.Reset();
        return false;
    }
    info.bitrate = header->bitrate > 0 ? static_cast<int>(header->bitrate) : 0;
    info.vbrBitrate = header->vbr_bitrate <= 0x7FFFFFFFu ? static_cast<int>(header->vbr_bitrate) : 0;
    info.effectiveBitrate = info.vbrBitrate >= 1 ? info.vbrBitrate : info.bitrate;
    info.sampleRate = static_cast<int>(header->frequency);
    // The library's own playing time overflows for short files.
    info.seconds =
        info.effectiveBitrate > 0 ? static_cast<int>(info.fileSize * 8 / info.effectiveBitrate) : 0;
    info.bitrateText = info.vbrBitrate >= 1 ? std::to_string(info.vbrBitrate / 1000) + " kbit/s (VBR)"
                                            : std::to_string(info.bitrate / 1000) + " kbit/s";
    info.layerText = LayerText(header->layer);
    info.versionText = VersionText(header->version);
    info.channelText = ChannelText(header->channelmode);

    const std::array<std::pair<ID3_FrameID, Mp3Info::Text Mp3Info::*>, 12> frames = {{
        {ID3FID_LEADARTIST, &Mp3Info::artist},
        {ID3FID_TITLE, &Mp3Info::title},
        {ID3FID_ALBUM, &Mp3Info::album},
        {ID3FID_COMMENT, &Mp3Info::comment},
        {ID3FID_TRACKNUM, &Mp3Info::trackText},
        {ID3FID_YEAR, &Mp3Info::yearText},
        {ID3FID_CONTENTTYPE, &Mp3Info::genre},
        {ID3FID_COMPOSER, &Mp3Info::composer},
        {ID3FID_COPYRIGHT, &Mp3Info::rightsNote},
        {ID3FID_ENCODEDBY, &Mp3Info::encodedBy},
        {ID3FID_ORIGARTIST, &Mp3Info::originalArtist},
        {ID3FID_WWWUSER, &Mp3Info::userUrl},
    }};
    for (const auto& [id, member] : frames) info.*member = FrameText(tag, id);

    // The library finds a version 2.4 tag but none of its frames; what it presents then came from
    // the ID3v1 tag, so its genre is a v1 genre number.
    bool genreFromV2 = info.hasV2Tag;
    if (info.hasV2Tag) {
        Id3v2TextReader own;
        if (own.ReadFile(path) && own.MajorVersion() == 4) {
            genreFromV2 = false;
            const std::array<std::pair<std::string_view, Mp3Info::Text Mp3Info::*>, 9> texts = {{
                {"TPE1", &Mp3Info::artist},
                {"TIT2", &Mp3Info::title},
                {"TALB", &Mp3Info::album},
                {"TRCK", &Mp3Info::trackText},
                {"TCOM", &Mp3Info::composer},
                {"TCOP", &Mp3Info::rightsNote},
                {"TENC", &Mp3Info::encodedBy},
                {"TOPE", &Mp3Info::originalArtist},
                {"TCON", &Mp3Info::genre},
            }};
            for (const auto& [id, member] : texts) {
                if (auto text = own.Text(id)) {
                    info.*member = std::move(text);
                    if (id == "TCON") genreFromV2 = true;
                }
            }
            if (auto year = own.Text("TYER"))
                info.yearText = std::move(year);
            else if (auto time = own.Text("TDRC"))
                info.yearText = YearOfTimestamp(*time);
        }
    }
    if (info.genre && !genreFromV2) info.genre = V1Genre(*info.genre);

    if (info.trackText) info.trackNumber = LeadingInt(*info.trackText);
    if (info.yearText) info.year = LeadingInt(*info.yearText);
    return info.valid;
}

}  // namespace kestrow
