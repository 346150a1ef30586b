// Option bits of the check/prepare pass.
#include "engine/passoptions.h"

#include "content/integrity.h"

namespace kestrow {

int CheckFlagsFor(const ProcessOptions& o) {
    unsigned flags = 0;
    if (o.PrepareCRCCheck) flags |= IntegrityFlag::PrepareCRCCheck;
    if (o.PrepareTaglineTrustExisting) flags |= IntegrityFlag::PrepareTaglineTrustExisting;
    if (o.PrepareGenerateM3U) flags |= IntegrityFlag::PrepareGenerateM3U;
    return static_cast<int>(flags);
}

int MaxLengthFor(const ProcessOptions& o) {
    return o.Truncate ? o.TruncateMaxChars : 0;
}

bool CheckAndTagFor(const ProcessOptions& o) {
    return o.lastProcessOption == 2;
}

}  // namespace kestrow
