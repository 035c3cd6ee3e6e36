#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane::os {

// UTF-16 is the program's own text; UTF-8 is what the system, ICU and the console speak.
// Ill-formed input is replaced by U+FFFD rather than rejected: these texts are for people.
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

// The Japanese encodings plain-text files come in besides Unicode.
enum class JapaneseEncoding {
    // Windows' Shift_JIS (code page 932).
    ShiftJis,
    EucJp,
};
// The text the bytes encode, or nothing when they are not all of that encoding.
std::optional<std::u16string> decodeStrictly(std::string_view bytes, JapaneseEncoding encoding);

}  // namespace quorvane::os
