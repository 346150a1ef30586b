// The 16 colours a log line can be drawn in: indices shared by the reporters, the log window and
// the console program.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kestrow {

enum class LogColour : std::uint8_t {
    Black = 0,
    White,
    Maroon,
    Green,
    Olive,
    Navy,
    Purple,
    Teal,
    Silver,
    Gray,
    Red,
    Lime,
    Yellow,
    Blue,
    Fuchsia,
    Aqua,
};

inline constexpr int kLogColourCount = 16;

struct LogColourInfo {
    std::string_view name;
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

const LogColourInfo& ColourInfo(LogColour colour);

// A foreground index of 16 or more is drawn black; anything else names its colour.
LogColour ForegroundFromIndex(int index);
// Backgrounds outside the table fall back to white, the plain background.
LogColour BackgroundFromIndex(int index);

}  // namespace kestrow
