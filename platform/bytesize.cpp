// Short byte-size formatting.
#include "platform/bytesize.h"

#include <cstdio>

namespace kestrow::platform {

std::string FormatByteSize(std::uint64_t bytes) {
    if (bytes < 1000) return std::to_string(bytes) + " bytes";
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
    // Work in hundredths of the unit so truncation never rounds up.
    int unit = 0;
    std::uint64_t scale = 1024;
    while (unit < 3 && bytes / scale >= 1000) {
        scale *= 1024;
        ++unit;
    }
    // The remainder is below 2^40, so times 100 it cannot overflow.
    std::uint64_t h = bytes / scale * 100 + bytes % scale * 100 / scale;
    char buf[32];
    if (h >= 10000) {
        std::snprintf(buf, sizeof buf, "%llu %s", static_cast<unsigned long long>(h / 100), kUnits[unit]);
    } else if (h >= 1000) {
        std::snprintf(buf, sizeof buf, "%llu.%llu %s", static_cast<unsigned long long>(h / 100),
                      static_cast<unsigned long long>((h / 10) % 10), kUnits[unit]);
    } else {
        std::snprintf(buf, sizeof buf, "%llu.%02llu %s", static_cast<unsigned long long>(h / 100),
                      static_cast<unsigned long long>(h % 100), kUnits[unit]);
    }
    return buf;
}

}  // namespace kestrow::platform
