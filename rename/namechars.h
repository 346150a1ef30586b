// Names as sequences of characters, so that the name rules count, index and cut by character
// while bytes that are not UTF-8 (names in a legacy 8-bit encoding) pass through unchanged.
#pragma once

#include <string>
#include <string_view>

namespace kestrow {

// One element per character: the code point of a valid UTF-8 sequence, or, for a byte that is
// not part of one, a value above the Unicode range standing for that byte alone.
using NameChars = std::u32string;

NameChars DecodeName(std::string_view bytes);
// Gives back exactly the bytes DecodeName read.
std::string EncodeName(std::u32string_view chars);

}  // namespace kestrow
