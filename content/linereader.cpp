// Line reading through a fixed buffer, with the overflow warning for over-long lines.
#include "content/linereader.h"

#include <cerrno>
#include <cstdio>

namespace kestrow {

namespace {

bool IsBreak(char c) {
    return c == '\r' || c == '\n';
}

}  // namespace

LineReader::LineReader(unsigned capacity, platform::Questioner* questioner)
    : m_capacity(capacity < 2 ? 2 : capacity), m_buffer(m_capacity), m_questioner(questioner) {}

bool LineReader::Open(const std::string& path, std::string* error) {
    Close();
    platform::Status status = m_file.open(path);
    if (status && m_file.size() > platform::kMaxTextFileSize) {
        m_file.close();
        if (error) *error = "File too large (over 16 MiB)";
        return false;
    }
    if (!status) {
        if (error) *error = status.message();
        return false;
    }
    m_filled = m_pos = m_lineNo = 0;
    m_lastChunk = false;
    m_readError = 0;
    m_atStart = true;
    return true;
}

void LineReader::Close() {
    m_file.close();
    m_filled = m_pos = 0;
}

bool LineReader::Refill() {
    m_filled = m_pos = 0;
    if (!m_file.isOpen()) return false;
    long long n = m_file.read(m_buffer.data(), m_capacity);
    if (n <= 0) {
        // A read error ends the lines like the file's end does; callers ask ReadFailed.
        if (n < 0) m_readError = m_file.lastError() != 0 ? m_file.lastError() : EIO;
        m_lastChunk = true;
        return false;
    }
    m_filled = static_cast<unsigned>(n);
    if (m_filled < m_capacity) m_lastChunk = true;
    if (m_atStart) {
        m_atStart = false;
        if (m_filled >= 3 && static_cast<unsigned char>(m_buffer[0]) == 0xEF &&
            static_cast<unsigned char>(m_buffer[1]) == 0xBB &&
            static_cast<unsigned char>(m_buffer[2]) == 0xBF) {
            m_pos = 3;
        }
    }
    return true;
}

unsigned LineReader::EndLine() {
    return ++m_lineNo;
}

unsigned LineReader::EndOfFile() {
    m_lineNo = 0;
    return 0;
}

unsigned LineReader::ReadLine(std::string& line) {
    line.clear();
    for (;;) {
        if (m_pos >= m_filled) {
            // A short read already told us the file ended; otherwise ask for more.
            if (m_lastChunk || !Refill()) return line.empty() ? EndOfFile() : EndLine();
        }
        while (m_pos < m_filled) {
            if (line.size() + 1 == m_capacity) {
                ++m_lineNo;
                char text[96];
                std::snprintf(text, sizeof text, "m_pBuffer overflow in line %u (line length over %d chars)",
                              m_lineNo, static_cast<int>(m_capacity));
                m_message = text;
                if (m_questioner) {
                    m_questioner->Ask(m_message, "Warning !", platform::Buttons::Ok,
                                      platform::Icon::Exclamation);
                }
                return m_lineNo;  // the byte at m_pos starts the next piece
            }
            const char c = m_buffer[m_pos];
            if (!IsBreak(c)) {
                line.push_back(c);
                ++m_pos;
                continue;
            }
            if (m_pos + 1 < m_filled && IsBreak(m_buffer[m_pos + 1])) {
                // Two break bytes make one break; an empty line made this way still counts.
                if (line.empty()) ++m_lineNo;
                ++m_pos;
            }
            if (!line.empty()) return EndLine();  // m_pos stays on the break
            ++m_pos;
        }
    }
}

std::string_view TrimText(std::string_view text) {
    constexpr std::string_view kWhite = " \t\r\n\v\f";
    auto first = text.find_first_not_of(kWhite);
    if (first == std::string_view::npos) return {};
    auto last = text.find_last_not_of(kWhite);
    return text.substr(first, last - first + 1);
}

bool ReadSignificantLines(const std::string& path, std::string* error, platform::Questioner* questioner,
                          const SignificantLineVisitor& visit) {
    LineReader reader(LineReader::kDefaultCapacity, questioner);
    if (!reader.Open(path, error)) return false;
    std::string line;
    unsigned n = 0;
    bool binary = false;
    while (reader.ReadLine(line) != 0) {
        // Lists are 8-bit text; NUL bytes mean UTF-16 or no text at all, whose names and CRCs
        // would only be misread.
        if (line.find('\0') != std::string::npos) {
            binary = true;
            break;
        }
        std::string_view trimmed = TrimText(line);
        if (trimmed.size() < 2) continue;
        visit(n++, trimmed, line);
    }
    const int readError = reader.ReadError();
    reader.Close();
    if (binary) {
        if (error) *error = "not 8-bit text (NUL bytes, UTF-16?)";
        return false;
    }
    if (readError != 0) {
        if (error) *error = platform::Status{readError}.message();
        return false;
    }
    return true;
}

}  // namespace kestrow
