#pragma once

#include <string_view>

namespace quorvane::automation {

// Member names are looked up the way late binding does: letter case does not matter.
bool sameName(std::u16string_view a, std::u16string_view b) noexcept;

}  // namespace quorvane::automation
