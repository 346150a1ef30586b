// The parsed "_kestrow.backup" file of a directory: its ";" lines, where backup data is kept.
#pragma once

#include <string>
#include <vector>

#include "content/fileentry.h"
#include "content/pathname.h"
#include "platform/question.h"

namespace kestrow {

class BackupFile {
public:
    explicit BackupFile(const FileEntry& file) : m_file(file.path) {}
    explicit BackupFile(PathName file) : m_file(std::move(file)) {}

    // Parses the file anew; false when it cannot be opened (no content then).
    bool Load(std::string* error = nullptr, platform::Questioner* questioner = nullptr);

    const PathName& File() const { return m_file; }
    std::string FullPath() const { return m_file.FullPath(); }
    // Set once the file was read (and by any line that is not a comment).
    bool HasContent() const { return m_hasContent; }

    // Each ";" line without the ";" and without a prefix, untrimmed.
    const std::vector<std::string>& Comments() const { return m_comments; }
    std::size_t CommentCount() const { return m_comments.size(); }
    std::string Comment(std::size_t index) const;
    // The file's text as it is written: its ";" lines alone.
    std::string Text() const;

    // Backup storage adds its block lines to the comments and takes a stored block out of them;
    // after the directory was renamed the list is pointed at its new path.
    std::vector<std::string>& MutableComments() { return m_comments; }
    void SetFile(PathName file) { m_file = std::move(file); }

private:
    PathName m_file;
    std::vector<std::string> m_comments;
    bool m_hasContent = false;
};

}  // namespace kestrow
