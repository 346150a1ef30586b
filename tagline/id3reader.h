// Reading one MP3 file with the tag library, inside the helper process.
#pragma once

#include <memory>
#include <string>

class ID3_Tag;

namespace kestrow {

class Mp3Info;

// Owns the library's tag object for the file last read. Runs only in the helper process: the
// library crashes on some damaged tags.
class Id3Reader {
public:
    Id3Reader();
    ~Id3Reader();
    Id3Reader(const Id3Reader&) = delete;
    Id3Reader& operator=(const Id3Reader&) = delete;

    // Fills info from the file; false (and an empty record) when the file is not a regular file
    // or holds no MPEG frame header.
    bool Read(const std::string& path, Mp3Info& info);

private:
    struct TagDeleter {
        void operator()(ID3_Tag* tag) const;
    };
    std::unique_ptr<ID3_Tag, TagDeleter> m_tag;
};

}  // namespace kestrow
