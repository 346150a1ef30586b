// Everything a pass worker works with, handed down from the runner.
#pragma once

#include <chrono>

#include "content/reporter.h"
#include "engine/jobcontrol.h"
#include "engine/jobhost.h"
#include "engine/passsteps.h"
#include "engine/restoresteps.h"

namespace kestrow {

struct PassContext {
    JobHost& host;
    JobControl& control;
    PassSteps& steps;
    Reporter& analysis;
    Reporter& change;
    // How often a waiting pass looks at the flags.
    std::chrono::milliseconds pollInterval{100};
    // The restore pass's steps; a front end without them cannot run a restore job.
    RestoreSteps* restore = nullptr;
};

}  // namespace kestrow
