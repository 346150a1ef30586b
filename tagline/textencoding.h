// Conversions of tag texts to UTF-8, the form every name in the program is kept in.
#pragma once

#include <string>
#include <string_view>

namespace kestrow {

// An 8-bit tag text: kept as it is when it already is valid UTF-8 (taggers often store UTF-8 in
// Latin-1 frames), otherwise read as Latin-1.
std::string EightBitToUtf8(std::string_view text);
// UTF-16 code units given as byte pairs; stops at the first zero unit or at the end of the bytes.
// An unpaired surrogate becomes U+FFFD.
std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian);

}  // namespace kestrow
