// Storing the backup block in a list or in "_kestrow.backup", with the fallbacks and reports of
// the prepare and restore applies, and the writer that puts a list back on disk.
#include "backup/backupstore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "backup/backupfinder.h"
#include "content/linereader.h"
#include "content/listentry.h"
#include "content/reporter.h"

namespace kestrow {

namespace {

// A line of the reader's buffer size less one sets off its overflow warning, and a longer one
// comes back in pieces; neither is written back.
constexpr std::size_t kLongestWholeLine = LineReader::kDefaultCapacity - 2;

// A line the reader would hand over in two pieces, which the writer would then write as two.
bool HasOverlongLine(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    std::size_t run = 0;
    for (char c : bytes) {
        if (c == '\r' || c == '\n') {
            run = 0;
        } else if (++run > kLongestWholeLine) {
            return true;
        }
    }
    return false;
}

// A file or folder without any write permission counts as read-only, whoever runs the program:
// an atomic write would otherwise replace a file that its owner marked as not to be changed.
bool HasNoWriteBits(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Checks shared by every list written back: the file may be replaced, and nothing of it is lost.
platform::Status CheckListWritable(const std::string& path, bool loaded, bool keepsContent) {
    platform::PathKind kind = platform::Stat(path);
    if (kind == platform::PathKind::Directory || kind == platform::PathKind::Other) return {EISDIR};
    std::string folder = FolderOf(path);
    if (HasNoWriteBits(folder)) return {EACCES};
    if (kind == platform::PathKind::Missing) return {};
    if (HasNoWriteBits(path) || ::access(path.c_str(), W_OK) != 0) return {EACCES};
    if (!keepsContent) return {};
    // Writing a list that was never read would replace its lines by nothing.
    if (!loaded) return {EIO};
    std::string bytes;
    platform::Status read = platform::ReadWholeFile(path, bytes);
    if (!read) return read;
    if (HasOverlongLine(bytes)) return {EMSGSIZE};
    return {};
}

template <typename List>
void DropAddedLines(List& list) {
    auto& comments = list.MutableComments();
    comments.erase(
        std::remove_if(comments.begin(), comments.end(), [](const std::string& s) { return IsAddedLine(s); }),
        comments.end());
}

void DropAddedLines(ListedDir& dir) {
    for (auto& list : dir.sfvLists) DropAddedLines(list);
    for (auto& list : dir.m3uLists) DropAddedLines(list);
}

platform::Status WriteList(const SfvList& list) {
    return WriteSfvList(list);
}
platform::Status WriteList(const M3uList& list) {
    return WriteM3uList(list);
}

int FailureReportFor(BackupSource kind) {
    switch (kind) {
        case BackupSource::Sfv:
            return ChangeCode::NoSfvWritten;
        case BackupSource::M3u:
            return ChangeCode::NoM3uWritten;
        default:
            return ChangeCode::NoBackupFileWritten;
    }
}

std::vector<BackupSource> PreferenceOrder(int prepareBackupTo) {
    switch (prepareBackupTo) {
        case 0:
            return {BackupSource::Sfv, BackupSource::M3u};
        case 1:
            return {BackupSource::M3u, BackupSource::Sfv};
        default:
            return {BackupSource::BackupFile, BackupSource::Sfv, BackupSource::M3u};
    }
}

// Cuts a record text into its records, one after the other, and checks that each record is one
// that the writer produces for storable names: nothing between records, nothing the reader would
// split differently, at most one directory record.
bool SplitIntoRecords(const std::string& text, std::vector<BackupRecord>& records) {
    int directories = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        std::string_view tag = std::string_view(text).substr(pos, 3);
        if (tag != "<F:" && tag != "<T:" && tag != "<D:") return false;
        std::size_t end = pos;
        for (int i = 0; i < 3 && end != std::string::npos; ++i) end = text.find(';', end + 1);
        if (end != std::string::npos) end = text.find('>', end + 1);
        if (end != std::string::npos && tag == "<D:") {
            if (text.compare(end + 1, 4, "<OP:") != 0) return false;
            end = text.find('>', end + 5);
            ++directories;
        }
        if (end == std::string::npos || directories > 1) return false;
        std::string one = text.substr(pos, end + 1 - pos);
        BackupData single;
        single.SetPlainText(one);
        if (!single.Parse()) return false;
        std::vector<BackupRecord> parsed = single.Records();
        if (parsed.size() != 1 || !IsStorableBackupRecord(parsed[0]) || BackupRecordText(parsed[0]) != one) {
            return false;
        }
        records.push_back(std::move(parsed[0]));
        pos = end + 1;
    }
    return true;
}

}  // namespace

std::vector<std::string> BackupBlockLines(std::string_view encoded) {
    std::vector<std::string> lines;
    if (encoded.empty()) return lines;
    lines.assign(std::begin(kBackupHeaderLines), std::end(kBackupHeaderLines));
    for (std::size_t pos = 0; pos < encoded.size(); pos += kBackupLineLength) {
        lines.emplace_back(encoded.substr(pos, kBackupLineLength));
    }
    lines.emplace_back();
    return lines;
}

bool BlockReadsBack(std::string_view encoded, char prefix) {
    // What the list parser keeps of each written line: lines of fewer than two characters once
    // trimmed are dropped, a comment keeps everything after its prefix.
    std::vector<std::string> read;
    for (const auto& line : BackupBlockLines(encoded)) {
        std::string raw = prefix + line;
        if (TrimText(raw).size() < 2) continue;
        read.push_back(line);
    }
    for (std::size_t i = 0; i < read.size(); ++i) {
        if (read[i].find(kEncodedStart) == std::string::npos) continue;
        std::string joined;
        std::size_t last = 0;
        return JoinBackupLines(read, i, joined, last) && joined == encoded;
    }
    return false;
}

bool EncodeVerified(BackupData& data) {
    if (data.PlainText().empty()) return data.Encode();
    if (data.HoldsUnstorableRecord()) return false;
    std::vector<BackupRecord> records;
    if (!SplitIntoRecords(data.PlainText(), records)) return false;
    // The reader collects file records, then the directory record, then temp-file records.
    std::stable_partition(records.begin(), records.end(),
                          [](const BackupRecord& r) { return r.kind == BackupRecordKind::File; });
    std::stable_partition(records.begin(), records.end(),
                          [](const BackupRecord& r) { return r.kind != BackupRecordKind::TempFile; });
    BackupData written;
    written.SetPlainText(data.PlainText());
    if (!written.Parse() || written.Records() != records) return false;
    if (!data.Encode()) return false;
    BackupData back;
    back.SetEncodedText(data.EncodedText());
    if (!back.Decode() || back.PlainText() != data.PlainText() || back.Records() != records) return false;
    return BlockReadsBack(data.EncodedText(), ';') && BlockReadsBack(data.EncodedText(), '#');
}

platform::Status WriteSfvList(const SfvList& list) {
    std::string path = list.FullPath();
    if (platform::Status s = CheckListWritable(path, list.Loaded(), true); !s) return s;
    return platform::WriteFileAtomic(path, list.Text());
}

platform::Status WriteM3uList(const M3uList& list) {
    std::string path = list.FullPath();
    if (platform::Status s = CheckListWritable(path, list.Loaded(), true); !s) return s;
    return platform::WriteFileAtomic(path, list.Text());
}

namespace {

template <typename List>
List WithBlock(const List& list, std::string_view encoded) {
    List copy = list;
    DropAddedLines(copy);
    std::vector<std::string> added;
    for (const auto& line : BackupBlockLines(encoded)) added.push_back(std::string(kAddedLinePrefix) + line);
    auto& comments = copy.MutableComments();
    comments.insert(comments.begin(), added.begin(), added.end());
    return copy;
}

}  // namespace

platform::Status WriteSfvListWithBlock(const SfvList& list, std::string_view encoded) {
    return WriteSfvList(WithBlock(list, encoded));
}

platform::Status WriteM3uListWithBlock(const M3uList& list, std::string_view encoded) {
    return WriteM3uList(WithBlock(list, encoded));
}

platform::Status CanWriteList(const ListFile& list) {
    return CheckListWritable(list.FullPath(), list.Loaded(), true);
}

platform::Status WriteBackupFile(const BackupFile& file) {
    // The file holds nothing but the block, so its old contents need not be kept.
    std::string path = file.FullPath();
    if (platform::Status s = CheckListWritable(path, true, false); !s) return s;
    return platform::WriteFileAtomic(path, file.Text());
}

std::string BackupStore::store(BackupSource kind, int listIndex) {
    if (m_data.EncodedText().empty()) return {};
    // One block per directory: lines added by an earlier store are not kept beside the new ones.
    DropAddedLines(m_dir);
    switch (kind) {
        case BackupSource::Sfv:
        case BackupSource::M3u:
            return storeInList(kind, listIndex);
        case BackupSource::BackupFile:
            return storeInBackupFile();
        case BackupSource::None:
            break;
    }
    return {};
}

std::string BackupStore::storeInList(BackupSource kind, int listIndex) {
    std::vector<std::string> added;
    for (const auto& line : BackupBlockLines(m_data.EncodedText()))
        added.push_back(std::string(kAddedLinePrefix) + line);
    auto attempt = [&](auto& lists) -> std::string {
        std::size_t first = listIndex < 0 ? 0 : static_cast<std::size_t>(listIndex);
        std::size_t end = listIndex < 0 ? lists.size() : std::min(lists.size(), first + 1);
        for (std::size_t i = first; i < end; ++i) {
            auto& comments = lists[i].MutableComments();
            comments.insert(comments.begin(), added.begin(), added.end());
            if (WriteList(lists[i])) {
                m_data.SetFound(kind, static_cast<int>(i), 0);
                return lists[i].FileName();
            }
            // The list keeps nothing of a block its file did not take.
            comments.erase(comments.begin(), comments.begin() + static_cast<std::ptrdiff_t>(added.size()));
        }
        return {};
    };
    return kind == BackupSource::Sfv ? attempt(m_dir.sfvLists) : attempt(m_dir.m3uLists);
}

std::string BackupStore::storeInBackupFile() {
    PathName path = m_dir.backupFile ? m_dir.backupFile->File()
                                     : PathName(m_dir.DirPath() + std::string(kBackupFileName), false);
    BackupFile file(path);
    file.MutableComments() = BackupBlockLines(m_data.EncodedText());
    if (!WriteBackupFile(file)) return {};
    std::string name = path.FileName();
    m_dir.backupFile = std::move(file);
    if (m_dir.GetFile(name) == nullptr) m_dir.AddFile(name, m_dir.backupFile->Text().size());
    m_data.SetFound(BackupSource::BackupFile, 0, 0);
    return name;
}

int BackupStore::storeInOrder(const std::vector<BackupSource>& order, int firstIndex, Reporter& reporter) {
    m_storedIn.clear();
    for (std::size_t i = 0; i < order.size() && m_storedIn.empty(); ++i) {
        m_storedIn = store(order[i], i == 0 ? firstIndex : -1);
        if (m_storedIn.empty() && i == 0) reporter.Report(FailureReportFor(order[0]));
    }
    if (m_storedIn.empty()) {
        reporter.Report(ChangeCode::NothingWritten);
        return -2;
    }
    reporter.Report(ChangeCode::StoredIn, m_storedIn);
    return 1;
}

int BackupStore::chooseAndStore(int prepareBackupTo, Reporter& changeReporter) {
    m_storedIn.clear();
    if (!EncodeVerified(m_data)) return -1;
    if (m_data.EncodedText().empty()) return 0;
    // A "_kestrow.backup" found without a readable block may still be all that is left of an
    // earlier prepare's names: it is never overwritten, nor joined by a block elsewhere. (A block
    // this pass stored itself may be stored again.)
    const FileEntry* held = m_dir.GetFile(kBackupFileName);
    auto holdsBlock = [](const std::vector<std::string>& lines) {
        return std::any_of(lines.begin(), lines.end(),
                           [](const std::string& l) { return l.find(kEncodedStart) != std::string::npos; });
    };
    const bool blockless = m_dir.backupFile ? !holdsBlock(m_dir.backupFile->Comments()) : held != nullptr;
    if (held && blockless) {
        changeReporter.Report(ChangeCode::BackupFileUnreadable, held->path.FileName());
        return -2;
    }
    return storeInOrder(PreferenceOrder(prepareBackupTo), -1, changeReporter);
}

int BackupStore::restoreStore(int prepareBackupTo, Reporter& changeReporter) {
    m_storedIn.clear();
    if (!EncodeVerified(m_data)) return -1;
    BackupSource source = m_data.Source();
    if (m_data.EncodedText().empty()) {
        DropAddedLines(m_dir);
        switch (source) {
            case BackupSource::BackupFile:
                return 2;
            case BackupSource::Sfv:
            case BackupSource::M3u:
                return 3;
            case BackupSource::None:
                return 0;
        }
        return 0;
    }
    if (source == BackupSource::None)
        return storeInOrder(PreferenceOrder(prepareBackupTo), -1, changeReporter);
    // The same place first, then any list of that kind (for the backup file: the file again).
    return storeInOrder({source, source}, m_data.ListIndex(), changeReporter);
}

void BackupStore::loadBackupFile(ListedDir& dir, platform::Questioner* questioner) {
    const FileEntry* entry = dir.GetFile(kBackupFileName);
    if (entry == nullptr) {
        dir.backupFile.reset();
        return;
    }
    dir.backupFile.emplace(PathName(dir.DirPath() + entry->path.FileName(), false));
    dir.backupFile->Load(nullptr, questioner);
}

void BackupStore::rebase(ListedDir& dir, std::string_view newDirPath) {
    std::string base(newDirPath);
    if (base.empty() || base.back() != '/') base += '/';
    auto repoint = [&base](auto& list) {
        PathName file = list.File();
        file.SetDir(base);
        list.SetFile(file);
    };
    for (auto& list : dir.sfvLists) repoint(list);
    for (auto& list : dir.m3uLists) repoint(list);
    if (dir.backupFile) repoint(*dir.backupFile);
}

}  // namespace kestrow
