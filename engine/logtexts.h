// Fixed lines that the runner and the pass drivers write themselves.
#pragma once

#include <string_view>

namespace kestrow {

inline constexpr std::string_view kSeparator =
    "----------------------------------------------------------------------------";  // 76
inline constexpr std::string_view kConfirmSeparator =
    "--------------------------------------------------------------------------------";  // 80
inline constexpr std::string_view kEndOfDirectory =
    "*************************************************************************************************"
    "***************************";  // 124
inline constexpr std::string_view kUserAborted = "USER ABORTED!";
inline constexpr std::string_view kPauseCaption = "Pause!";
inline constexpr std::string_view kContinueCaption = "Continue!";

}  // namespace kestrow
