// A directory's change plan, the reports since the last call and its lists' entries, as lines of
// a golden transcript.
#pragma once

#include <string>

#include "rename/changeplan.h"
#include "tests/support/recordingreporter.h"

namespace kestrow::test {

inline std::string PlanTranscript(const std::string& title, int result, const ChangePlan& plan,
                                  RecordingReporter& reporter, const ListedDir& dir) {
    std::string t = "== " + title + ": result " + std::to_string(result) +
                    (plan.nothingToDo ? ", nothing to do" : "") + "\n" + reporter.TakeTranscript();
    if (plan.HasDirRename()) t += "  dir " + plan.dirOriginalName + " -> " + plan.dirNewName + "\n";
    for (const auto& c : plan.fileRenames) t += "  file " + c.originalName + " -> " + c.newName + "\n";
    for (const auto& n : plan.deletions) t += "  delete " + n + "\n";
    for (const auto& n : plan.unchangedFiles) t += "  unchanged " + n + "\n";
    if (!plan.recordText.empty()) t += "  records " + plan.recordText + "\n";
    for (const auto& list : dir.sfvLists) {
        t += "  sfv entries:";
        for (std::size_t i = 0; i < list.EntryCount(); ++i) t += " " + list.EntryName(i);
        t += "\n";
    }
    for (const auto& list : dir.m3uLists) {
        t += "  m3u entries:";
        for (std::size_t i = 0; i < list.EntryCount(); ++i) t += " " + list.EntryPath(i);
        t += "\n";
    }
    return t;
}

}  // namespace kestrow::test
