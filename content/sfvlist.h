// A parsed SFV file: entries (name and CRC text), comment lines and lines of invalid syntax.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "content/fileentry.h"
#include "content/listentry.h"
#include "content/listfile.h"
#include "content/pathname.h"
#include "platform/question.h"

namespace kestrow {

class SfvList : public ListFile {
public:
    explicit SfvList(const FileEntry& file) : ListFile(file.path) {}
    explicit SfvList(PathName file) : ListFile(std::move(file)) {}

    // Parses the file anew. False when it cannot be opened (the list is then empty and not
    // loaded; the error record receives the reason). The questioner shows the overflow warning.
    bool Load(std::string* error = nullptr, platform::Questioner* questioner = nullptr);

    // The entry's path as written / its CRC text; empty past the end.
    std::string EntryName(std::size_t index) const;
    std::string EntryCrc(std::size_t index) const;
    // Replaces the path and/or the CRC text of an entry; false when both are absent or the
    // index is past the end.
    bool SetEntry(std::optional<std::string_view> name, std::optional<std::string_view> crc,
                  std::size_t index);

    // Invalid lines are stored as "<N>" + the trimmed line.
    const std::vector<std::string>& InvalidLines() const { return m_invalidLines; }

    // The file's text as it is written back: comments and invalid lines in their places.
    std::string Text() const;

    // Splits one trimmed data line into name and CRC text; nullopt when its syntax is invalid.
    static std::optional<ListEntry> ParseDataLine(std::string_view trimmed);

private:
    std::vector<std::string> m_invalidLines;
};

}  // namespace kestrow
