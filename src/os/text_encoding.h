#pragma once

#include <string>
#include <string_view>

namespace quorvane::os {

// UTF-16 is the program's own text; UTF-8 is what the system, ICU and the console speak.
// Ill-formed input is replaced by U+FFFD rather than rejected: these texts are for people.
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

}  // namespace quorvane::os
