// The values the check/prepare pass derives from the options for each directory.
#pragma once

#include "settings/processoptions.h"

namespace kestrow {

// The IntegrityFlag bits handed to the integrity check.
int CheckFlagsFor(const ProcessOptions& options);
// TruncateMaxChars when truncating, else 0.
int MaxLengthFor(const ProcessOptions& options);
// Check and tag renames nothing; it is never inferred from the option bits.
bool CheckAndTagFor(const ProcessOptions& options);

}  // namespace kestrow
