// The check/prepare pass over one directory and, last first, its subdirectories: integrity
// check, planning, confirmation, apply and tagline, with pause, abort and refusal between them.
#pragma once

#include "engine/passcontext.h"
#include "engine/preparedirjob.h"

namespace kestrow {

// Returns the pass result (0 after a stop, a refusal or an abort). Runs on the pass worker.
int CheckPrepareDirectory(PrepareDirJob& job, const PassContext& context);

}  // namespace kestrow
