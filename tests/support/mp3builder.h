// Tiny MP3 files built from bytes for fixtures: MPEG audio frame headers, Xing frames for variable
// bit rates, ID3v1 tags and ID3v2.3/2.4 tags. No encoder and no test framework needed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrow::test {

enum class MpegVersion { Mpeg1, Mpeg2 };
enum class ChannelMode { Stereo = 0, JointStereo = 1, DualChannel = 2, SingleChannel = 3 };

// A Layer III stream. With vbrRatesKbps set, a Xing frame comes first and each following frame
// takes the next rate of the list in turn; otherwise every frame has bitrateKbps.
struct MpegStream {
    MpegVersion version = MpegVersion::Mpeg1;
    int bitrateKbps = 128;
    int sampleRate = 44100;
    ChannelMode channels = ChannelMode::JointStereo;
    int frameCount = 8;
    std::vector<int> vbrRatesKbps;
};

// The stream's bytes; frames hold silence (zero side information and main data).
std::string MakeMpegStream(const MpegStream& stream);

struct Id3v1Fields {
    std::string title, artist, album, year, comment;
    int track = 0;  // 0: a plain ID3v1.0 comment of 30 bytes
    int genre = 255;
};
// The 128 bytes of an ID3v1 tag; longer texts are cut to their fields.
std::string MakeId3v1Tag(const Id3v1Fields& fields);

// UTF-16 texts are built as raw frame bytes, so a fixture shows exactly what a tag holds.
enum class TextEncoding { Latin1 = 0, Utf8 = 3 };

// An ID3v2 tag of major version 3 or 4, frames in the order added.
class Id3v2Builder {
public:
    explicit Id3v2Builder(int majorVersion) : m_major(majorVersion) {}

    // A text frame (T???): the encoding byte, then the text's bytes as given.
    Id3v2Builder& Text(std::string_view id, std::string_view text,
                       TextEncoding encoding = TextEncoding::Latin1);
    Id3v2Builder& Comment(std::string_view text);
    Id3v2Builder& UserUrl(std::string_view url);
    // A text frame with the compression flag and a zlib stream (stored block) as its data.
    Id3v2Builder& CompressedText(std::string_view id, std::string_view text);
    Id3v2Builder& Raw(std::string_view id, std::string_view data, std::uint16_t flags = 0);
    // Bytes of padding after the frames.
    Id3v2Builder& Padding(std::size_t bytes);

    std::string Bytes() const;

private:
    int m_major;
    std::vector<std::string> m_frames;
    std::size_t m_padding = 0;
};

// An encoded text field: the encoding byte, then the text.
std::string EncodeText(std::string_view text, TextEncoding encoding);
// A zlib stream holding the bytes in one stored (uncompressed) deflate block.
std::string ZlibStored(std::string_view data);

// The whole file: ID3v2 tag, audio, ID3v1 tag (each optional).
std::string MakeMp3(std::string_view id3v2, std::string_view audio, std::string_view id3v1 = {});

}  // namespace kestrow::test
