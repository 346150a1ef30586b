// Reader and writer of INI-style settings files with the semantics of the Windows private-profile
// functions: section and key names compare without regard to case, values are trimmed and read
// back at most 254 characters long. Edits are collected in memory and written in one atomic
// rewrite that keeps every line the accessor does not own (comments, foreign keys and sections).
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs.h"

namespace kestrow {

class CSettingsFile {
public:
    // Longest value ReadString returns, in characters.
    static constexpr std::size_t kMaxValueChars = 254;

    // Points the accessor at a file and reads it. A missing file reads as empty (the status is
    // then ENOENT, and a later Flush creates the file); any other failure is returned and kept,
    // and Flush then refuses to overwrite what could not be read.
    platform::Status SetPath(const std::string& path);
    const std::string& path() const { return m_path; }
    // Replaces the content held in memory with this text, to be written by the next Flush; the
    // path is kept. Used to start a new file from a copy of another (the shipped defaults).
    void SetContent(std::string_view text);

    std::string ReadString(std::string_view key, std::string_view section) const;
    int ReadInt(std::string_view key, std::string_view section) const;
    // Sets the key in memory, adding the section or key as needed. Refuses (false) names or values
    // that the file format cannot carry: line breaks, an empty key, "=" in a key.
    bool WriteString(std::string_view value, std::string_view key, std::string_view section);
    // True when the section holds at least one key.
    bool SectionExists(std::string_view section) const;
    // Every non-empty, non-comment line of the section as "key=value", in file order.
    std::vector<std::string> ReadSectionLines(std::string_view section) const;
    // The section's lines split at their first "="; lines without one or with an empty key are
    // skipped, a repeated key keeps its last value. Keys keep their case.
    std::map<std::string, std::string> ReadSectionMap(std::string_view section) const;

    bool modified() const { return m_modified; }
    // Writes the content to the path atomically when it changed since it was read.
    platform::Status Flush();
    // Result of the last SetPath or Flush.
    platform::Status lastResult() const { return m_lastResult; }
    // The file's text as Flush would write it.
    std::string Serialize() const;

private:
    void Load(std::string_view text);
    // Index range [begin, end) of a section's body lines; begin == npos when absent.
    struct Range {
        std::size_t header;
        std::size_t begin;
        std::size_t end;
    };
    bool FindSection(std::string_view section, Range& range) const;
    // Index of the first line of the body that sets the key, or npos.
    std::size_t FindKey(const Range& range, std::string_view key) const;

    std::string m_path;
    std::vector<std::string> m_lines;  // without line ends
    bool m_bom = false;
    bool m_crlf = false;
    bool m_modified = false;
    int m_readError = 0;  // the reason the file could not be read, other than its absence
    platform::Status m_lastResult;
};

}  // namespace kestrow
