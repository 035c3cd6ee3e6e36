#pragma once

#include <string>
#include <string_view>

namespace quorvane::os {

// Full-width and half-width forms of a text: ASCII and the wide Latin letters and digits,
// half-width and full-width katakana (ｶﾞ and ガ compose and split). Characters without a form of
// the other width, such as kanji and hiragana, are left as they are.
std::u16string toFullWidth(std::u16string_view text);
std::u16string toHalfWidth(std::u16string_view text);

}  // namespace quorvane::os
