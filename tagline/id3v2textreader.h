// A small reader for the text frames of an ID3v2 tag, for the tags the main tag library does not
// parse (version 2.4).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kestrow {

class Id3v2TextReader {
public:
    // Reads the tag at the start of the file; false when there is none or it cannot be read.
    bool ReadFile(const std::string& path);
    // Parses a whole tag: the 10-byte header and what follows it (a cut tag yields the frames
    // that are complete).
    bool Parse(std::string_view tag);

    int MajorVersion() const { return m_major; }
    // The first value of the first text frame with that id, in UTF-8.
    std::optional<std::string> Text(std::string_view id) const;

private:
    int m_major = 0;
    std::map<std::string, std::string, std::less<>> m_texts;
};

// A frame's text field (encoding byte first) in UTF-8, up to its first terminator.
std::string DecodeId3Text(std::string_view field);

}  // namespace kestrow
