// What the name rules need from the change plan of the directory they work on: the names
// already planned, the names the backup records written so far carry, and the place where each
// result goes.
#pragma once

#include <string>
#include <string_view>

namespace kestrow {

// Why a name that should have changed was left as it is.
enum class NameProblem {
    NoRoom,      // the maximum leaves no room for even one character before the extension
    NoFreeName,  // every numbered name up to the cap was taken
    NotAName,    // the rules left nothing usable (empty, or dots only)
};

class NamePlan {
public:
    virtual ~NamePlan() = default;

    // True when fullName (compared without regard to case) is already the planned new name of
    // another file of the directory.
    virtual bool IsPlannedName(std::string_view fullName) const = 0;
    // True when a backup record of the plan carries exactly this name: extension ("." + the
    // file's extension, or empty) and title, compared as written.
    virtual bool IsRecordedName(std::string_view extension, std::string_view title) const = 0;

    virtual void KeepFile(std::string_view fullName) = 0;
    // record is the file's backup record; the plan appends it to the record text.
    virtual void RenameFile(std::string_view fullName, std::string_view newFullName,
                            std::string_view record) = 0;
    virtual void KeepDir(std::string_view name) = 0;
    virtual void RenameDir(std::string_view name, std::string_view newName, std::string_view record) = 0;
    // Raised after KeepFile/KeepDir when the name needed a change it could not get.
    virtual void LeftUnchanged(std::string_view fullName, bool isDirectory, NameProblem problem) = 0;
};

}  // namespace kestrow
