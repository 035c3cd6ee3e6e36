#pragma once

#include <cstdint>
#include <optional>

namespace quorvane::os {

// Bytes of memory that programs started now could have without the system swapping; nothing
// where the system does not say. Linux only: on Windows one word processor serves a run.
std::optional<std::uint64_t> availableMemory();

}  // namespace quorvane::os
