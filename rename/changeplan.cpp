// Planning and applying the changes of one directory. The order of the apply is what keeps a
// release restorable: the backup data is stored (atomically) before anything else, the lists are
// written before the first rename, and no step ever replaces an existing file.
#include "rename/changeplan.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <optional>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

#include "backup/backupdata.h"
#include "backup/backuprecord.h"
#include "backup/backupstore.h"
#include "content/existingtagline.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "rename/namechars.h"

namespace kestrow {

namespace {

constexpr std::string_view kDeleteMark = "DELETE (tempfile)";
constexpr std::string_view kIgnoreMark = "IGNORE (tempfile)";
constexpr std::string_view kTempFileMark = "(tempfile)";

// Files whose absence from a list is expected and not worth a note.
bool IsQuietKind(std::string_view name) {
    for (std::string_view ext : {".sfv", ".m3u", ".nfo", ".txt", ".jpg", ".gif"}) {
        if (platform::IEndsWith(name, ext)) return true;
    }
    return false;
}

bool IsMp3(std::string_view name) {
    return ClassOfFileName(name) == FileClass::Mp3;
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The folder that holds the directory, ending in "/".
std::string ParentPath(const std::string& dirPath) {
    const std::string own = WithoutTrailingSlash(dirPath);
    const std::size_t slash = own.rfind('/');
    return slash == std::string::npos ? std::string() : own.substr(0, slash + 1);
}

bool Contains(const std::vector<std::string>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

class Planner {
public:
    Planner(ListedDir& dir, ChangePlan& plan, const PlanSettings& settings, Reporter& reporter);

    // False when the user stopped at a question.
    bool ListChanges(bool checkOnly);

private:
    // The entries of a list that name the file, as the check will resolve them: those written
    // exactly as the file's name, and those that differ from it in letter case only, when no
    // file is named by them exactly and the file is the first that matches them in walking order.
    std::vector<std::size_t> EntriesNaming(const ListFile& list, const std::string& name) const;
    // Points every entry that names the file, in every list of one kind, at the new name. True
    // when some list names the file.
    template <typename Lists>
    bool RenameIn(Lists& lists, std::vector<bool>& changed, const std::string& name,
                  const std::string* newName);
    void RenameEntries(const std::string& name, const std::string& newName);
    // Looks the file up in the lists of one kind and, for a renamed file, points its entries at
    // the new name. False when the user stopped.
    template <typename Lists>
    bool LookUp(Lists& lists, std::vector<bool>& changed, std::string_view kind, const std::string& name,
                const std::string* newName);
    bool LookUpEverywhere(const std::string& name, const std::string* newName);
    void ReportKept(const std::string& name, bool isDirectory);
    void SpecialFiles();
    std::optional<std::string> FreeTarget(const std::string& target, const std::string& source) const;
    bool IsTaken(const std::string& name, const std::string& source) const;
    void RenamePlaylistAfterSfv();

    ListedDir& m_dir;
    ChangePlan& m_plan;
    const SpecialFileRuleLists* m_rules;
    Reporter& m_reporter;
    // The directory's files: each exact name, and per name without regard to case the first
    // file in walking order that bears it.
    std::unordered_set<std::string> m_fileNames;
    std::unordered_map<std::string, std::string> m_firstByFolded;
};

Planner::Planner(ListedDir& dir, ChangePlan& plan, const PlanSettings& settings, Reporter& reporter)
    : m_dir(dir), m_plan(plan), m_rules(settings.rules), m_reporter(reporter) {
    for (FileClass c : kAllFilesOrder) {
        for (const FileEntry& file : dir.List(c)) {
            std::string name = file.path.FileName();
            m_firstByFolded.try_emplace(platform::FoldCase(name), name);
            m_fileNames.insert(std::move(name));
        }
    }
}

std::vector<std::size_t> Planner::EntriesNaming(const ListFile& list, const std::string& name) const {
    const auto first = m_firstByFolded.find(platform::FoldCase(name));
    const bool firstOfItsCase = first != m_firstByFolded.end() && first->second == name;
    std::vector<std::size_t> hits;
    for (std::size_t i : list.EntriesAlike(name)) {
        const std::string& text = list.Entries()[i].Text();
        if (text == name || (firstOfItsCase && m_fileNames.count(text) == 0)) hits.push_back(i);
    }
    return hits;
}

template <typename Lists>
bool Planner::RenameIn(Lists& lists, std::vector<bool>& changed, const std::string& name,
                       const std::string* newName) {
    changed.resize(lists.size(), false);
    bool listed = false;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const std::vector<std::size_t> hits = EntriesNaming(lists[i], name);
        if (hits.empty()) continue;
        listed = true;
        if (!newName) continue;
        for (std::size_t at : hits) {
            // The list files the entry under its new name at once, for the next look-up.
            if constexpr (std::is_same_v<typename Lists::value_type, SfvList>) {
                lists[i].SetEntry(std::string_view(*newName), std::nullopt, at);
            } else {
                lists[i].ReplaceEntry(*newName, at);
            }
        }
        changed[i] = true;
    }
    return listed;
}

void Planner::RenameEntries(const std::string& name, const std::string& newName) {
    RenameIn(m_dir.sfvLists, m_plan.changedSfvLists, name, &newName);
    RenameIn(m_dir.m3uLists, m_plan.changedM3uLists, name, &newName);
}

template <typename Lists>
bool Planner::LookUp(Lists& lists, std::vector<bool>& changed, std::string_view kind, const std::string& name,
                     const std::string* newName) {
    if (RenameIn(lists, changed, name, newName)) return true;
    if (IsMp3(name)) {
        return m_reporter.Report(ChangeCode::NotInListAsk, name, std::string(kind)) !=
               AnswerValue(ChangeAnswer::Stop);
    }
    if (!IsQuietKind(name) && !(m_rules && m_rules->NamesFile(name))) {
        m_reporter.Report(ChangeCode::NonMp3NotInList, name, std::string(kind));
    }
    return true;
}

bool Planner::LookUpEverywhere(const std::string& name, const std::string* newName) {
    return LookUp(m_dir.sfvLists, m_plan.changedSfvLists, "SFV", name, newName) &&
           LookUp(m_dir.m3uLists, m_plan.changedM3uLists, "M3U", name, newName);
}

void Planner::ReportKept(const std::string& name, bool isDirectory) {
    if (const KeptName* kept = m_plan.KeptFor(name, isDirectory)) {
        m_reporter.Report(ChangeCode::LeftUnchanged, name, std::string(KeptReasonText(kept->reason)));
    }
}

bool Planner::ListChanges(bool checkOnly) {
    m_reporter.Report(ChangeCode::ListingHeader, m_plan.dirOriginalName);
    if (m_dir.generatePlaylist) m_reporter.Report(ChangeCode::PlaylistGenerated);
    ReportKept(m_plan.dirOriginalName, true);
    if (m_plan.HasDirRename())
        m_reporter.Report(ChangeCode::DirRename, m_plan.dirOriginalName, m_plan.dirNewName);
    for (const PlannedChange& change : m_plan.fileRenames) {
        m_reporter.Report(ChangeCode::FileChange, change.originalName, change.newName);
        if (!LookUpEverywhere(change.originalName, &change.newName)) return false;
    }
    for (const std::string& name : m_plan.unchangedFiles) {
        ReportKept(name, false);
        if (!LookUpEverywhere(name, nullptr)) return false;
    }
    RenamePlaylistAfterSfv();
    if (!checkOnly && m_rules) SpecialFiles();
    return true;
}

// A playlist yet to be written is named after the first SFV list; when that list gets a shorter
// name, the playlist takes the same, or it would keep the name that was just found too long.
void Planner::RenamePlaylistAfterSfv() {
    if (!m_dir.generatePlaylist || m_dir.m3uLists.empty() || m_dir.sfvLists.empty()) return;
    M3uList& planned = m_dir.m3uLists.back();
    if (planned.Loaded() || m_dir.GetFile(planned.FileName()) != nullptr) return;
    const std::string sfvName = m_dir.sfvLists.front().FileName();
    for (const PlannedChange& change : m_plan.fileRenames) {
        if (change.originalName != sfvName) continue;
        PathName renamed(change.newName, false);
        const std::string name = renamed.Title() + ".m3u";
        if (m_dir.GetFile(name) != nullptr || m_plan.IsPlannedName(name) || m_dir.FindSubdir(name) == 0)
            return;
        PathName file = planned.File();
        file.SetFileName(name);
        planned.SetFile(file);
        return;
    }
}

bool Planner::IsTaken(const std::string& name, const std::string& source) const {
    const FileEntry* file = m_dir.GetFile(name);
    // The source itself does not block a target that differs from it only in letter case.
    if (file != nullptr && file->path.FileName() != source) return true;
    return m_dir.FindSubdir(name) == 0 || m_plan.IsPlannedName(name) ||
           platform::IEquals(name, kBackupFileName);
}

// The target, or the first numbered variant that meets nothing in the directory or the plan.
std::optional<std::string> Planner::FreeTarget(const std::string& target, const std::string& source) const {
    if (!IsTaken(target, source)) return target;
    const NameChars chars = DecodeName(target);
    for (int k = 1; k <= kMaxCollisionNumber; ++k) {
        const std::string digits = std::to_string(k);
        const std::size_t keep = chars.size() > digits.size() ? chars.size() - digits.size() : 0;
        const std::string candidate = EncodeName(std::u32string_view(chars).substr(0, keep)) + digits;
        if (IsPlainFileName(candidate) && !IsTaken(candidate, source)) return candidate;
    }
    return std::nullopt;
}

void Planner::SpecialFiles() {
    // A file is handled by the first rule that names it: deletions, then ignores, then renames.
    std::vector<std::string> claimed;
    auto onDisk = [&](const std::string& ruleName) -> std::optional<std::string> {
        const FileEntry* file = m_dir.GetFile(ruleName);
        if (file == nullptr) return std::nullopt;
        std::string name = file->path.FileName();
        // The backup data's own file is never a special file: losing it would lose every name.
        if (platform::IEquals(name, kBackupFileName) || Contains(claimed, name)) return std::nullopt;
        return name;
    };

    if (m_rules->deleteNames) {
        for (const std::string& rule : *m_rules->deleteNames) {
            const auto name = onDisk(rule);
            if (!name) continue;
            m_reporter.Report(ChangeCode::FileChange, rule, std::string(kDeleteMark));
            m_plan.deletions.push_back(*name);
            claimed.push_back(*name);
            m_plan.nothingToDo = false;
        }
    }
    if (m_rules->ignoreNames) {
        for (const std::string& rule : *m_rules->ignoreNames) {
            const auto name = onDisk(rule);
            if (!name) continue;
            m_reporter.Report(ChangeCode::FileChange, rule, std::string(kIgnoreMark));
            claimed.push_back(*name);
        }
    }
    if (m_rules->renameSources && m_rules->renameTargets) {
        const auto& sources = *m_rules->renameSources;
        const auto& targets = *m_rules->renameTargets;
        for (std::size_t i = 0; i < sources.size() && i < targets.size(); ++i) {
            const auto name = onDisk(sources[i]);
            if (!name) continue;
            claimed.push_back(*name);
            if (*name == targets[i]) continue;
            if (!IsStorableBackupName(*name) || !IsPlainFileName(targets[i])) {
                m_plan.Keep({*name, false, KeptReason::Unstorable});
                ReportKept(*name, false);
                continue;
            }
            // The numbered target holds for this directory only; the job's rule keeps its own.
            const auto target = FreeTarget(targets[i], *name);
            if (!target) {
                m_plan.Keep({*name, false, KeptReason::NoFreeName});
                ReportKept(*name, false);
                continue;
            }
            m_reporter.Report(ChangeCode::FileChange, sources[i], *target + std::string(kTempFileMark));
            m_plan.RenameSpecialFile(*name, *target);
            // The lists follow the file, as they do for the name rules, so a restore puts both back.
            RenameEntries(*name, *target);
        }
    }
}

// Asks Retry/Cancel until the operation succeeds or is given up; true on success.
template <typename Operation>
bool WithRetry(Reporter& reporter, ChangeCode::Code code, const std::string& n, const std::string& m,
               Operation operation) {
    for (;;) {
        if (operation()) return true;
        if (reporter.Report(code, n, m) != AnswerValue(ChangeAnswer::Retry)) return false;
    }
}

// A file the apply may write, as it was before: put back when the apply stops before the first
// rename, so that a stop leaves the directory as it found it.
struct Snapshot {
    std::string path;
    bool existed = false;
    std::string bytes;
};

class Applier {
public:
    Applier(ListedDir& dir, ChangePlan& plan, Reporter& reporter, const std::atomic<bool>* stop)
        : m_dir(dir), m_plan(plan), m_reporter(reporter), m_stop(stop) {}

    int Run(int prepareBackupTo);

private:
    bool StopRequested() const { return m_stop != nullptr && m_stop->load(); }
    static bool Writes(const std::vector<bool>& changed, bool all, std::size_t i) {
        return all || (i < changed.size() && changed[i]);
    }
    template <typename Lists>
    bool ListsWritable(const Lists& lists, const std::vector<bool>& changed, bool all);
    template <typename Lists, typename Writer>
    bool WriteLists(const Lists& lists, const std::vector<bool>& changed, bool all, BackupSource kind,
                    Writer writer);
    bool WriteChangedLists();
    void TakeSnapshots();
    bool PutBack();
    int StoppedBeforeRenames(int stopped);
    int Settle();
    void Applying();
    bool RenameDirectory();
    bool RenameFiles();
    bool DeleteFiles();

    ListedDir& m_dir;
    ChangePlan& m_plan;
    Reporter& m_reporter;
    const std::atomic<bool>* m_stop;
    BackupData m_data;
    std::string m_storedIn;
    std::vector<Snapshot> m_snapshots;
    bool m_dirRenamed = false;
    std::vector<bool> m_fileRenamed;  // per planned file rename
    bool m_reportedApplying = false;
    bool m_attempted = false;
};

template <typename Lists>
bool Applier::ListsWritable(const Lists& lists, const std::vector<bool>& changed, bool all) {
    for (std::size_t i = 0; i < lists.size(); ++i) {
        if (!Writes(changed, all, i)) continue;
        if (!WithRetry(m_reporter, ChangeCode::CouldNotSaveFile, {}, lists[i].FileName(),
                       [&] { return static_cast<bool>(CanWriteList(lists[i])); })) {
            return false;
        }
    }
    return true;
}

template <typename Lists, typename Writer>
bool Applier::WriteLists(const Lists& lists, const std::vector<bool>& changed, bool all, BackupSource kind,
                         Writer writer) {
    for (std::size_t i = 0; i < lists.size(); ++i) {
        if (!Writes(changed, all, i)) continue;
        // The list that took the block was written whole by the store, entries and all; a
        // playlist generated there exists only since then and is never written twice.
        if (!m_storedIn.empty() && m_data.Source() == kind && static_cast<int>(i) == m_data.ListIndex()) {
            continue;
        }
        const auto& list = lists[i];
        if (!WithRetry(m_reporter, ChangeCode::CouldNotSaveFile, {}, list.FileName(),
                       [&] { return static_cast<bool>(writer(list)); })) {
            return false;
        }
    }
    return true;
}

// Every list whose entries now name the new files is written, wherever the backup data went: a
// list left naming the old files would no longer match the release. A list the plan left as it
// was is not written, so one that cannot be written (read-only, say) does not stop a directory
// it has no part in.
bool Applier::WriteChangedLists() {
    return WriteLists(m_dir.sfvLists, m_plan.changedSfvLists, false, BackupSource::Sfv, WriteSfvList) &&
           WriteLists(m_dir.m3uLists, m_plan.changedM3uLists, m_dir.generatePlaylist, BackupSource::M3u,
                      WriteM3uList);
}

void Applier::TakeSnapshots() {
    std::vector<std::string> paths;
    for (const SfvList& list : m_dir.sfvLists) paths.push_back(list.FullPath());
    for (const M3uList& list : m_dir.m3uLists) paths.push_back(list.FullPath());
    paths.push_back(m_dir.backupFile ? m_dir.backupFile->FullPath()
                                     : m_dir.DirPath() + std::string(kBackupFileName));
    for (std::string& path : paths) {
        Snapshot shot{std::move(path), false, {}};
        if (platform::Stat(shot.path) != platform::PathKind::Missing) {
            // A file that cannot be read is never written by the apply either.
            if (!platform::ReadWholeFile(shot.path, shot.bytes)) continue;
            shot.existed = true;
        }
        m_snapshots.push_back(std::move(shot));
    }
}

// False when a file could not be given its earlier state.
bool Applier::PutBack() {
    bool ok = true;
    for (const Snapshot& shot : m_snapshots) {
        if (!shot.existed) {
            if (platform::Stat(shot.path) == platform::PathKind::Missing) continue;
            ok = platform::DeleteFile(shot.path).ok() && ok;
            continue;
        }
        std::string now;
        if (platform::ReadWholeFile(shot.path, now) && now == shot.bytes) continue;
        ok = platform::WriteFileAtomic(shot.path, shot.bytes).ok() && ok;
    }
    return ok;
}

// The apply ends before its first rename: whatever it stored or wrote is put back.
int Applier::StoppedBeforeRenames(int stopped) {
    return PutBack() ? stopped : kApplyStoredNotRemoved;
}

// Stopped at the user's request between two operations: the backup data and the lists are made
// to describe exactly the renames that were done.
int Applier::Settle() {
    std::unordered_map<std::string, std::string> undone;  // new name -> original
    std::unordered_set<std::string> done;
    for (std::size_t i = 0; i < m_plan.fileRenames.size(); ++i) {
        const PlannedChange& change = m_plan.fileRenames[i];
        if (m_fileRenamed[i]) {
            done.insert(change.originalName);
        } else {
            undone.emplace(change.newName, change.originalName);
        }
    }
    if (!m_dirRenamed && done.empty()) return StoppedBeforeRenames(kApplyStopped);
    if (undone.empty() && (m_dirRenamed || !m_plan.HasDirRename())) return kApplyStopped;

    BackupData all;
    all.SetPlainText(m_plan.recordText);
    if (!all.Parse()) return kApplyStopped;
    std::string text;
    for (const BackupRecord& record : all.Records()) {
        const bool kept =
            record.kind == BackupRecordKind::Directory ? m_dirRenamed : done.count(record.originalName) > 0;
        if (kept) AppendBackupRecordText(text, record);
    }
    auto revert = [&](auto& lists, std::vector<bool>& changed) {
        changed.resize(lists.size(), false);
        for (std::size_t i = 0; i < lists.size(); ++i) {
            for (std::size_t e = 0; e < lists[i].EntryCount(); ++e) {
                const auto it = undone.find(lists[i].Entries()[e].Text());
                if (it == undone.end()) continue;
                if constexpr (std::is_same_v<std::decay_t<decltype(lists[i])>, SfvList>) {
                    lists[i].SetEntry(std::string_view(it->second), std::nullopt, e);
                } else {
                    lists[i].ReplaceEntry(it->second, e);
                }
                changed[i] = true;
            }
        }
    };
    revert(m_dir.sfvLists, m_plan.changedSfvLists);
    revert(m_dir.m3uLists, m_plan.changedM3uLists);

    // Stored again where it was: a restore then finds records for the renames done, and no other.
    BackupData part;
    part.SetPlainText(text);
    if (m_storedIn.empty() || !EncodeVerified(part)) return kApplyStopped;
    const BackupSource source = m_data.Source();
    const int listIndex = m_data.ListIndex();
    BackupStore store(m_dir, part);
    WithRetry(m_reporter, ChangeCode::CouldNotSaveFile, {}, m_storedIn,
              [&] { return !store.store(source, listIndex).empty(); });
    WriteChangedLists();
    return kApplyStopped;
}

void Applier::Applying() {
    m_attempted = true;
    if (m_reportedApplying) return;
    m_reportedApplying = true;
    m_reporter.Report(ChangeCode::ApplyingChanges, m_dir.DirPath());
}

// False when a stop came first.
bool Applier::RenameDirectory() {
    if (!m_plan.HasDirRename()) return true;
    if (StopRequested()) return false;
    Applying();
    const std::string parent = ParentPath(m_dir.DirPath());
    const std::string from = parent + m_plan.dirOriginalName;
    const std::string to = parent + m_plan.dirNewName;
    if (!WithRetry(m_reporter, ChangeCode::CouldNotRenameDir, from, {},
                   [&] { return static_cast<bool>(platform::MoveNoReplace(from, to)); })) {
        // Given up: the files are renamed inside the directory that kept its name.
        return true;
    }
    m_dir.formerName = m_plan.dirOriginalName;
    m_dirRenamed = true;
    m_dir.SetPath(to + "/");
    BackupStore::rebase(m_dir, to + "/");
    return true;
}

bool Applier::RenameFiles() {
    const std::string base = m_dir.DirPath();
    for (std::size_t i = 0; i < m_plan.fileRenames.size(); ++i) {
        const PlannedChange& change = m_plan.fileRenames[i];
        // A special rule may move the file that holds the backup data to a kind of file that is
        // never searched for it; that rename is given up so the data stays findable.
        if (!m_storedIn.empty() && change.originalName == m_storedIn &&
            ClassOfFileName(change.newName) != ClassOfFileName(change.originalName)) {
            m_reporter.Report(ChangeCode::LeftUnchanged, change.originalName,
                              std::string(KeptReasonText(KeptReason::HoldsBackupData)));
            continue;
        }
        if (StopRequested()) return false;
        Applying();
        const std::string from = base + change.originalName;
        const std::string to = base + change.newName;
        m_fileRenamed[i] = WithRetry(m_reporter, ChangeCode::CouldNotRenameFile, from, {},
                                     [&] { return static_cast<bool>(platform::MoveNoReplace(from, to)); });
    }
    return true;
}

bool Applier::DeleteFiles() {
    const std::string base = m_dir.DirPath();
    for (const std::string& name : m_plan.deletions) {
        // The file that now holds the backup data is never deleted after it.
        if (!m_storedIn.empty() && name == m_storedIn) {
            m_reporter.Report(ChangeCode::LeftUnchanged, name,
                              std::string(KeptReasonText(KeptReason::HoldsBackupData)));
            continue;
        }
        if (StopRequested()) return false;
        Applying();
        const std::string path = base + name;
        WithRetry(m_reporter, ChangeCode::CouldNotDeleteFile, path, {}, [&] {
            const platform::Status s = platform::DeleteFile(path);
            // Gone already is as good as deleted.
            return s.ok() || s.error == ENOENT;
        });
    }
    return true;
}

int Applier::Run(int prepareBackupTo) {
    m_dir.integrity.listingCurrent = false;
    m_fileRenamed.assign(m_plan.fileRenames.size(), false);
    if (StopRequested()) return kApplyStopped;
    // Nothing is stored before every list the plan writes is known to take its new entries; the
    // store finds its own place among the lists that can be written.
    if (!ListsWritable(m_dir.sfvLists, m_plan.changedSfvLists, false) ||
        !ListsWritable(m_dir.m3uLists, m_plan.changedM3uLists, m_dir.generatePlaylist)) {
        return kApplyListsUnwritable;
    }
    TakeSnapshots();
    m_data.SetPlainText(m_plan.recordText);
    if (!m_plan.recordText.empty()) {
        BackupStore store(m_dir, m_data);
        const int stored = store.chooseAndStore(prepareBackupTo, m_reporter);
        if (stored == -2) return kApplyNotStored;
        if (stored != 1) return kApplyNoBackupData;
        m_storedIn = store.StoredIn();
    }
    if (!WriteChangedLists()) return StoppedBeforeRenames(kApplyListsUnwritable);
    if (StopRequested()) return StoppedBeforeRenames(kApplyStopped);

    if (!RenameDirectory() || !RenameFiles() || !DeleteFiles()) return Settle();
    if (m_attempted) m_reporter.Report(ChangeCode::Done);
    return kApplied;
}

}  // namespace

std::string_view KeptReasonText(KeptReason reason) {
    switch (reason) {
        case KeptReason::NoRoom:
            return "the maximum length leaves no room for a new name";
        case KeptReason::NoFreeName:
            return "no free numbered name was found";
        case KeptReason::NotAName:
            return "the rules left no usable name";
        case KeptReason::Unstorable:
            return "the backup data cannot hold this name";
        case KeptReason::HoldsBackupData:
            return "it holds the backup data of this dir";
    }
    return {};
}

void ChangePlan::Clear() {
    *this = ChangePlan();
}

bool ChangePlan::IsPlannedName(std::string_view fullName) const {
    return m_plannedNames.Contains(fullName);
}

bool ChangePlan::IsRecordedName(std::string_view extension, std::string_view title) const {
    return m_recordedNames.Contains(extension, title);
}

void ChangePlan::AddRecord(std::string_view record) {
    recordText += record;
    m_recordedNames.AddRecords(record);
}

void ChangePlan::RenameSpecialFile(const std::string& fullName, const std::string& target) {
    AddRecord(BackupRecordText({BackupRecordKind::TempFile, fullName, target, 0}));
    fileRenames.push_back({fullName, target});
    m_plannedNames.Add(target);
    nothingToDo = false;
}

void ChangePlan::Keep(KeptName name) {
    std::string key = (name.isDirectory ? "d" : "f") + name.name;
    m_keptIndex.try_emplace(std::move(key), kept.size());
    kept.push_back(std::move(name));
}

void ChangePlan::KeepFile(std::string_view fullName) {
    unchangedFiles.emplace_back(fullName);
}

void ChangePlan::RenameFile(std::string_view fullName, std::string_view newFullName,
                            std::string_view record) {
    // A name the backup data cannot hold could never be given back by a restore.
    if (!IsStorableBackupName(fullName) || !IsStorableBackupName(newFullName)) {
        KeepFile(fullName);
        Keep({std::string(fullName), false, KeptReason::Unstorable});
        return;
    }
    fileRenames.push_back({std::string(fullName), std::string(newFullName)});
    m_plannedNames.Add(newFullName);
    AddRecord(record);
    nothingToDo = false;
}

void ChangePlan::KeepDir(std::string_view name) {
    dirOriginalName.assign(name);
    dirNewName.clear();
}

void ChangePlan::RenameDir(std::string_view name, std::string_view newName, std::string_view record) {
    if (!IsStorableBackupName(name) || !IsStorableBackupName(newName)) {
        KeepDir(name);
        Keep({std::string(name), true, KeptReason::Unstorable});
        return;
    }
    dirOriginalName.assign(name);
    dirNewName.assign(newName);
    AddRecord(record);
    nothingToDo = false;
}

void ChangePlan::LeftUnchanged(std::string_view fullName, bool isDirectory, NameProblem problem) {
    KeptReason reason = KeptReason::NoRoom;
    switch (problem) {
        case NameProblem::NoRoom:
            reason = KeptReason::NoRoom;
            break;
        case NameProblem::NoFreeName:
            reason = KeptReason::NoFreeName;
            break;
        case NameProblem::NotAName:
            reason = KeptReason::NotAName;
            break;
    }
    Keep({std::string(fullName), isDirectory, reason});
}

const KeptName* ChangePlan::KeptFor(std::string_view name, bool isDirectory) const {
    const auto it = m_keptIndex.find((isDirectory ? "d" : "f") + std::string(name));
    return it == m_keptIndex.end() ? nullptr : &kept[it->second];
}

int PlanDirectory(ListedDir& dir, ChangePlan& plan, const PlanSettings& settings, int maximum,
                  RenameOptions options, bool checkOnly, Reporter& reporter) {
    maximum = ClampNameMaximum(maximum);
    plan.Clear();
    plan.options = options;
    plan.nothingToDo = !dir.generatePlaylist;
    // The entries of the lists are about to change in memory; the tagline step reads them anew.
    dir.integrity.listingCurrent = false;
    const std::string dirName = dir.Path().LastComponent();
    plan.dirOriginalName = dirName;
    const int subdirs = static_cast<int>(dir.SubdirCount());

    if (!checkOnly) {
        // A sibling may have been renamed a moment ago; the directory's new name must not meet it.
        if (dir.parent) dir.parent->Scan();
        NameRules rules(options, settings.groupTags, dir, dir.parent, plan);
        std::vector<PathName> files;
        for (bool more = dir.FirstFile(); more; more = dir.NextFile()) {
            const FileEntry& file = dir.CurrentFile();
            // The backup data's own file, the tagline and the discs' markers keep their names: a
            // cut backup file is never found again, and a cut tagline would be recorded and then
            // renamed by the tagline step, leaving backup data that names a file that never exists.
            if (platform::IEquals(file.path.FileName(), kBackupFileName) || IsOldTagline(dir, file) ||
                IsSubdirMarker(dir, file)) {
                continue;
            }
            files.push_back(file.path);
        }
        for (const PathName& file : files) {
            if (settings.rules && settings.rules->KeepsFromNameRules(file.FileName())) continue;
            rules.ApplyNameRules(file.Title(), file.DottedExt(), false, maximum);
        }
        if (files.empty() && maximum < kLongestName &&
            platform::CharCount(dirName) <= static_cast<std::size_t>(maximum)) {
            return subdirs;
        }
        if (!dirName.empty()) rules.ApplyNameRules(dirName, {}, true, maximum);
        plan.dirOriginalName = dirName;
    }

    Planner planner(dir, plan, settings, reporter);
    if (!planner.ListChanges(checkOnly)) return kPlanRefused;
    return subdirs;
}

int ApplyPlan(ListedDir& dir, ChangePlan& plan, int prepareBackupTo, Reporter& reporter,
              const std::atomic<bool>* stopRequested) {
    Applier applier(dir, plan, reporter, stopRequested);
    return applier.Run(prepareBackupTo);
}

}  // namespace kestrow
