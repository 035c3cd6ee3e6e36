#include "automation/member_name.h"

#include <algorithm>

namespace quorvane::automation {
namespace {

char16_t foldAscii(char16_t c) noexcept {
    return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c;
}

}  // namespace

bool sameName(std::u16string_view a, std::u16string_view b) noexcept {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char16_t x, char16_t y) { return foldAscii(x) == foldAscii(y); });
}

const Variant* namedArgument(const std::vector<NamedArgument>& named, std::u16string_view name) {
    for (const auto& a : named) {
        if (sameName(a.name, name))
            return &a.value;
    }
    return nullptr;
}

}  // namespace quorvane::automation
