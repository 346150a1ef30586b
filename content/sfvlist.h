// A parsed SFV file: entries (name and CRC text), comment lines and lines of invalid syntax.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "content/fileentry.h"
#include "content/listentry.h"
#include "content/pathname.h"
#include "platform/question.h"

namespace kestrow {

class SfvList {
public:
    explicit SfvList(const FileEntry& file) : m_file(file.path) {}
    explicit SfvList(PathName file) : m_file(std::move(file)) {}

    // Parses the file anew. False when it cannot be opened (the list is then empty and not
    // loaded; the error record receives the reason). The questioner shows the overflow warning.
    bool Load(std::string* error = nullptr, platform::Questioner* questioner = nullptr);
    bool Loaded() const { return m_loaded; }

    const PathName& File() const { return m_file; }
    std::string FileName() const { return m_file.FileName(); }
    std::string FullPath() const { return m_file.FullPath(); }

    const std::vector<ListEntry>& Entries() const { return m_entries; }
    std::size_t EntryCount() const { return m_entries.size(); }
    // The entry's path as written / its CRC text; empty past the end.
    std::string EntryName(std::size_t index) const;
    std::string EntryCrc(std::size_t index) const;
    // Index of the first entry whose path as written equals the name (exactly, else without
    // regard to case), or -1.
    int FindEntry(std::string_view name) const;
    // Replaces the path and/or the CRC text of an entry; false when both are absent or the
    // index is past the end.
    bool SetEntry(std::optional<std::string_view> name, std::optional<std::string_view> crc,
                  std::size_t index);
    bool RemoveEntry(std::size_t index);

    // Comments are stored as "<N>" + the line after its ";", untrimmed.
    const std::vector<std::string>& Comments() const { return m_comments; }
    std::size_t CommentCount() const { return m_comments.size(); }
    // The comment without its prefix; empty past the end.
    std::string Comment(std::size_t index) const;
    // Invalid lines are stored as "<N>" + the trimmed line.
    const std::vector<std::string>& InvalidLines() const { return m_invalidLines; }
    std::size_t InvalidLineCount() const { return m_invalidLines.size(); }
    std::string InvalidLine(std::size_t index) const;

    // Splits one trimmed data line into name and CRC text; nullopt when its syntax is invalid.
    static std::optional<ListEntry> ParseDataLine(std::string_view trimmed);

    // Backup storage adds its block lines to the comments and takes a stored block out of them;
    // after the directory was renamed the list is pointed at its new path.
    std::vector<std::string>& MutableComments() { return m_comments; }
    void SetFile(PathName file) { m_file = std::move(file); }

private:
    bool m_loaded = false;
    PathName m_file;
    std::vector<ListEntry> m_entries;
    std::vector<std::string> m_comments;
    std::vector<std::string> m_invalidLines;
};

}  // namespace kestrow
