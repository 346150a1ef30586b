// Engine steps scripted per directory name, recording each call, for tests of the pass and the
// runner.
#pragma once

#include <climits>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/passsteps.h"
#include "engine/preparedirjob.h"

namespace kestrow::test {

struct DirScript {
    int check = 1;
    // INT_MIN: the number of subdirectories, as planning returns when it descends.
    int plan = INT_MIN;
    bool nothingToDo = true;
    int apply = 1;
    std::function<void()> onCheck;
};

inline DirScript Script(int check, int plan, bool nothingToDo, int apply = 1) {
    return DirScript{check, plan, nothingToDo, apply, {}};
}

class FakeSteps : public PassSteps {
public:
    std::map<std::string, DirScript> scripts;
    std::set<std::string> unreadable;
    std::vector<std::string> calls;
    struct JobSeen {
        const GroupTagMap* groupTags;
        std::string parent;  // the parent's name: the parent job is gone when the pass has ended
        const SpecialFileRuleLists* rules;
    };
    std::map<std::string, JobSeen> seen;

    static std::string Name(const DirContents& dir) { return dir.Path().LastComponent(); }

    bool Scan(DirContents& dir) override {
        if (unreadable.count(Name(dir))) return false;
        return dir.Scan();
    }
    void LoadLists(PrepareDirJob& job) override { calls.push_back("lists " + Name(job)); }
    int CheckIntegrity(PrepareDirJob& job, int flags, bool reload, Reporter&) override {
        std::string name = Name(job);
        seen[name] = {job.groupTags, job.parent ? Name(*job.parent) : "", job.rules};
        calls.push_back("check " + name + " flags=" + std::to_string(flags) + (reload ? " reload" : ""));
        DirScript& s = scripts[name];
        if (s.onCheck) s.onCheck();
        return s.check;
    }
    int PlanDirectory(PrepareDirJob& job, int maxLength, unsigned options, bool checkAndTag,
                      Reporter&) override {
        std::string name = Name(job);
        calls.push_back("plan " + name + " max=" + std::to_string(maxLength) +
                        " bits=" + std::to_string(options) + (checkAndTag ? " tag-only" : ""));
        DirScript& s = scripts[name];
        job.nothingToDo = s.nothingToDo;
        return s.plan == INT_MIN ? static_cast<int>(job.SubdirCount()) : s.plan;
    }
    int ApplyPlan(PrepareDirJob& job, int backupTo, Reporter&) override {
        calls.push_back("apply " + Name(job) + " to=" + std::to_string(backupTo));
        return scripts[Name(job)].apply;
    }
    int WriteTagline(PrepareDirJob& job, const std::string& prefix, bool noCheck, Reporter&) override {
        calls.push_back("tagline " + Name(job) + " " + prefix + (noCheck ? " nocheck" : " check"));
        return 0;
    }
};

}  // namespace kestrow::test
