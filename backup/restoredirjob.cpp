// The restore analysis and the restore apply of one directory.
#include "backup/restoredirjob.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <optional>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

#include "backup/backupfinder.h"
#include "backup/backupstore.h"
#include "backup/unbackedmatch.h"
#include "content/existingtagline.h"
#include "content/integrity.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace kestrow {

namespace {

using A = RestoreAnalysisCode;
using C = RestoreChangeCode;
using Op = RestoreOperation;
using Crc = std::optional<std::string>;

// Lists, descriptions and pictures are checked without a log line of their own.
bool IsQuietKind(std::string_view name) {
    for (std::string_view ext : {".m3u", ".sfv", ".nfo", ".jpg", ".gif"}) {
        if (platform::IEndsWith(name, ext)) return true;
    }
    return false;
}

// An absent CRC equals nothing, not even another absent one.
bool Same(const Crc& a, const Crc& b) {
    return a && b && CrcTextsEqual(*a, *b);
}

std::string ParentPath(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

struct OnDisk {
    bool present = false;
    std::string name;  // the name as the directory holds it
    platform::FileId id;
    bool haveId = false;
};

// Asks Retry/Cancel until the operation succeeds or is given up; true on success.
template <typename Operation>
bool WithRetry(Reporter& reporter, int code, const std::string& n, const std::string& m,
               Operation operation) {
    for (;;) {
        if (operation()) return true;
        if (reporter.Report(code, n, m) != 0) return false;
    }
}

class Analysis {
public:
    Analysis(RestoreDirJob& dir, const std::vector<BackupRecord>& records, Reporter& reporter);

    void Run(unsigned flags);
    // Without backup data: the files no list knows matched with the entries that have no file.
    // False when two or more files could not be told apart (nothing is planned then).
    bool RunWithoutBackup();

private:
    OnDisk Find(const std::string& name) const;
    Crc DiskCrc(const OnDisk& file);
    void ComputeCrc(const OnDisk& file);
    // Whether an entry stands for the name: written exactly as it, or differing in letter case
    // only while no file and no record bears the entry's own spelling (then it is that one's).
    bool Names(const ListEntry& entry, const std::string& name) const;
    Crc SfvCrc(const std::string& name) const;

    bool ListNames(const ListFile& list, const std::string& name) const;
    void RemoveNamedIn(ListFile& list, const std::string& name);
    template <typename List>
    void PointAt(List& list, const std::string& from, const std::string& to);
    void RemoveSfv(const std::string& name);
    // The renamed file's entries are pointed at the original name: in every SFV list (when
    // sfvEntries), and in each playlist that names the file, which drops the original's own
    // entries first.
    void RenameEntries(const std::string& from, const std::string& to, bool sfvEntries);
    // The renamed file takes the original's place: each list that names it drops the
    // original's entries and points the renamed file's at the original name.
    void ReplaceEntries(const std::string& from, const std::string& to);
    // The renamed file goes and the original stands for it: a list that names the original
    // already drops the renamed file's entries, any other list points them at the original, so
    // that no list loses the file.
    void HandOver(const std::string& from, const std::string& to, bool sfv, bool m3u);
    void Rename(const OnDisk& t, const std::string& o, std::size_t record, bool sfvEntries = true);

    void FileRecord(std::size_t index);
    void TempFileRecord(std::size_t index);
    void DirectoryRecord(std::size_t index, unsigned flags);
    void Listing();

    RestoreDirJob& m_dir;
    const std::vector<BackupRecord>& m_records;
    Reporter& m_reporter;
    RestorePlan& m_plan;
    std::map<std::string, Crc> m_crcs;
    // Every spelling a file on disk or a record bears: an entry written so is never taken for
    // a case twin of it.
    std::unordered_set<std::string> m_claimed;
    // The names the records bear: a file spelt so is that record's, never another's case twin.
    std::unordered_set<std::string> m_recordNames;
};

Analysis::Analysis(RestoreDirJob& dir, const std::vector<BackupRecord>& records, Reporter& reporter)
    : m_dir(dir), m_records(records), m_reporter(reporter), m_plan(dir.plan) {
    for (FileClass c : kAllFilesOrder) {
        for (const FileEntry& entry : dir.List(c)) m_claimed.insert(entry.path.FileName());
    }
    for (const BackupRecord& r : records) {
        if (r.kind == BackupRecordKind::Directory) continue;
        m_recordNames.insert(r.newName);
        m_recordNames.insert(r.originalName);
    }
    m_claimed.insert(m_recordNames.begin(), m_recordNames.end());
}

bool Analysis::Names(const ListEntry& entry, const std::string& name) const {
    const std::string& text = entry.Text();
    return text == name || (platform::IEquals(text, name) && m_claimed.count(text) == 0);
}

OnDisk Analysis::Find(const std::string& name) const {
    OnDisk file;
    const FileEntry* entry = m_dir.GetFile(name);
    if (entry == nullptr) return file;
    // Found without regard to case, under a name a record bears: that is the record's file (a
    // case twin already given its name back, or the renamed file itself), not this name's.
    if (entry->path.FileName() != name && m_recordNames.count(entry->path.FileName())) return file;
    file.present = true;
    file.name = entry->path.FileName();
    file.haveId = static_cast<bool>(platform::GetFileId(m_dir.DirPath() + file.name, file.id));
    return file;
}

void Analysis::ComputeCrc(const OnDisk& file) {
    if (!file.present || m_crcs.count(file.name)) return;
    const bool quiet = IsQuietKind(file.name);
    if (!quiet) Report(m_reporter, A::CalculatingCrc, file.name);
    std::uint32_t crc = 0;
    // A file that cannot be read has no CRC: it matches nothing.
    const bool read = static_cast<bool>(FileCrc32(m_dir.DirPath() + file.name, crc));
    m_crcs[file.name] = read ? Crc(CrcText(crc)) : std::nullopt;
    // A rename keeps a file's identity and bytes: the post-analysis takes the CRC from here.
    if (read && file.haveId) m_dir.knownCrcs[{file.id.device, file.id.inode}] = crc;
    if (!quiet) Report(m_reporter, A::CrcCalculated, file.name);
}

Crc Analysis::DiskCrc(const OnDisk& file) {
    if (!file.present) return std::nullopt;
    auto it = m_crcs.find(file.name);
    return it == m_crcs.end() ? std::nullopt : it->second;
}

Crc Analysis::SfvCrc(const std::string& name) const {
    for (const SfvList& list : m_dir.sfvLists) {
        const int index = list.FindEntry(name);
        if (index < 0) continue;
        const ListEntry& found = list.Entries()[static_cast<std::size_t>(index)];
        if (Names(found, name)) return found.Crc();
        // The case-blind hit belongs to another name; an entry of this one may still follow.
        for (const ListEntry& e : list.Entries()) {
            if (Names(e, name)) return e.Crc();
        }
    }
    return std::nullopt;
}

bool Analysis::ListNames(const ListFile& list, const std::string& name) const {
    const int at = list.FindEntry(name);
    if (at < 0) return false;
    if (Names(list.Entries()[static_cast<std::size_t>(at)], name)) return true;
    // The case-blind hit belongs to another name; an entry of this one may still follow.
    return std::any_of(list.Entries().begin(), list.Entries().end(),
                       [&](const ListEntry& e) { return Names(e, name); });
}

void Analysis::RemoveNamedIn(ListFile& list, const std::string& name) {
    for (std::size_t i = list.EntryCount(); i-- > 0;) {
        if (Names(list.Entries()[i], name) && list.RemoveEntry(i)) m_plan.listsEdited = true;
    }
}

template <typename List>
void Analysis::PointAt(List& list, const std::string& from, const std::string& to) {
    for (std::size_t i = 0; i < list.EntryCount(); ++i) {
        if (!Names(list.Entries()[i], from) || list.Entries()[i].Text() == to) continue;
        if constexpr (std::is_same_v<List, SfvList>) {
            list.SetEntry(std::string_view(to), std::nullopt, i);  // the CRC stays
        } else {
            list.ReplaceEntry(to, i);
        }
        m_plan.listsEdited = true;
    }
}

void Analysis::RemoveSfv(const std::string& name) {
    for (SfvList& list : m_dir.sfvLists) RemoveNamedIn(list, name);
}

void Analysis::RenameEntries(const std::string& from, const std::string& to, bool sfvEntries) {
    if (sfvEntries) {
        for (SfvList& list : m_dir.sfvLists) PointAt(list, from, to);
    }
    // Each playlist on its own: one that names only the original (a list written by a restore
    // that was stopped half-way) keeps that entry.
    for (M3uList& list : m_dir.m3uLists) {
        if (!ListNames(list, from)) continue;
        if (!platform::IEquals(from, to)) RemoveNamedIn(list, to);
        PointAt(list, from, to);
    }
}

void Analysis::ReplaceEntries(const std::string& from, const std::string& to) {
    for (SfvList& list : m_dir.sfvLists) {
        if (!ListNames(list, from)) continue;
        if (!platform::IEquals(from, to)) RemoveNamedIn(list, to);
        PointAt(list, from, to);
    }
    RenameEntries(from, to, false);
}

void Analysis::HandOver(const std::string& from, const std::string& to, bool sfv, bool m3u) {
    auto handOver = [&](auto& lists) {
        for (auto& list : lists) {
            if (ListNames(list, to)) {
                RemoveNamedIn(list, from);
            } else {
                PointAt(list, from, to);
            }
        }
    };
    if (sfv) handOver(m_dir.sfvLists);
    if (m3u) handOver(m_dir.m3uLists);
}

void Analysis::Rename(const OnDisk& t, const std::string& o, std::size_t record, bool sfvEntries) {
    m_plan.operations.push_back({Op::Kind::Rename, t.name, o, record});
    RenameEntries(t.name, o, sfvEntries);
}

void Analysis::FileRecord(std::size_t index) {
    const BackupRecord& record = m_records[index];
    const std::string& tName = record.newName;
    const std::string& oName = record.originalName;
    const OnDisk t = Find(tName);
    OnDisk o = Find(oName);
    // One file found under both names (a look-up that ignores case) is the renamed file alone.
    const bool oneFile =
        t.present && o.present && (t.name == o.name || (t.haveId && o.haveId && t.id == o.id));
    if (oneFile) o = OnDisk{};
    const Crc tDisk = DiskCrc(t), oDisk = DiskCrc(o);
    const Crc tSfv = SfvCrc(tName), oSfv = SfvCrc(oName);
    auto keep = [&] { m_plan.kept.push_back(index); };

    if (t.present && !o.present) {
        if (!tSfv) {
            if (!IsQuietKind(tName)) Report(m_reporter, A::NoCrcForTruncated, tName);
            bool removeOriginal = false;
            if (oSfv && !Same(oSfv, tDisk)) {
                removeOriginal = Report(m_reporter, A::OriginalListedOtherCrc, tName, oName) == 0;
            }
            if (removeOriginal) RemoveSfv(oName);
            Rename(t, oName, index);
            return;
        }
        if (Same(tDisk, tSfv)) {
            ++m_plan.crcMatched;
            Report(m_reporter, A::CrcOkFor, {}, tName);
            if (!oSfv) {
                Rename(t, oName, index);
            } else if (Same(oSfv, tDisk)) {
                Report(m_reporter, A::RemovedFromSfv, tName, oName);
                HandOver(tName, oName, true, false);
                Rename(t, oName, index, false);
            } else {
                if (Report(m_reporter, A::OriginalListedOtherCrc, tName, oName) == 0) RemoveSfv(oName);
                Rename(t, oName, index);
            }
            return;
        }
        ++m_plan.crcMismatched;
        if (oSfv) return;  // the original is listed with a CRC of its own: the record is dropped
        if (Report(m_reporter, A::CorruptRestoreAnyway, tName, oName) == 0) {
            Rename(t, oName, index);
        } else {
            keep();
        }
        return;
    }

    if (t.present && o.present) {
        if (!tSfv) return;  // nothing tells the two apart: the record is dropped
        // The original's CRC is judged by its own entry, else by the entry the renamed file has.
        const Crc oExpected = oSfv ? oSfv : tSfv;
        const bool tGood = Same(tDisk, tSfv);
        const bool oGood = Same(oDisk, oExpected);
        if (Same(tDisk, oDisk)) {
            if (Report(m_reporter, A::IdenticalBoth, tName, oName) == 0) {
                m_plan.operations.push_back({Op::Kind::Delete, t.name, {}, index});
                HandOver(tName, oName, true, true);
            } else {
                keep();
            }
        } else if (tGood && !oGood) {
            if (Report(m_reporter, A::ReplaceBadOriginal, tName, oName) == 0) {
                m_plan.operations.push_back({Op::Kind::Replace, t.name, oName, index});
                // The renamed file's entry now stands for the original.
                ReplaceEntries(t.name, oName);
            } else {
                keep();
            }
        } else if (!tGood && oGood) {
            Report(m_reporter, A::CorruptTruncatedRemoved, tName, oName);
            m_plan.operations.push_back({Op::Kind::Delete, t.name, {}, index});
            HandOver(tName, oName, true, true);
        } else {
            Report(m_reporter, A::BothPresentKept, tName, oName);
            keep();
        }
        return;
    }

    if (!o.present) return;  // neither is on disk: the record is dropped
    Report(m_reporter, A::TruncatedMissing, tName);
    if (!oSfv) return;
    if (Same(oDisk, oSfv)) {
        if (tSfv && Same(tSfv, oDisk)) {
            Report(m_reporter, A::TruncatedMissingListed, tName);
            HandOver(tName, oName, true, true);
            return;
        }
        if (tSfv) {
            // Its CRC is not the original's: the user's Yes drops the entries.
            if (Report(m_reporter, A::TruncatedMissingOtherCrc, tName) != 0) return;
            RemoveSfv(tName);
        }
        Report(m_reporter, A::TruncatedGoneOriginalOk, tName);
        HandOver(tName, oName, false, true);
        return;
    }
    Report(m_reporter, A::TruncatedGoneOriginalBad, tName);
    HandOver(tName, oName, false, true);
}

void Analysis::TempFileRecord(std::size_t index) {
    const BackupRecord& record = m_records[index];
    const OnDisk t = Find(record.newName);
    OnDisk o = Find(record.originalName);
    if (t.present && o.present && (t.name == o.name || (t.haveId && o.haveId && t.id == o.id))) o = OnDisk{};
    // The prepare pointed the lists at the new name: they follow the file back, as for a file
    // record.
    if (t.present && o.present) {
        if (Report(m_reporter, A::TempOverwrite, record.newName, record.originalName) == 0) {
            m_plan.operations.push_back({Op::Kind::Replace, t.name, record.originalName, index});
            // The replaced original's CRC is gone with it; the renamed file's entry stands for it.
            ReplaceEntries(t.name, record.originalName);
        } else {
            m_plan.kept.push_back(index);
        }
    } else if (t.present) {
        m_plan.operations.push_back({Op::Kind::Rename, t.name, record.originalName, index});
        RenameEntries(t.name, record.originalName, true);
    } else if (o.present) {
        Report(m_reporter, A::TempMissing, record.newName);
    }
    // Neither on disk: nothing is left to rename, and the record goes.
}

void Analysis::DirectoryRecord(std::size_t index, unsigned flags) {
    const BackupRecord& record = m_records[index];
    if (!(flags & RestoreFlag::RestoreTruncated) || record.newName.empty()) {
        if (!record.newName.empty() || !record.originalName.empty()) m_plan.kept.push_back(index);
        return;
    }
    // Already under its original name (a restore run again): nothing to rename.
    if (m_dir.Path().LastComponent() == record.originalName) return;
    m_plan.dirTarget = record.originalName;
    m_plan.dirRecord = index;
}

void Analysis::Listing() {
    const std::string name = m_dir.Path().LastComponent();
    Report(m_reporter, A::ListingHeader, name);
    if (!m_plan.dirTarget.empty()) Report(m_reporter, A::DirRename, name, m_plan.dirTarget);
    for (const Op& op : m_plan.operations) {
        if (op.kind != Op::Kind::Delete) Report(m_reporter, A::FileRename, op.from, op.to);
    }
}

void Analysis::Run(unsigned flags) {
    // Every CRC first: the renamed names, then the original ones.
    for (const BackupRecord& r : m_records) {
        if (r.kind == BackupRecordKind::File) ComputeCrc(Find(r.newName));
    }
    for (const BackupRecord& r : m_records) {
        if (r.kind == BackupRecordKind::File) ComputeCrc(Find(r.originalName));
    }
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        if (m_records[i].kind == BackupRecordKind::File) FileRecord(i);
    }
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        if (m_records[i].kind == BackupRecordKind::TempFile) TempFileRecord(i);
    }
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        if (m_records[i].kind == BackupRecordKind::Directory) DirectoryRecord(i, flags);
    }
    std::sort(m_plan.kept.begin(), m_plan.kept.end());
    Listing();
}

bool Analysis::RunWithoutBackup() {
    const std::string dirPath = m_dir.DirPath();
    std::vector<platform::DirEntry> listing;
    if (!platform::ListDirectory(dirPath, listing)) return true;
    // Every name on disk, of any kind: a name taken by a link, a FIFO or a folder is taken too.
    std::unordered_multimap<std::string, std::string> onDisk;
    std::unordered_set<std::string> notPlain;
    for (const platform::DirEntry& e : listing) {
        onDisk.emplace(platform::FoldCase(e.name), e.name);
        if (e.symlink || e.kind != platform::EntryKind::File) notPlain.insert(e.name);
    }
    // Case twins: a list that names both spellings means two files, and neither spelling is
    // taken for the other.
    auto spelt = [](const ListFile& list, const std::string& text) {
        const int at = list.FindEntry(text);
        return at >= 0 && list.Entries()[static_cast<std::size_t>(at)].Text() == text;
    };

    auto named = [this](const auto& lists, const std::string& name) {
        return std::any_of(lists.begin(), lists.end(), [&](const auto& l) { return ListNames(l, name); });
    };
    const bool bothKinds = !m_dir.sfvLists.empty() && !m_dir.m3uLists.empty();
    std::vector<UnbackedFile> files;
    for (FileClass c : kAllFilesOrder) {
        for (const FileEntry& entry : m_dir.List(c)) {
            const std::string name = entry.path.FileName();
            // Lists, descriptions, pictures and the program's own files keep their names; a link
            // is not a file of the release.
            if (IsQuietKind(name) || name == kBackupFileName || notPlain.count(name) ||
                IsOldTagline(m_dir, entry) || IsSubdirMarker(m_dir, entry)) {
                continue;
            }
            const bool inSfv = named(m_dir.sfvLists, name), inM3u = named(m_dir.m3uLists, name);
            if ((inSfv && inM3u) || (!bothKinds && (inSfv || inM3u))) continue;
            // A file that one kind of list names (a cue sheet the SFV list holds and no playlist)
            // takes only a name that the other kind lists without a file.
            files.push_back(
                {name, (inSfv ? UnbackedList::Sfv : 0u) | (inM3u ? UnbackedList::M3u : 0u), std::nullopt});
        }
    }

    std::vector<UnbackedEntry> entries;
    std::unordered_multimap<std::string, std::string> entryNames;
    auto addEntry = [&](const ListFile& list, const ListEntry& e, std::string crc, unsigned from) {
        const std::string& name = e.Text();
        // Only a bare, safe name of this directory, and never one of the kinds that keep their
        // names: a track must not become a playlist or a list.
        if (e.HasDir() || !IsValidBackupName(name) || IsQuietKind(name)) return;
        const FileEntry* file = m_dir.GetFile(name);
        if (file != nullptr && (file->path.FileName() == name || !spelt(list, file->path.FileName()))) return;
        // The same name in another list or another case is one entry; a twin this list also
        // names is an entry of its own.
        std::string key = platform::FoldCase(name);
        const auto [first, last] = entryNames.equal_range(key);
        for (auto it = first; it != last; ++it) {
            if (it->second == name || !spelt(list, it->second)) return;
        }
        bool taken = false;
        const auto [diskFirst, diskLast] = onDisk.equal_range(key);
        for (auto it = diskFirst; it != diskLast; ++it) {
            taken = taken || it->second == name || !spelt(list, it->second);
        }
        entryNames.emplace(std::move(key), name);
        entries.push_back({name, std::move(crc), from, taken});
    };
    for (const SfvList& list : m_dir.sfvLists) {
        for (const ListEntry& e : list.Entries()) addEntry(list, e, e.Crc(), UnbackedList::Sfv);
    }
    for (const M3uList& list : m_dir.m3uLists) {
        for (const ListEntry& e : list.Entries()) addEntry(list, e, "0", UnbackedList::M3u);
    }
    // Nothing to pair: no file is read.
    if (files.empty() || entries.empty()) return true;

    for (UnbackedFile& file : files) {
        const OnDisk disk = Find(file.name);
        ComputeCrc(disk);
        file.crc = DiskCrc(disk);
    }

    const UnbackedResult result = MatchUnbacked(files, entries);
    if (result.ambiguous) {
        Report(m_reporter, A::AmbiguousWithoutBackup, m_dir.Path().LastComponent());
        return false;
    }
    for (const UnbackedPair& skip : result.skipped) {
        Report(m_reporter, A::UnbackedNameTaken, files[skip.file].name, entries[skip.entry].name);
    }
    // The names given back are spellings of their own from now on, as a record's would be.
    for (const UnbackedPair& match : result.matches) m_claimed.insert(entries[match.entry].name);
    std::size_t index = 0;
    for (const UnbackedPair& match : result.matches) {
        const UnbackedFile& file = files[match.file];
        const UnbackedEntry& entry = entries[match.entry];
        const OnDisk disk = Find(file.name);
        // The entry already lists the file with its CRC: the file's own SFV entries go where it
        // stands, as when a renamed file's original is listed with the same CRC.
        const bool listedWithCrc =
            !CrcTextsEqual(entry.crc, "0") && file.crc && CrcTextsEqual(*file.crc, entry.crc);
        if (listedWithCrc && SfvCrc(file.name)) {
            HandOver(file.name, entry.name, true, false);
            Rename(disk, entry.name, index++, false);
        } else {
            Rename(disk, entry.name, index++);
        }
    }
    Listing();
    return true;
}

// The post-analysis runs the integrity check and hands its findings on as change reports.
class PostAnalysisReporter : public Reporter {
public:
    explicit PostAnalysisReporter(Reporter& change) : m_change(change) {}

    int Report(int code, const std::string& /*n*/, const std::string& /*m*/, const std::string& x) override {
        switch (code) {
            case AnalysisCode::CrcChecking:
                kestrow::Report(m_change, C::CrcChecking, {}, x);
                break;
            case AnalysisCode::CrcOk:
                kestrow::Report(m_change, C::CrcOk);
                break;
            case AnalysisCode::BadCrc:
                kestrow::Report(m_change, C::BadCrc, x);
                break;
            case AnalysisCode::ListedFileMissing:
                kestrow::Report(m_change, C::ListedFileMissing, {}, x);
                break;
            case AnalysisCode::SkippedTrusted:
                kestrow::Report(m_change, C::SkippedTrusted);
                break;
            case AnalysisCode::OpenError:
                return kestrow::Report(m_change, C::OpenError, x) == 0 ? 0 : -1;
            case AnalysisCode::NoNfoAsk:
                return 0;
            default:
                break;
        }
        return 1;
    }

private:
    Reporter& m_change;
};

class Apply {
public:
    Apply(RestoreDirJob& dir, const std::vector<BackupRecord>& records, const std::string& block,
          const std::vector<SfvList>& loadedSfv, const std::vector<M3uList>& loadedM3u, Reporter& reporter)
        : m_dir(dir),
          m_records(records),
          m_block(block),
          m_loadedSfv(loadedSfv),
          m_loadedM3u(loadedM3u),
          m_reporter(reporter),
          m_plan(dir.plan) {}

    int Run(unsigned applyFlags);

private:
    std::string RecordText(const std::vector<std::size_t>& positions) const;
    int RenameDirectory();
    int WriteLists();
    template <typename List, typename Writer, typename BlockWriter>
    bool WriteChanged(const std::vector<List>& lists, const std::vector<List>& loaded, BackupSource kind,
                      Writer writer, BlockWriter blockWriter, std::vector<std::function<bool()>>& undo);
    void Operations(std::vector<std::size_t>& unresolved);
    int StoreRemaining(const std::vector<std::size_t>& remaining);
    void PostAnalysis(unsigned applyFlags);

    RestoreDirJob& m_dir;
    const std::vector<BackupRecord>& m_records;
    const std::string& m_block;
    const std::vector<SfvList>& m_loadedSfv;
    const std::vector<M3uList>& m_loadedM3u;
    Reporter& m_reporter;
    RestorePlan& m_plan;
    bool m_attempted = false;
};

std::string Apply::RecordText(const std::vector<std::size_t>& positions) const {
    BackupData data;
    for (std::size_t i : positions) data.AppendRecord(m_records[i]);
    return data.PlainText();
}

int Apply::RenameDirectory() {
    if (m_plan.dirTarget.empty()) return 1;
    if (!IsValidBackupName(m_plan.dirTarget)) return -4;
    const std::string parent = ParentPath(m_dir.DirPath());
    std::string from = m_dir.DirPath();
    while (from.size() > 1 && from.back() == '/') from.pop_back();
    const std::string to = parent + m_plan.dirTarget;
    m_attempted = true;
    m_reporter.Report(ChangeCode::ApplyingChanges, from);
    if (!WithRetry(m_reporter, ChangeCode::CouldNotRenameDir, from, {},
                   [&] { return static_cast<bool>(platform::MoveNoReplace(from, to)); })) {
        return -4;
    }
    m_dir.SetPath(to + "/");
    BackupStore::rebase(m_dir, to + "/");
    return 1;
}

template <typename List, typename Writer, typename BlockWriter>
bool Apply::WriteChanged(const std::vector<List>& lists, const std::vector<List>& loaded, BackupSource kind,
                         Writer writer, BlockWriter blockWriter, std::vector<std::function<bool()>>& undo) {
    const BackupSource source = m_dir.backup.Source();
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const bool holdsBlock = source == kind && m_dir.backup.ListIndex() == static_cast<int>(i);
        std::vector<std::string> now, before;
        for (const ListEntry& e : lists[i].Entries()) now.push_back(e.Text() + " " + e.Crc());
        if (i < loaded.size()) {
            for (const ListEntry& e : loaded[i].Entries()) before.push_back(e.Text() + " " + e.Crc());
        }
        if (now == before) continue;
        // The list that holds the backup data keeps all of it until every rename is done.
        auto write = [holdsBlock, writer, blockWriter, block = &m_block](const List& list) {
            return static_cast<bool>(holdsBlock ? blockWriter(list, *block) : writer(list));
        };
        if (!WithRetry(m_reporter, ChangeCode::CouldNotSaveFile, {}, lists[i].FileName(),
                       [&] { return write(lists[i]); })) {
            return false;
        }
        if (i < loaded.size()) {
            List original = loaded[i];
            original.SetFile(lists[i].File());
            undo.push_back([write, original] { return write(original); });
        }
    }
    return true;
}

int Apply::WriteLists() {
    if (!m_plan.listsEdited) return 1;
    std::vector<std::function<bool()>> undo;
    const bool written = WriteChanged(m_dir.sfvLists, m_loadedSfv, BackupSource::Sfv, WriteSfvList,
                                      WriteSfvListWithBlock, undo) &&
                         WriteChanged(m_dir.m3uLists, m_loadedM3u, BackupSource::M3u, WriteM3uList,
                                      WriteM3uListWithBlock, undo);
    if (written) return 1;
    // Given up: the lists already written go back to what they were, so nothing has changed.
    bool putBack = true;
    for (auto& step : undo) putBack = step() && putBack;
    return putBack ? 0 : -3;
}

void Apply::Operations(std::vector<std::size_t>& unresolved) {
    const std::string base = m_dir.DirPath();
    for (const Op& op : m_plan.operations) {
        // Names from the disk and from decoded records only; anything else is never joined to
        // the directory's path.
        if (!IsValidBackupName(op.from) || (op.kind != Op::Kind::Delete && !IsValidBackupName(op.to))) {
            unresolved.push_back(op.record);
            continue;
        }
        m_attempted = true;
        m_reporter.Report(ChangeCode::ApplyingChanges, op.from);
        const std::string from = base + op.from;
        bool done = false;
        switch (op.kind) {
            case Op::Kind::Rename:
                done = WithRetry(m_reporter, ChangeCode::CouldNotRenameFile, from, {}, [&] {
                    return static_cast<bool>(platform::MoveNoReplace(from, base + op.to));
                });
                break;
            case Op::Kind::Replace:
                // One rename replaces the original: there is no moment without either file.
                done = WithRetry(m_reporter, ChangeCode::CouldNotRenameFile, from, {}, [&] {
                    return static_cast<bool>(platform::ReplaceFile(from, base + op.to));
                });
                break;
            case Op::Kind::Delete:
                done = WithRetry(m_reporter, ChangeCode::CouldNotDeleteFile, from, {},
                                 [&] { return static_cast<bool>(platform::DeleteFile(from)); });
                break;
        }
        if (!done) {
            unresolved.push_back(op.record);
        } else if (op.kind != Op::Kind::Delete) {
            // A list that was renamed is written under its new name from now on.
            auto repoint = [&](auto& lists) {
                for (auto& list : lists) {
                    if (list.FileName() == op.from) list.SetFile(PathName(base + op.to, false));
                }
            };
            repoint(m_dir.sfvLists);
            repoint(m_dir.m3uLists);
        }
    }
}

int Apply::StoreRemaining(const std::vector<std::size_t>& remaining) {
    const BackupSource source = m_dir.backup.Source();
    if (source == BackupSource::None) return 1;
    // Every record still stands: the block on disk is already the right one.
    if (remaining.size() == m_records.size()) return 1;
    BackupData reduced;
    reduced.SetPlainText(RecordText(remaining));
    if (!EncodeVerified(reduced)) return -1;
    reduced.SetFound(source, m_dir.backup.ListIndex(), 0);
    if (reduced.EncodedText().empty()) {
        if (source == BackupSource::BackupFile) {
            const std::string path = m_dir.DirPath() + std::string(kBackupFileName);
            m_attempted = true;
            m_reporter.Report(ChangeCode::ApplyingChanges, std::string(kBackupFileName));
            if (!WithRetry(m_reporter, ChangeCode::CouldNotDeleteFile, path, {}, [&] {
                    const platform::Status s = platform::DeleteFile(path);
                    return s.ok() || s.error == ENOENT;
                })) {
                return -2;
            }
            m_dir.backupFile.reset();
            return 1;
        }
        // The finder took the block out of the list in memory; writing the list leaves it out.
        const std::size_t i = static_cast<std::size_t>(m_dir.backup.ListIndex());
        const bool sfv = source == BackupSource::Sfv;
        const std::string name = sfv ? m_dir.sfvLists[i].FileName() : m_dir.m3uLists[i].FileName();
        if (!WithRetry(m_reporter, ChangeCode::CouldNotSaveFile, {}, name, [&] {
                return static_cast<bool>(sfv ? WriteSfvList(m_dir.sfvLists[i])
                                             : WriteM3uList(m_dir.m3uLists[i]));
            })) {
            return -2;
        }
        return 1;
    }
    BackupStore store(m_dir, reduced);
    // Only the place the block came from: another list would leave the old block beside the new.
    const std::string written =
        store.store(source, source == BackupSource::BackupFile ? -1 : reduced.ListIndex());
    if (written.empty()) {
        m_reporter.Report(source == BackupSource::Sfv   ? ChangeCode::NoSfvWritten
                          : source == BackupSource::M3u ? ChangeCode::NoM3uWritten
                                                        : ChangeCode::NoBackupFileWritten);
        m_reporter.Report(ChangeCode::NothingWritten);
        return -2;
    }
    m_reporter.Report(ChangeCode::StoredIn, written);
    return 1;
}

void Apply::PostAnalysis(unsigned applyFlags) {
    Report(m_reporter, C::PostAnalyzing, m_dir.DirPath());
    unsigned flags = 0;
    if (applyFlags & RestoreApplyFlag::RestoreCRCCheck) {
        flags |= IntegrityFlag::PrepareCRCCheck;
        if (applyFlags & RestoreApplyFlag::RestoreTaglineTrustExisting)
            flags |= IntegrityFlag::PrepareTaglineTrustExisting;
    }
    PostAnalysisReporter reporter(m_reporter);
    const KnownCrc known = [this](const std::string& path) -> std::optional<std::uint32_t> {
        platform::FileId id;
        if (!platform::GetFileId(path, id)) return std::nullopt;
        auto it = m_dir.knownCrcs.find({id.device, id.inode});
        if (it == m_dir.knownCrcs.end()) return std::nullopt;
        return it->second;
    };
    CheckIntegrity(m_dir, flags, true, reporter, nullptr, &known);
    m_dir.integrity.listingCurrent = true;
}

int Apply::Run(unsigned applyFlags) {
    // The records that will be left must make valid backup data before anything is touched.
    {
        BackupData check;
        check.SetPlainText(RecordText(m_plan.kept));
        if (!EncodeVerified(check)) return -1;
    }
    if (const int dir = RenameDirectory(); dir != 1) return dir;
    if (const int lists = WriteLists(); lists != 1) return lists;

    std::vector<std::size_t> remaining = m_plan.kept;
    Operations(remaining);
    std::sort(remaining.begin(), remaining.end());
    m_dir.recordsLeft = remaining.size();
    const int stored = StoreRemaining(remaining);
    if (stored != 1) return stored;

    if (m_attempted) Report(m_reporter, C::Done);
    PostAnalysis(applyFlags);
    return 1;
}

}  // namespace

int RestoreDirJob::FindBackupData(bool reloadLists, Reporter& analysisReporter,
                                  platform::Questioner* questioner) {
    if (reloadLists) LoadLists(questioner);
    const bool held = HoldsBackupData(*this);
    const int found = findBackupData(*this, backup, false, analysisReporter, questioner);
    m_corrupt = held && found >= 0 && backup.NoBackupData();
    m_loadedSfv = sfvLists;
    m_loadedM3u = m3uLists;
    m_foundBlock = backup.NoBackupData() ? std::string() : backup.EncodedText();
    m_records = backup.NoBackupData() ? std::vector<BackupRecord>() : backup.Records();
    return found;
}

int RestoreDirJob::RestoreAnalysis(unsigned restoreFlags, Reporter& analysisReporter) {
    plan = RestorePlan{};
    nothingToDo = true;
    if (m_corrupt) return -1;
    if (backup.NoBackupData()) {
        if (restoreFlags & RestoreFlag::RestoreWithoutBackupData) {
            Analysis analysis(*this, m_records, analysisReporter);
            if (!analysis.RunWithoutBackup()) {
                // Files that cannot be told apart: the directory stays exactly as it is.
                plan = RestorePlan{};
                sfvLists = m_loadedSfv;
                m3uLists = m_loadedM3u;
                nothingToDo = false;
                return -1;
            }
            nothingToDo = plan.NothingToDo();
        }
        return static_cast<int>(SubdirCount());
    }
    Analysis analysis(*this, m_records, analysisReporter);
    analysis.Run(restoreFlags);
    nothingToDo = plan.NothingToDo();
    return static_cast<int>(SubdirCount());
}

int RestoreDirJob::RestoreApply(int /*prepareBackupTo*/, unsigned applyFlags, Reporter& changeReporter) {
    Apply apply(*this, m_records, m_foundBlock, m_loadedSfv, m_loadedM3u, changeReporter);
    return apply.Run(applyFlags);
}

}  // namespace kestrow
