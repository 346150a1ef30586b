// The new name of one file, or of the directory itself, in a prepare pass: dots handled, a
// leading "VA" or "THE" stripped or moved, over-long names cut with the group tag and year kept
// at the end, and a number added when the result would meet a name already taken.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "content/dircontents.h"
#include "rename/namechars.h"
#include "rename/nameplan.h"
#include "rename/renameoptions.h"

namespace kestrow {

// Upper-case group tag -> the settings file's value for it.
using GroupTagMap = std::map<std::string, std::string>;

// Bits of the operation number written into the directory's backup record.
inline constexpr int kOpTruncated = 0x1;
inline constexpr int kOpVaStripped = 0x2;
inline constexpr int kOpTheStripped = 0x4;
inline constexpr int kOpTheMoved = 0x8;
inline constexpr int kOpBracketsAdded = 0x10;
inline constexpr int kOpDotsRemoved = 0x20;
inline constexpr int kOpDotsFrontOnly = 0x40;

// The highest number tried before a name is given up as having no free variant.
inline constexpr int kMaxCollisionNumber = 9999;

class NameRules {
public:
    // groupTags null: no group tag is recognised. dir: the directory's scanned contents, for the
    // files' collision checks. parent: its parent's contents, for the directory's own name;
    // null leaves siblings unchecked (a rename still never replaces one). The referenced
    // objects must outlive this one.
    NameRules(RenameOptions options, const GroupTagMap* groupTags, const DirContents& dir,
              const DirContents* parent, NamePlan& plan);

    // name: a file's title, or the directory's whole name; extension: "." + the file's extension,
    // or empty (always empty for the directory). Returns the new full name, or the old one when
    // nothing changes; the result is entered into the plan either way.
    std::string ApplyNameRules(std::string_view name, std::string_view extension, bool isDirectory,
                               int maximum);

private:
    std::optional<std::string> FreeTitle(const NameChars& base, const NameChars& keptEnd,
                                         std::string_view extension, bool isDirectory, int maximum,
                                         std::string_view original) const;
    bool IsTaken(const std::string& fullName, bool isDirectory, std::string_view original) const;
    std::string Unchanged(const std::string& original, bool isDirectory, std::optional<NameProblem> problem);

    RenameOptions m_options;
    const GroupTagMap* m_groupTags;
    const DirContents* m_dir;
    const DirContents* m_parent;
    NamePlan* m_plan;
};

}  // namespace kestrow
