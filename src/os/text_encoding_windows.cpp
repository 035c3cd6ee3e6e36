#include <windows.h>

#include "os/text_encoding.h"

namespace quorvane::os {

// Without MB_ERR_INVALID_CHARS / WC_ERR_INVALID_CHARS the system replaces ill-formed input by
// U+FFFD, as the ICU build does.

std::string toUtf8(std::u16string_view text) {
    if (text.empty())
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, length, out.data(), size, nullptr, nullptr);
    return out;
}

std::u16string fromUtf8(std::string_view text) {
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, reinterpret_cast<wchar_t*>(out.data()),
                        size);
    return out;
}

std::optional<std::u16string> decodeStrictly(std::string_view bytes, JapaneseEncoding encoding) {
    if (bytes.empty())
        return std::u16string();
    const UINT codePage = encoding == JapaneseEncoding::ShiftJis ? 932 : 20932;
    const int length = static_cast<int>(bytes.size());
    const int size =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (size == 0)
        return std::nullopt;
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length,
                        reinterpret_cast<wchar_t*>(out.data()), size);
    return out;
}

}  // namespace quorvane::os
