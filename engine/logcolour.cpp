// The colour table of the log.
#include "engine/logcolour.h"

namespace kestrow {

namespace {

constexpr std::array<LogColourInfo, kLogColourCount> kColours{{
    {"Black", 0, 0, 0},
    {"White", 255, 255, 255},
    {"Maroon", 128, 0, 0},
    {"Green", 0, 128, 0},
    {"Olive", 128, 128, 0},
    {"Navy", 0, 0, 128},
    {"Purple", 128, 0, 128},
    {"Teal", 0, 128, 128},
    {"Silver", 192, 192, 192},
    {"Gray", 128, 128, 128},
    {"Red", 255, 0, 0},
    {"Lime", 0, 255, 0},
    {"Yellow", 255, 255, 0},
    {"Blue", 0, 0, 255},
    {"Fuchsia", 255, 0, 255},
    {"Aqua", 0, 255, 255},
}};

}  // namespace

const LogColourInfo& ColourInfo(LogColour colour) {
    return kColours[static_cast<std::size_t>(colour) % kLogColourCount];
}

LogColour ForegroundFromIndex(int index) {
    if (index < 0 || index >= kLogColourCount) return LogColour::Black;
    return static_cast<LogColour>(index);
}

LogColour BackgroundFromIndex(int index) {
    if (index < 0 || index >= kLogColourCount) return LogColour::White;
    return static_cast<LogColour>(index);
}

}  // namespace kestrow
