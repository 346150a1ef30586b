// Packing, escaping and parsing of a directory's backup data.
#include "backup/backupdata.h"

#include <climits>
#include <cstring>
#include <memory>

#include "backup/aplib.h"

namespace kestrow {

namespace {

struct Token {
    std::uint8_t byte;
    std::string_view text;
};

// Bytes that would not survive as characters of a text line; every other byte value stands for
// itself. The order is the one in which a reader tests the tokens.
constexpr Token kTokens[] = {
    {0, "!nL~"}, {13, "!cR~"}, {10, "!lF~"}, {27, "!eS~"}, {8, "!bS~"}, {9, "!lT~"}, {12, "!fF~"},
};

constexpr std::uint8_t kPackedTag[4] = {'A', 'P', '3', '2'};
constexpr char kStoredTag[4] = {'V', '1', '0', '0'};

std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

const Token* TokenForByte(std::uint8_t byte) {
    for (const Token& t : kTokens) {
        if (t.byte == byte) return &t;
    }
    return nullptr;
}

// The C library's atoi without its undefined overflow: blanks, a sign, then digits, clamped.
std::int32_t ReadDecimal(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    long long value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10 + (s[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<std::int32_t>(value);
}

// Reads the four fields after a record tag at `start`: three ended by ";", the last by ">".
// Returns the position just after the ">", or npos when a field end is missing.
std::size_t ReadFields(const std::string& text, std::size_t start, std::string& newName,
                       std::string& originalName) {
    std::string_view fields[4];
    std::size_t pos = start;
    for (int i = 0; i < 4; ++i) {
        std::size_t end = text.find(i < 3 ? ';' : '>', pos);
        if (end == std::string::npos) return std::string::npos;
        fields[i] = std::string_view(text).substr(pos, end - pos);
        pos = end + 1;
    }
    newName.assign(fields[1]);
    newName += fields[0];
    originalName.assign(fields[3]);
    originalName += fields[2];
    return pos;
}

bool ReadRecordList(const std::string& text, std::string_view tag, BackupRecordKind kind,
                    std::vector<BackupRecord>& out) {
    std::size_t p = text.find(tag);
    while (p != std::string::npos) {
        BackupRecord record{kind, {}, {}, 0};
        std::size_t next = ReadFields(text, p + tag.size(), record.newName, record.originalName);
        if (next == std::string::npos || !IsValidBackupRecord(record)) return false;
        out.push_back(std::move(record));
        p = text.find(tag, next);
    }
    return true;
}

}  // namespace

std::string EscapeBackupBlock(const std::uint8_t* block, std::size_t length) {
    std::string out;
    out.reserve(length + length / 8 + kEncodedStart.size() + kEncodedEnd.size());
    out += '[';
    for (std::size_t i = 0; i < length; ++i) {
        if (const Token* t = TokenForByte(block[i])) {
            out += t->text;
        } else {
            out += static_cast<char>(block[i]);
        }
    }
    out += kEncodedEnd;
    return out;
}

bool UnescapeBackupText(std::string_view encoded, std::vector<std::uint8_t>& block) {
    block.clear();
    if (encoded.size() < kEncodedStart.size() + kEncodedEnd.size() ||
        encoded.substr(0, kEncodedStart.size()) != kEncodedStart ||
        encoded.substr(encoded.size() - kEncodedEnd.size()) != kEncodedEnd) {
        return false;
    }
    std::string_view body =
        encoded.substr(kEncodedStart.size(), encoded.size() - kEncodedStart.size() - kEncodedEnd.size());
    block.reserve(body.size() + sizeof kPackedTag);
    block.assign(std::begin(kPackedTag), std::end(kPackedTag));
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '!' && i + 4 <= body.size()) {
            const Token* match = nullptr;
            for (const Token& t : kTokens) {
                if (body.compare(i, 4, t.text) == 0) {
                    match = &t;
                    break;
                }
            }
            if (match != nullptr) {
                block.push_back(match->byte);
                i += 3;
                continue;
            }
        }
        block.push_back(static_cast<std::uint8_t>(body[i]));
    }
    if (block.size() < aplib::kSafeHeaderSize) {
        block.clear();
        return false;
    }
    return true;
}

bool BackupData::Encode() {
    m_encodedText.clear();
    m_packedBlock.clear();
    if (m_plainText.empty()) return true;
    if (m_plainText.size() > kMaxPlainTextSize) return false;
    std::vector<std::uint8_t> block(aplib::maxPackedSize(m_plainText.size()) + aplib::kSafeHeaderSize);
    auto work = std::make_unique<std::uint8_t[]>(aplib::workMemorySize());
    std::size_t length = aplib::packSafe(m_plainText.data(), m_plainText.size(), block.data(), work.get());
    if (length == 0) return false;
    block.resize(length);
    m_packedBlock = block;
    std::memcpy(block.data(), kStoredTag, sizeof kStoredTag);
    m_encodedText = EscapeBackupBlock(block.data(), block.size());
    return true;
}

bool BackupData::Decode() {
    ClearRecords();
    m_plainText.clear();
    m_packedBlock.clear();
    std::vector<std::uint8_t> block;
    if (!UnescapeBackupText(m_encodedText, block)) return false;
    // The header is checked against the block and the size cap before anything is allocated; a
    // block with bytes beyond its stream is not one that a writer produced.
    std::uint32_t headerSize = ReadLe32(block.data() + 4);
    std::uint32_t packedSize = ReadLe32(block.data() + 8);
    if (headerSize < aplib::kSafeHeaderSize || headerSize > block.size() ||
        packedSize != block.size() - headerSize) {
        return false;
    }
    std::size_t size = aplib::originalSizeSafe(block.data(), block.size());
    if (size < 1 || size > kMaxPlainTextSize) return false;
    std::string plain(size, '\0');
    if (aplib::unpackSafe(block.data(), block.size(), plain.data(), plain.size()) != size) return false;
    m_packedBlock = std::move(block);
    m_plainText = std::move(plain);
    if (Parse()) return true;
    m_plainText.clear();
    m_packedBlock.clear();
    return false;
}

bool BackupData::Parse() {
    ClearRecords();
    bool ok = ReadRecordList(m_plainText, "<F:", BackupRecordKind::File, m_fileRecords);
    if (ok) {
        std::size_t p = m_plainText.find("<D:");
        if (p != std::string::npos) {
            std::size_t next =
                ReadFields(m_plainText, p + 3, m_directoryRecord.newName, m_directoryRecord.originalName);
            ok = next != std::string::npos && IsValidBackupRecord(m_directoryRecord);
            if (ok) {
                m_hasDirectoryRecord = true;
                std::size_t op = m_plainText.find("<OP:", next);
                if (op != std::string::npos) {
                    std::size_t end = m_plainText.find('>', op + 4);
                    std::size_t len = end == std::string::npos ? std::string::npos : end - op - 4;
                    m_directoryRecord.operationNumber =
                        ReadDecimal(std::string_view(m_plainText).substr(op + 4, len));
                }
            }
        }
    }
    if (ok) ok = ReadRecordList(m_plainText, "<T:", BackupRecordKind::TempFile, m_tempFileRecords);
    if (!ok) ClearRecords();
    return ok;
}

std::vector<BackupRecord> BackupData::Records() const {
    std::vector<BackupRecord> all(m_fileRecords);
    if (m_hasDirectoryRecord) all.push_back(m_directoryRecord);
    all.insert(all.end(), m_tempFileRecords.begin(), m_tempFileRecords.end());
    return all;
}

void BackupData::ClearRecords() {
    m_fileRecords.clear();
    m_tempFileRecords.clear();
    m_directoryRecord = BackupRecord{BackupRecordKind::Directory, {}, {}, 0};
    m_hasDirectoryRecord = false;
}

void BackupData::SetFound(BackupSource source, int listIndex, std::size_t lastLine) {
    m_source = source;
    m_listIndex = listIndex;
    m_lastLine = lastLine;
    m_found = source != BackupSource::None;
}

void BackupData::ClearSource() {
    m_source = BackupSource::None;
    m_listIndex = -1;
    m_lastLine = 0;
    m_found = false;
}

}  // namespace kestrow
