// Values the settings share with the modules that apply them. settings/ stands beside those
// modules rather than below them, so the one definition lives in the layer both build on.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace kestrow {

// The tagline prefix written when the setting is empty.
inline constexpr std::string_view kDefaultTaglinePrefix = "[KSTW]";

// Group tags preserved when names are cut: upper-case tag -> the settings file's value for it.
// Keys compare case-sensitively, so only upper-case keys can ever match the upper-cased tag of a
// name.
using GroupTagMap = std::map<std::string, std::string>;

}  // namespace kestrow
