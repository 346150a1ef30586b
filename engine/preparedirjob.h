// The per-directory object of the check/prepare pass: the directory with its lists and the state
// the pass keeps for it.
#pragma once

#include <atomic>

#include <utility>

#include "content/listeddir.h"
#include "engine/specialfilerulelists.h"
#include "rename/changeplan.h"
#include "settings/processoptions.h"

namespace kestrow {

class PrepareDirJob : public ListedDir {
public:
    explicit PrepareDirJob(const DirContents& scanned) { static_cast<DirContents&>(*this) = scanned; }
    explicit PrepareDirJob(DirContents&& scanned) { static_cast<DirContents&>(*this) = std::move(scanned); }

    // Set when preserveGrptag is on, else none.
    const GroupTagMap* groupTags = nullptr;
    const SpecialFileRuleLists* rules = nullptr;
    // Left by planning: no change is planned for this directory.
    bool nothingToDo = false;
    // The changes planned for this directory, carried out by the apply.
    ChangePlan plan;
    // The job's abort request, looked at by the apply between its operations; none when null.
    const std::atomic<bool>* abortRequested = nullptr;
};

}  // namespace kestrow
