#pragma once

#include <string_view>
#include <vector>

#include "automation/variant.h"

namespace quorvane::automation {

// Member names are looked up the way late binding does: letter case does not matter.
bool sameName(std::u16string_view a, std::u16string_view b) noexcept;

// The argument passed under name, looked up as members are; nullptr when it was not passed.
const Variant* namedArgument(const std::vector<NamedArgument>& named, std::u16string_view name);

}  // namespace quorvane::automation
