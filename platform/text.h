// Byte-string helpers for names: case-blind comparison (ASCII and Latin-1 letters, in UTF-8 or
// as single legacy bytes) and UTF-8 character counting.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrow::platform {

// Equal without regard to case.
bool IEquals(std::string_view a, std::string_view b);
// <0, 0, >0 without regard to case; bytes break no ties here.
int ICompare(std::string_view a, std::string_view b);
// A key under which names equal without regard to case (IEquals) are one, for hashed look-ups.
std::string FoldCase(std::string_view s);
// Orders names case-insensitively, the bytes breaking ties (a stable order for listings).
bool NameLess(std::string_view a, std::string_view b);
// Upper-cases ASCII letters only.
std::string AsciiUpper(std::string_view s);
bool IEndsWith(std::string_view s, std::string_view suffix);
bool IStartsWith(std::string_view s, std::string_view prefix);

// Length in bytes of the character starting at s[i]: a valid UTF-8 sequence, else 1.
std::size_t CharLength(std::string_view s, std::size_t i);
// The character starting at s[i] as a code point (a byte that is not valid UTF-8 stands for
// itself, as a Latin-1 character); advances i past it.
char32_t NextChar(std::string_view s, std::size_t& i);
// Number of characters (code points; an invalid byte counts as one).
std::size_t CharCount(std::string_view s);
bool IsValidUtf8(std::string_view s);
// Appends the UTF-8 form of a code point (at most 0x10FFFF).
void AppendUtf8(std::string& out, char32_t cp);

// The text made safe for a terminal or a log line: control characters (C0, DEL, C1 in UTF-8 or
// as single bytes) become "\xHH" per byte, so a name from a download can neither colour nor move
// the user's terminal. Characters in `alsoEscape` get a leading backslash.
std::string EscapeControls(std::string_view s, std::string_view alsoEscape = {});

}  // namespace kestrow::platform
