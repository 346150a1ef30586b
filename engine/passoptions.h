// The values the check/prepare pass derives from the options for each directory.
#pragma once

#include "settings/processoptions.h"

namespace kestrow {

// Bits handed to the integrity check.
inline constexpr int kCheckCrc = 1 << 0;
inline constexpr int kCheckTrustTaglines = 1 << 1;
inline constexpr int kCheckGenerateM3u = 1 << 3;

int CheckFlagsFor(const ProcessOptions& options);
// The renaming option bits handed to planning.
unsigned RenameOptionBitsFor(const ProcessOptions& options);
// TruncateMaxChars when truncating, else 0.
int MaxLengthFor(const ProcessOptions& options);
// Check and tag renames nothing; it is never inferred from the option bits.
bool CheckAndTagFor(const ProcessOptions& options);

}  // namespace kestrow
