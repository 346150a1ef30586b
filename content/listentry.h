// One entry of an SFV list (a name and its CRC text) or of an M3U playlist (a path).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

// The entry keeps its text byte for byte as the list wrote it, so that it is written back
// unchanged. Lists come from Windows machines too: when the text is split into a directory
// part and a file name, both "\" and "/" separate directories.
class ListEntry {
public:
    ListEntry() = default;
    explicit ListEntry(std::string_view text, std::string_view crc = {}) : m_text(text), m_crc(crc) {}

    // The full path as written (directory part and file name).
    const std::string& Text() const { return m_text; }
    // The CRC text of an SFV entry as written (empty for playlist entries).
    const std::string& Crc() const { return m_crc; }
    void SetText(std::string_view text) { m_text.assign(text); }
    void SetCrc(std::string_view crc) { m_crc.assign(crc); }

    // Up to and including the last separator; empty for a bare name.
    std::string_view DirPart() const;
    bool HasDir() const { return !DirPart().empty(); }
    std::string_view FileName() const;
    // The file name before / after its last "."; no dot: all of it is the title.
    std::string_view Title() const;
    std::string_view Ext() const;
    // The directory part split at either separator; a leading separator gives no empty piece.
    std::vector<std::string> Components() const;
    // The text with every "\" turned into "/": the path to look up relative to the list's folder.
    std::string DiskPath() const;

private:
    std::string m_text;
    std::string m_crc;
};

// Comment and invalid lines of a list are stored behind a prefix "<N>" that keeps their place
// among the file's significant lines.
std::string ListPrefix(unsigned n);
// N of a stored "<N>text"; -1 for an empty string or one whose first ">" stands before index 2
// (or that has none), -2 for a string that does not begin with "<".
int PrefixNumber(std::string_view stored);
// The text after the first ">" (the whole string when it has no ">").
std::string_view WithoutPrefix(std::string_view stored);

// Lines added to a list since it was loaded (a backup block) carry this prefix instead of "<N>":
// they have no place among the file's lines and are written first.
inline constexpr std::string_view kAddedLinePrefix = "<>";
bool IsAddedLine(std::string_view stored);
// Every line a list writes ends so, whatever ended it when it was read.
inline constexpr std::string_view kListLineEnd = "\r\n";

// The text of a list file: the comment lines behind `commentMark`, invalid lines (when given) and
// entry lines, each put back in its place among the others.
std::string ListFileText(char commentMark, const std::vector<std::string>& comments,
                         const std::vector<std::string>* invalidLines,
                         const std::vector<std::string>& entries);

}  // namespace kestrow
