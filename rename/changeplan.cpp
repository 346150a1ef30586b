// Planning and applying the changes of one directory. The order of the apply is what keeps a
// release restorable: the backup data is stored (atomically) before anything else, the lists are
// written before the first rename, and no step ever replaces an existing file.
#include "rename/changeplan.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <type_traits>

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
    Planner(ListedDir& dir, ChangePlan& plan, const PlanSettings& settings, Reporter& reporter)
        : m_dir(dir), m_plan(plan), m_rules(settings.rules), m_reporter(reporter) {}

    // False when the user stopped at a question.
    bool ListChanges(bool checkOnly);

private:
    // Looks the file up in the lists of one kind and, for a renamed file, points the entry at
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
};

template <typename Lists>
bool Planner::LookUp(Lists& lists, std::vector<bool>& changed, std::string_view kind, const std::string& name,
                     const std::string* newName) {
    changed.resize(lists.size(), false);
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const int index = lists[i].FindEntry(name);
        if (index < 0) continue;
        if (newName) {
            if constexpr (std::is_same_v<typename Lists::value_type, SfvList>) {
                lists[i].SetEntry(std::string_view(*newName), std::nullopt, static_cast<std::size_t>(index));
            } else {
                lists[i].ReplaceEntry(*newName, static_cast<std::size_t>(index));
            }
            changed[i] = true;
        }
        return true;
    }
    if (IsMp3(name)) {
        return m_reporter.Report(ChangeCode::NotInListAsk, name, std::string(kind)) != -1;
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
                m_plan.kept.push_back({*name, false, KeptReason::Unstorable});
                ReportKept(*name, false);
                continue;
            }
            // The numbered target holds for this directory only; the job's rule keeps its own.
            const auto target = FreeTarget(targets[i], *name);
            if (!target) {
                m_plan.kept.push_back({*name, false, KeptReason::NoFreeName});
                ReportKept(*name, false);
                continue;
            }
            m_plan.nothingToDo = false;
            m_reporter.Report(ChangeCode::FileChange, sources[i], *target + std::string(kTempFileMark));
            AppendBackupRecordText(m_plan.recordText, {BackupRecordKind::TempFile, *name, *target, 0});
            m_plan.fileRenames.push_back({*name, *target});
        }
    }
}

// Asks Retry/Cancel until the operation succeeds or is given up; true on success.
template <typename Operation>
bool WithRetry(Reporter& reporter, int code, const std::string& n, const std::string& m,
               Operation operation) {
    for (;;) {
        if (operation()) return true;
        if (reporter.Report(code, n, m) != 0) return false;
    }
}

class Applier {
public:
    Applier(ListedDir& dir, ChangePlan& plan, Reporter& reporter)
        : m_dir(dir), m_plan(plan), m_reporter(reporter) {}

    int Run(int prepareBackupTo);

private:
    template <typename Lists, typename Writer>
    bool WriteLists(const Lists& lists, const std::vector<bool>& changed, bool all, Writer writer);
    void Applying();
    void RenameDirectory();
    void RenameFiles();
    void DeleteFiles();

    ListedDir& m_dir;
    ChangePlan& m_plan;
    Reporter& m_reporter;
    std::string m_storedIn;
    bool m_reportedApplying = false;
    bool m_attempted = false;
};

template <typename Lists, typename Writer>
bool Applier::WriteLists(const Lists& lists, const std::vector<bool>& changed, bool all, Writer writer) {
    for (std::size_t i = 0; i < lists.size(); ++i) {
        if (!all && !(i < changed.size() && changed[i])) continue;
        const auto& list = lists[i];
        if (!WithRetry(m_reporter, ChangeCode::CouldNotSaveFile, {}, list.FileName(),
                       [&] { return static_cast<bool>(writer(list)); })) {
            return false;
        }
    }
    return true;
}

void Applier::Applying() {
    m_attempted = true;
    if (m_reportedApplying) return;
    m_reportedApplying = true;
    m_reporter.Report(ChangeCode::ApplyingChanges, m_dir.DirPath());
}

void Applier::RenameDirectory() {
    if (!m_plan.HasDirRename()) return;
    Applying();
    const std::string parent = ParentPath(m_dir.DirPath());
    const std::string from = parent + m_plan.dirOriginalName;
    const std::string to = parent + m_plan.dirNewName;
    if (!WithRetry(m_reporter, ChangeCode::CouldNotRenameDir, from, {},
                   [&] { return static_cast<bool>(platform::MoveNoReplace(from, to)); })) {
        // Given up: the files are renamed inside the directory that kept its name.
        return;
    }
    m_dir.formerName = m_plan.dirOriginalName;
    m_dir.SetPath(to + "/");
    BackupStore::rebase(m_dir, to + "/");
}

void Applier::RenameFiles() {
    const std::string base = m_dir.DirPath();
    for (const PlannedChange& change : m_plan.fileRenames) {
        // A special rule may move the file that holds the backup data to a kind of file that is
        // never searched for it; that rename is given up so the data stays findable.
        if (!m_storedIn.empty() && change.originalName == m_storedIn &&
            ClassOfFileName(change.newName) != ClassOfFileName(change.originalName)) {
            m_reporter.Report(ChangeCode::LeftUnchanged, change.originalName,
                              std::string(KeptReasonText(KeptReason::HoldsBackupData)));
            continue;
        }
        Applying();
        const std::string from = base + change.originalName;
        const std::string to = base + change.newName;
        WithRetry(m_reporter, ChangeCode::CouldNotRenameFile, from, {},
                  [&] { return static_cast<bool>(platform::MoveNoReplace(from, to)); });
    }
}

void Applier::DeleteFiles() {
    const std::string base = m_dir.DirPath();
    for (const std::string& name : m_plan.deletions) {
        // The file that now holds the backup data is never deleted after it.
        if (!m_storedIn.empty() && name == m_storedIn) {
            m_reporter.Report(ChangeCode::LeftUnchanged, name,
                              std::string(KeptReasonText(KeptReason::HoldsBackupData)));
            continue;
        }
        Applying();
        const std::string path = base + name;
        WithRetry(m_reporter, ChangeCode::CouldNotDeleteFile, path, {}, [&] {
            const platform::Status s = platform::DeleteFile(path);
            // Gone already is as good as deleted.
            return s.ok() || s.error == ENOENT;
        });
    }
}

int Applier::Run(int prepareBackupTo) {
    m_dir.integrity.listingCurrent = false;
    BackupData data;
    data.SetPlainText(m_plan.recordText);
    const bool hasRecords = !m_plan.recordText.empty();
    if (hasRecords) {
        BackupStore store(m_dir, data);
        const int stored = store.chooseAndStore(prepareBackupTo, m_reporter);
        if (stored == -2) return -2;
        if (stored != 1) return -1;
        m_storedIn = store.StoredIn();
    }

    // Every list whose entries now name the new files is written, wherever the backup data went:
    // a list left naming the old files would no longer match the release. The list that took the
    // block was written whole by the store; a list the plan left as it was is not written again,
    // so one that cannot be written (read-only, say) does not stop a directory it has no part in.
    if (!WriteLists(m_dir.sfvLists, m_plan.changedSfvLists, false, WriteSfvList)) return -3;
    if (!WriteLists(m_dir.m3uLists, m_plan.changedM3uLists, m_dir.generatePlaylist, WriteM3uList)) return -3;

    RenameDirectory();
    RenameFiles();
    DeleteFiles();
    if (m_attempted) m_reporter.Report(ChangeCode::Done);
    return 1;
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
    return std::any_of(fileRenames.begin(), fileRenames.end(),
                       [&](const PlannedChange& c) { return platform::IEquals(c.newName, fullName); });
}

void ChangePlan::KeepFile(std::string_view fullName) {
    unchangedFiles.emplace_back(fullName);
}

void ChangePlan::RenameFile(std::string_view fullName, std::string_view newFullName,
                            std::string_view record) {
    // A name the backup data cannot hold could never be given back by a restore.
    if (!IsStorableBackupName(fullName) || !IsStorableBackupName(newFullName)) {
        KeepFile(fullName);
        kept.push_back({std::string(fullName), false, KeptReason::Unstorable});
        return;
    }
    fileRenames.push_back({std::string(fullName), std::string(newFullName)});
    recordText += record;
    nothingToDo = false;
}

void ChangePlan::KeepDir(std::string_view name) {
    dirOriginalName.assign(name);
    dirNewName.clear();
}

void ChangePlan::RenameDir(std::string_view name, std::string_view newName, std::string_view record) {
    if (!IsStorableBackupName(name) || !IsStorableBackupName(newName)) {
        KeepDir(name);
        kept.push_back({std::string(name), true, KeptReason::Unstorable});
        return;
    }
    dirOriginalName.assign(name);
    dirNewName.assign(newName);
    recordText += record;
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
    kept.push_back({std::string(fullName), isDirectory, reason});
}

const KeptName* ChangePlan::KeptFor(std::string_view name, bool isDirectory) const {
    for (const KeptName& k : kept) {
        if (k.isDirectory == isDirectory && k.name == name) return &k;
    }
    return nullptr;
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
    if (!planner.ListChanges(checkOnly)) return -2;
    return subdirs;
}

int ApplyPlan(ListedDir& dir, ChangePlan& plan, int prepareBackupTo, Reporter& reporter) {
    Applier applier(dir, plan, reporter);
    return applier.Run(prepareBackupTo);
}

}  // namespace kestrow
