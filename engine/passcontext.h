// Everything a pass worker works with, handed down from the runner.
#pragma once

#include <chrono>

#include "content/reporter.h"
#include "engine/jobcontrol.h"
#include "engine/jobhost.h"
#include "engine/passsteps.h"

namespace kestrow {

struct PassContext {
    JobHost& host;
    JobControl& control;
    PassSteps& steps;
    Reporter& analysis;
    Reporter& change;
    // How often a waiting pass looks at the flags.
    std::chrono::milliseconds pollInterval{100};
};

}  // namespace kestrow
