// The change plan of one directory in a prepare pass, and the two steps around it: planning
// (new names, special files, list entries, backup records; listed for the user) and applying
// (backup data stored first, then the lists, then the renames and deletions).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "content/listeddir.h"
#include "content/reporter.h"
#include "rename/nameplan.h"
#include "rename/namerules.h"
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
    const std::string& RecordText() const override { return recordText; }
    void KeepFile(std::string_view fullName) override;
    void RenameFile(std::string_view fullName, std::string_view newFullName,
                    std::string_view record) override;
    void KeepDir(std::string_view name) override;
    void RenameDir(std::string_view name, std::string_view newName, std::string_view record) override;
    void LeftUnchanged(std::string_view fullName, bool isDirectory, NameProblem problem) override;

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
    // Names that needed a change and could not get one.
    std::vector<KeptName> kept;
    // Per SFV list and per playlist of the directory: an entry was pointed at a new name.
    std::vector<bool> changedSfvLists;
    std::vector<bool> changedM3uLists;
    // The backup records, in order of creation: files, the directory, special files.
    std::string recordText;
    bool nothingToDo = true;
};

// What planning needs besides the directory; the pointers may be null (no group tags, no rules).
struct PlanSettings {
    const GroupTagMap* groupTags = nullptr;
    const SpecialFileRuleLists* rules = nullptr;
};

// Plans and lists the changes of a directory. maximum: TruncateMaxChars when Truncate is on,
// else 0 (0 and values above 256 mean 256). checkOnly: nothing is renamed, only the header (and
// the playlist line) is listed. Returns the number of subdirectories, or -2 when the user stopped
// at a question. The directory's list entries are updated to the new names in memory.
int PlanDirectory(ListedDir& dir, ChangePlan& plan, const PlanSettings& settings, int maximum,
                  RenameOptions options, bool checkOnly, Reporter& reporter);

// Carries the plan out: 1 done; -1 the backup data could not be built, -2 it could not be stored
// (nothing changed in either case); -3 a list could not be written and the user gave up (the
// backup data is stored, nothing renamed). prepareBackupTo: 0 SFV, 1 M3U, 2 "_kestrow.backup".
int ApplyPlan(ListedDir& dir, ChangePlan& plan, int prepareBackupTo, Reporter& reporter);

}  // namespace kestrow
