// The restore pass over one directory and, last first, its subdirectories: backup data, restore
// analysis, confirmation, apply and tagline, in the same frame as the check/prepare pass.
#pragma once

#include "backup/restoredirjob.h"
#include "engine/passcontext.h"

namespace kestrow {

// Returns the pass result (0 after a stop, a refusal or an abort). Runs on the pass worker; the
// context must carry restore steps.
int RestoreDirectory(RestoreDirJob& job, const PassContext& context);

}  // namespace kestrow
