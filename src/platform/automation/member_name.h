#pragma once

#include <string_view>

namespace quorvane::platform::automation {

// Member names are looked up the way late binding does: letter case does not matter.
bool sameName(std::u16string_view a, std::u16string_view b) noexcept;

}  // namespace quorvane::platform::automation
