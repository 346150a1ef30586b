// Special-file rules: files a prepare pass deletes, leaves alone, cuts like any other name or
// renames to a fixed name. One rule is one line of text ("DEL: thumbs.db"); a job turns the
// lines into five name lists that every directory of the job shares.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

enum class SpecialFileOperation { Delete = 1, Ignore = 2, Truncate = 3, Rename = 4 };

inline constexpr std::string_view kDeleteRulePrefix = "DEL: ";
inline constexpr std::string_view kIgnoreRulePrefix = "IGN: ";
inline constexpr std::string_view kTruncateRulePrefix = "TRC: ";
inline constexpr std::string_view kRenameRulePrefix = "REN: ";
inline constexpr std::string_view kRenameRuleArrow = " -> ";

struct SpecialFileRule {
    SpecialFileOperation operation = SpecialFileOperation::Delete;
    std::string fileName;    // one file name, no path, matched without regard to case
    std::string targetName;  // rename only: the file's new full name

    bool operator==(const SpecialFileRule&) const = default;
};

// The line of a rule: its prefix, the file name, and for a rename " -> " and the target.
std::string RuleLine(const SpecialFileRule& rule);

// Reads a line by its five-character prefix. nullopt for an unknown prefix, and for a rename
// without " -> " or whose target is not a plain file name: such a rule cannot be carried out.
std::optional<SpecialFileRule> ParseRuleLine(std::string_view line);

// A name a rename may give: not empty, not "." or "..", no path separator, no wildcard, and one
// that the backup data can hold (a restore must be able to give the old name back).
bool IsPlainFileName(std::string_view name);

// The rules of one job in the form the planner takes them. Each list stays absent until its first
// rule arrives; rename sources and targets are parallel. The lists are shared by every directory
// of the job and never changed by one of them.
struct SpecialFileRuleLists {
    std::optional<std::vector<std::string>> renameSources;
    std::optional<std::vector<std::string>> renameTargets;
    std::optional<std::vector<std::string>> deleteNames;
    std::optional<std::vector<std::string>> ignoreNames;
    std::optional<std::vector<std::string>> truncateNames;
    // "REN: " lines that were left out (no " -> ", or a target that is not a plain file name),
    // for the job to report once.
    std::vector<std::string> skippedLines;

    bool Empty() const {
        return !renameSources && !renameTargets && !deleteNames && !ignoreNames && !truncateNames;
    }

    // Whether a delete, ignore or rename rule names the file: such a file never goes through the
    // name rules. Case-blind.
    bool KeepsFromNameRules(std::string_view fileName) const;
    // Whether any rule, of any kind, names the file.
    bool NamesFile(std::string_view fileName) const;
};

// Lines in list order; lines with another prefix are passed over.
SpecialFileRuleLists BuildRuleLists(const std::vector<std::string>& lines);

}  // namespace kestrow
