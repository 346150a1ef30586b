// The change plan of one directory in a prepare pass, and the two steps around it: planning
// (new names, special files, list entries, backup records; listed for the user) and applying
// (backup data stored first, then the lists, then the renames and deletions).
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "content/listeddir.h"
#include "content/reporter.h"
#include "rename/nameplan.h"
#include "rename/namerules.h"
#include "rename/nameset.h"
#include "rename/renameoptions.h"
#include "rename/specialfilerules.h"

namespace kestrow {

// One planned rename inside a directory.
struct PlannedChange {
    std::string originalName;  // title + extension as on disk
    std::string newName;

    bool operator==(const PlannedChange&) const = default;
};

// Why a name that needed a change keeps the one it has.
enum class KeptReason {
    NoRoom,           // the maximum leaves no room for even one character
    NoFreeName,       // every numbered variant was taken
    NotAName,         // the rules left nothing usable
    Unstorable,       // the backup data cannot hold the name, so a restore could not bring it back
    HoldsBackupData,  // the file holds the backup data just stored; moving or deleting it loses it
};
std::string_view KeptReasonText(KeptReason reason);

struct KeptName {
    std::string name;
    bool isDirectory = false;
    KeptReason reason = KeptReason::NoRoom;
};

class ChangePlan : public NamePlan {
public:
    // Empties the plan; the nothing-to-do flag is set.
    void Clear();

    bool IsPlannedName(std::string_view fullName) const override;
    bool IsRecordedName(std::string_view extension, std::string_view title) const override;
    void KeepFile(std::string_view fullName) override;
    void RenameFile(std::string_view fullName, std::string_view newFullName,
                    std::string_view record) override;
    void KeepDir(std::string_view name) override;
    void RenameDir(std::string_view name, std::string_view newName, std::string_view record) override;
    void LeftUnchanged(std::string_view fullName, bool isDirectory, NameProblem problem) override;

    // A rename by a special-file rule, after those of the name rules, with its record.
    void RenameSpecialFile(const std::string& fullName, const std::string& target);
    // A name that needed a change and keeps the one it has.
    void Keep(KeptName name);

    bool HasDirRename() const { return !dirNewName.empty(); }
    // The reason recorded for a file or directory name that was left unchanged, if any.
    const KeptName* KeptFor(std::string_view name, bool isDirectory) const;

    RenameOptions options;
    // The directory's last path component before and after; the new name is empty when it stays.
    std::string dirOriginalName;
    std::string dirNewName;
    // Name-rule renames in visiting order, then the special-file renames in rule order.
    std::vector<PlannedChange> fileRenames;
    // Full names of the files the name rules left as they were.
    std::vector<std::string> unchangedFiles;
    // Files to delete by a delete rule, each under its name on disk.
    std::vector<std::string> deletions;
    // Names that needed a change and could not get one (added through Keep).
    std::vector<KeptName> kept;
    // Per SFV list and per playlist of the directory: an entry was pointed at a new name.
    std::vector<bool> changedSfvLists;
    std::vector<bool> changedM3uLists;
    // The backup records, in order of creation: files, the directory, special files.
    std::string recordText;
    bool nothingToDo = true;

private:
    void AddRecord(std::string_view record);

    // Looked up for every name planned; kept beside the lists above, which they index.
    NameSet m_plannedNames;
    RecordedNames m_recordedNames;
    std::unordered_map<std::string, std::size_t> m_keptIndex;
};

// What planning needs besides the directory; the pointers may be null (no group tags, no rules).
struct PlanSettings {
    const GroupTagMap* groupTags = nullptr;
    const SpecialFileRuleLists* rules = nullptr;
};

// Plans and lists the changes of a directory. maximum: TruncateMaxChars when Truncate is on,
// else 0 (0 and values above 256 mean 256). checkOnly: nothing is renamed, only the header (and
// the playlist line) is listed. Returns the number of subdirectories, or -2 when the user stopped
// at a question (kPlanRefused). The directory's list entries are updated to the new names in
// memory.
inline constexpr int kPlanRefused = -2;
int PlanDirectory(ListedDir& dir, ChangePlan& plan, const PlanSettings& settings, int maximum,
                  RenameOptions options, bool checkOnly, Reporter& reporter);

// Results of ApplyPlan, the system's integers.
enum ApplyResult : int {
    kApplied = 1,
    // The backup data could not be built, or could not be stored: nothing was changed.
    kApplyNoBackupData = -1,
    kApplyNotStored = -2,
    // The apply stopped before its first rename and what it had stored could not all be put back.
    kApplyStoredNotRemoved = -3,
    // A list the plan writes could not be written and the user gave up: nothing was changed (any
    // backup data or list already written was put back as it was).
    kApplyListsUnwritable = -4,
    // Stopped at the user's request: the operation under way was finished, none after it begun;
    // the backup data and the lists describe exactly the renames that were done.
    kApplyStopped = -5,
};

// Carries the plan out. prepareBackupTo: 0 SFV, 1 M3U, 2 "_kestrow.backup". stopRequested, when
// given, is looked at before every operation.
int ApplyPlan(ListedDir& dir, ChangePlan& plan, int prepareBackupTo, Reporter& reporter,
              const std::atomic<bool>* stopRequested = nullptr);

}  // namespace kestrow
