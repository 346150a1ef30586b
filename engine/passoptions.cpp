// Option bits of the check/prepare pass.
#include "engine/passoptions.h"

namespace kestrow {

int CheckFlagsFor(const ProcessOptions& o) {
    int flags = 0;
    if (o.PrepareCRCCheck) flags |= kCheckCrc;
    if (o.PrepareTaglineTrustExisting) flags |= kCheckTrustTaglines;
    if (o.PrepareGenerateM3U) flags |= kCheckGenerateM3u;
    return flags;
}

unsigned RenameOptionBitsFor(const ProcessOptions& o) {
    const bool truncate = o.Truncate != 0;
    const bool bits[] = {
        truncate && o.preserveGrptag,
        truncate && o.preserveRlsyear == 0,
        truncate && o.preserveVAtag,
        truncate && o.preserveVAtagException1,
        o.StripVAtagDirs != 0,
        o.ReplaceDots != 0,
        o.StripTHEtagDirs != 0,
        o.StripTHEtagDirsMove != 0,
        o.StripTHEtagDirsMoveAddBrackets != 0,
        o.RemoveDotsInDirs != 0,
        o.RemoveDotsInDirsFrontOnly != 0,
    };
    unsigned result = 0;
    for (unsigned i = 0; i < sizeof(bits) / sizeof(bits[0]); ++i) {
        if (bits[i]) result |= 1u << i;
    }
    return result;
}

int MaxLengthFor(const ProcessOptions& o) {
    return o.Truncate ? o.TruncateMaxChars : 0;
}

bool CheckAndTagFor(const ProcessOptions& o) {
    return o.lastProcessOption == 2;
}

}  // namespace kestrow
