#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane::os {

// UTF-16 is the program's own text; UTF-8 is what the system, ICU and the console speak.
// Ill-formed input is replaced by U+FFFD rather than rejected: these texts are for people.
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

// Appends one code point, encoded in UTF-8.
inline void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// One field of a line of tab-separated fields: a backslash, a tab, a line feed and a carriage
// return in it are written \\, \t, \n and \r.
inline std::string escapedField(std::string_view field) {
    std::string out;
    for (const char c : field) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The Japanese encodings plain-text files come in besides Unicode.
enum class JapaneseEncoding {
    // Windows' Shift_JIS (code page 932).
    ShiftJis,
    EucJp,
};
// The text the bytes encode, or nothing when they are not all of that encoding.
std::optional<std::u16string> decodeStrictly(std::string_view bytes, JapaneseEncoding encoding);

}  // namespace quorvane::os
