// The new name of one file, or of the directory itself, in a prepare pass: dots handled, a
// leading "VA" or "THE" stripped or moved, over-long names cut with the group tag and year kept
// at the end, and a number added when the result would meet a name already taken.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "content/dircontents.h"
#include "platform/optionvalues.h"
#include "rename/namechars.h"
#include "rename/nameplan.h"
#include "rename/nameset.h"
#include "rename/renameoptions.h"

namespace kestrow {

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
    // How far the numbering of one base has gone. Names only ever become taken while a
    // directory is planned, so the next name with the same base goes on from here instead of
    // trying every number again.
    struct Numbering {
        int k = 0;
        bool recordForm = false;  // numbers end in '_' once a record has refused a name
        NameSet passed;           // every candidate passed over so far
    };

    std::optional<std::string> FreeTitle(const NameChars& base, const NameChars& keptEnd,
                                         std::string_view extension, bool isDirectory, int maximum,
                                         std::string_view original);
    bool IsTaken(const std::string& fullName, bool isDirectory, bool numbered, std::string_view original);
    std::string Unchanged(const std::string& original, bool isDirectory, std::optional<NameProblem> problem);

    RenameOptions m_options;
    const GroupTagMap* m_groupTags;
    const DirContents* m_dir;
    const DirContents* m_parent;
    NamePlan* m_plan;
    // Built on first use: the directory's names, and the parent's once the directory's own
    // name needs a number.
    std::optional<NameSet> m_dirNames;
    std::optional<NameSet> m_parentNames;
    std::unordered_map<std::string, Numbering> m_numbering;
};

}  // namespace kestrow
