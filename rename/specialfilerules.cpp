// The text form of special-file rules and the rule lists a job builds from it.
#include "rename/specialfilerules.h"

#include "backup/backuprecord.h"
#include "platform/text.h"

namespace kestrow {

namespace {

constexpr std::size_t kPrefixLength = 5;

void Push(std::optional<std::vector<std::string>>& list, std::string_view text) {
    if (!list) list.emplace();
    list->emplace_back(text);
}

bool InList(const std::optional<std::vector<std::string>>& list, std::string_view name) {
    if (!list) return false;
    for (const std::string& entry : *list) {
        if (platform::IEquals(entry, name)) return true;
    }
    return false;
}

std::string_view PrefixOf(SpecialFileOperation operation) {
    switch (operation) {
        case SpecialFileOperation::Delete:
            return kDeleteRulePrefix;
        case SpecialFileOperation::Ignore:
            return kIgnoreRulePrefix;
        case SpecialFileOperation::Truncate:
            return kTruncateRulePrefix;
        case SpecialFileOperation::Rename:
            return kRenameRulePrefix;
    }
    return kDeleteRulePrefix;
}

}  // namespace

std::string RuleLine(const SpecialFileRule& rule) {
    std::string line(PrefixOf(rule.operation));
    line += rule.fileName;
    if (rule.operation == SpecialFileOperation::Rename) {
        line += kRenameRuleArrow;
        line += rule.targetName;
    }
    return line;
}

bool IsPlainFileName(std::string_view name) {
    // A wildcard would be taken literally by the rename; the user meant something else.
    if (name.find_first_of("*?") != std::string_view::npos) return false;
    return IsStorableBackupName(name);
}

std::optional<SpecialFileRule> ParseRuleLine(std::string_view line) {
    if (line.size() < kPrefixLength) return std::nullopt;
    const std::string_view prefix = line.substr(0, kPrefixLength);
    const std::string_view rest = line.substr(kPrefixLength);
    SpecialFileRule rule;
    if (prefix == kRenameRulePrefix) {
        const std::size_t arrow = rest.find(kRenameRuleArrow);
        if (arrow == std::string_view::npos) return std::nullopt;
        rule.operation = SpecialFileOperation::Rename;
        rule.fileName.assign(rest.substr(0, arrow));
        rule.targetName.assign(rest.substr(arrow + kRenameRuleArrow.size()));
        if (!IsPlainFileName(rule.targetName)) return std::nullopt;
        return rule;
    }
    if (prefix == kDeleteRulePrefix) {
        rule.operation = SpecialFileOperation::Delete;
    } else if (prefix == kIgnoreRulePrefix) {
        rule.operation = SpecialFileOperation::Ignore;
    } else if (prefix == kTruncateRulePrefix) {
        rule.operation = SpecialFileOperation::Truncate;
    } else {
        return std::nullopt;
    }
    rule.fileName.assign(rest);
    return rule;
}

bool SpecialFileRuleLists::KeepsFromNameRules(std::string_view fileName) const {
    return InList(deleteNames, fileName) || InList(ignoreNames, fileName) || InList(renameSources, fileName);
}

bool SpecialFileRuleLists::NamesFile(std::string_view fileName) const {
    return KeepsFromNameRules(fileName) || InList(truncateNames, fileName);
}

SpecialFileRuleLists BuildRuleLists(const std::vector<std::string>& lines) {
    SpecialFileRuleLists lists;
    for (const std::string& line : lines) {
        const std::optional<SpecialFileRule> rule = ParseRuleLine(line);
        if (!rule) {
            // Only a rename can be malformed; other unknown prefixes are not rules at all.
            if (std::string_view(line).substr(0, kPrefixLength) == kRenameRulePrefix)
                lists.skippedLines.push_back(line);
            continue;
        }
        switch (rule->operation) {
            case SpecialFileOperation::Rename:
                Push(lists.renameSources, rule->fileName);
                Push(lists.renameTargets, rule->targetName);
                break;
            case SpecialFileOperation::Delete:
                Push(lists.deleteNames, rule->fileName);
                break;
            case SpecialFileOperation::Ignore:
                Push(lists.ignoreNames, rule->fileName);
                break;
            case SpecialFileOperation::Truncate:
                Push(lists.truncateNames, rule->fileName);
                break;
        }
    }
    return lists;
}

}  // namespace kestrow
