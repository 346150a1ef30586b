// Buffered reader of text lines for every list, backup and tagline file read from a release.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs.h"
#include "platform/question.h"

namespace kestrow {

// Reads a text file line by line through a fixed buffer. Empty lines are never returned; CR LF,
// LF CR, LF and CR end a line. A line that does not fit the caller's buffer of `capacity` bytes
// (including its terminator) is cut: the user is warned and the rest comes back as a line of
// its own. A UTF-8 byte-order mark at the start of the file is skipped.
class LineReader {
public:
    static constexpr unsigned kDefaultCapacity = 4096;

    // The questioner shows the overflow warning; null means nobody is asked.
    explicit LineReader(unsigned capacity = kDefaultCapacity, platform::Questioner* questioner = nullptr);

    // Opens a regular file for reading. Files over the text-file cap are refused as unreadable.
    // On failure the error record (when given) receives the reason.
    bool Open(const std::string& path, std::string* error = nullptr);
    // The number of the line returned, or 0 at the end of the file (the line is then empty).
    unsigned ReadLine(std::string& line);
    void Close();

    bool IsOpen() const { return m_file.isOpen(); }
    unsigned LineNo() const { return m_lineNo; }
    // The text of the last overflow warning.
    const std::string& Message() const { return m_message; }
    // A read failed: the lines returned stop short of the file's end.
    bool ReadFailed() const { return m_readError != 0; }
    int ReadError() const { return m_readError; }

private:
    bool Refill();
    unsigned EndLine();
    unsigned EndOfFile();

    unsigned m_capacity;
    std::string m_message;
    unsigned m_filled = 0;
    unsigned m_lineNo = 0;
    unsigned m_pos = 0;
    bool m_lastChunk = false;
    int m_readError = 0;
    bool m_atStart = true;  // the next fill is the file's first bytes (a byte-order mark may lead)
    std::vector<char> m_buffer;
    platform::InputFile m_file;
    platform::Questioner* m_questioner;
};

// The text without leading and trailing white space (blank, tab, CR, LF, byte 11, form feed).
std::string_view TrimText(std::string_view text);

// Reads a list file and hands each significant line (2 or more characters once trimmed) to the
// visitor with its number among the significant lines (from 0), its trimmed text and the line
// as read. False when the file cannot be opened or a read fails before its end (the error record
// receives the reason): a list read only in part must not count as read.
using SignificantLineVisitor =
    std::function<void(unsigned n, std::string_view trimmed, const std::string& raw)>;
bool ReadSignificantLines(const std::string& path, std::string* error, platform::Questioner* questioner,
                          const SignificantLineVisitor& visit);

}  // namespace kestrow
