// The stream and tag facts of one MP3 file (genre, year and bit rate go into taglines).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrow {

// Read runs the tag library in a helper process (see Mp3InfoHelper), so a damaged file that
// crashes or hangs the library costs only that file: it then reads as unreadable.
class Mp3Info {
public:
    using Text = std::optional<std::string>;  // none when the file has no such frame

    std::string path;
    bool hasLyrics = false;
    bool hasV1Tag = false;
    bool hasV2Tag = false;
    std::int64_t fileSize = -1;  // without the tags
    int bitrate = 0;             // bits per second
    int vbrBitrate = 0;          // average of a variable-rate stream; 0 for a constant rate
    int effectiveBitrate = 0;
    int sampleRate = 0;
    int seconds = 0;
    Text bitrateText;
    Text layerText;
    Text versionText;
    Text channelText;
    Text artist;
    Text title;
    Text album;
    Text comment;
    Text trackText;
    Text yearText;
    Text genre;
    Text composer;
    Text rightsNote;
    Text encodedBy;
    Text originalArtist;
    Text userUrl;
    int trackNumber = 0;
    int year = 0;
    bool valid = false;

    // Fills the record from the file; false (and an empty record) when it cannot be read, has
    // no MPEG frame header, or made the reader fail.
    bool Read(const std::string& filePath);
    void Reset();

    // One line without line breaks carrying every field, and its reverse; used between the
    // helper process and the program. Parse resets the record first.
    std::string Serialize() const;
    bool Parse(std::string_view line);

    bool operator==(const Mp3Info&) const = default;
};

// The leading decimal integer of a text ("07/12" gives 7), 0 when there is none.
int LeadingInt(std::string_view text);

}  // namespace kestrow
