#pragma once

#include <string_view>

namespace quorvane::cli {

// How the command names itself in its messages.
inline constexpr std::string_view kProgramName = "quorvane-batch";

}  // namespace quorvane::cli
