#include "os/text_encoding.h"

#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <memory>

namespace quorvane::os {

std::string toUtf8(std::u16string_view text) {
    std::string out;
    icu::UnicodeString(false, text.data(), static_cast<int32_t>(text.size())).toUTF8String(out);
    return out;
}

std::u16string fromUtf8(std::string_view text) {
    const auto u = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    return std::u16string(u.getBuffer(), static_cast<std::size_t>(u.length()));
}

std::optional<std::u16string> decodeStrictly(std::string_view bytes, JapaneseEncoding encoding) {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(
        ucnv_open(encoding == JapaneseEncoding::ShiftJis ? "windows-31j" : "EUC-JP", &status),
        ucnv_close);
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
    std::u16string out(bytes.size() + 1, u'\0');
    const int32_t length =
        ucnv_toUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                      static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status))
        return std::nullopt;
    out.resize(static_cast<std::size_t>(length));
    return out;
}

}  // namespace quorvane::os
