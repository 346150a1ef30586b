// The backup data of one directory: the record text, its packed block, the escaped text that is
// stored in files, the records read back from it, and where it was found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "backup/backuprecord.h"
#include "platform/fs.h"

namespace kestrow {

// Where a block was found or stored; the values are the ones `prepareBackupTo` uses.
enum class BackupSource { None = -1, Sfv = 0, M3u = 1, BackupFile = 2 };

// Frame of the encoded text. The first four packed bytes ("AP32") are stored as "V100".
inline constexpr std::string_view kEncodedStart = "[V100";
inline constexpr std::string_view kEncodedEnd = "!eE~]";

// Largest record text that is packed or unpacked: the size of the largest text file read from a
// release, so a forged header cannot make a reader allocate more.
inline constexpr std::size_t kMaxPlainTextSize = platform::kMaxTextFileSize;

// Escapes a packed block into the stored form: "[" + block with the seven unsafe byte values
// replaced by their tokens + "!eE~]". The block's first four bytes are written as given.
std::string EscapeBackupBlock(const std::uint8_t* block, std::size_t length);

// Turns an encoded text back into the packed block ("AP32" put back in front). False, with the
// block empty, when the text does not start with "[V100", does not end with "!eE~]" or is too
// short to hold a whole safe header.
bool UnescapeBackupText(std::string_view encoded, std::vector<std::uint8_t>& block);

class BackupData {
public:
    // The record text. Changing it leaves the encoded text and the parsed records as they were
    // until Encode or Decode runs.
    const std::string& PlainText() const { return m_plainText; }
    void SetPlainText(std::string text) {
        m_plainText = std::move(text);
        m_holdsUnstorable = false;
    }
    void ClearPlainText() { SetPlainText({}); }
    void AppendRecord(const BackupRecord& record) {
        m_holdsUnstorable = m_holdsUnstorable || !IsStorableBackupRecord(record);
        AppendBackupRecordText(m_plainText, record);
    }
    // Whether a record appended since the text was last set has a name the format cannot hold;
    // such a text is never stored.
    bool HoldsUnstorableRecord() const { return m_holdsUnstorable; }

    const std::vector<std::uint8_t>& PackedBlock() const { return m_packedBlock; }
    const std::string& EncodedText() const { return m_encodedText; }
    void SetEncodedText(std::string text) { m_encodedText = std::move(text); }

    // Packs and escapes the record text into the encoded text. An empty record text gives an
    // empty encoded text (nothing to store) and true; false when packing fails, the encoded text
    // then being empty too.
    bool Encode();
    // Encoded text to record text and records. False for anything that is not a complete,
    // undamaged block whose records are all valid; the records are then empty.
    bool Decode();
    // Reads the records from the record text. False when a record lacks a field end or carries an
    // invalid name; nothing of the text is kept then.
    bool Parse();

    // Records read by Parse: file records in text order, the one directory record (names empty
    // when there is none), temp-file records in text order.
    const std::vector<BackupRecord>& FileRecords() const { return m_fileRecords; }
    const BackupRecord& DirectoryRecord() const { return m_directoryRecord; }
    bool HasDirectoryRecord() const { return m_hasDirectoryRecord; }
    const std::vector<BackupRecord>& TempFileRecords() const { return m_tempFileRecords; }
    // All records in the order a writer puts them: files, the directory, temp files.
    std::vector<BackupRecord> Records() const;
    void ClearRecords();

    // Where the block came from (set by the finder or by a store).
    BackupSource Source() const { return m_source; }
    int ListIndex() const { return m_listIndex; }
    // Index, in the source's line list, of the line that held the end marker.
    std::size_t LastLine() const { return m_lastLine; }
    bool Found() const { return m_found; }
    void SetFound(BackupSource source, int listIndex, std::size_t lastLine);
    void ClearSource();

    // Set while the directory is known to hold no usable backup data.
    bool NoBackupData() const { return m_noBackupData; }
    void SetNoBackupData(bool none) { m_noBackupData = none; }

private:
    std::string m_plainText;
    bool m_holdsUnstorable = false;
    std::vector<std::uint8_t> m_packedBlock;
    std::string m_encodedText;

    std::vector<BackupRecord> m_fileRecords;
    BackupRecord m_directoryRecord{BackupRecordKind::Directory, {}, {}, 0};
    bool m_hasDirectoryRecord = false;
    std::vector<BackupRecord> m_tempFileRecords;

    BackupSource m_source = BackupSource::None;
    int m_listIndex = -1;
    std::size_t m_lastLine = 0;
    bool m_found = false;
    bool m_noBackupData = true;
};

}  // namespace kestrow
