// The ID3v1 genre list with the Winamp extensions, numbered as the genre byte of an ID3v1 tag.
#pragma once

#include <string_view>

namespace kestrow {

inline constexpr int kGenreCount = 148;

// The name of genre number n, or an empty view when n is outside the list.
std::string_view GenreName(int n);

}  // namespace kestrow
