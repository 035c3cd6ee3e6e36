#include "automation/office/text_file_encoding.h"

#include <unicode/ucnv.h>

#include <memory>
#include <vector>

namespace quorvane::automation::office {

namespace {

// Whether every byte of text belongs to a character of the encoding.
bool decodes(std::string_view text, const char* encoding) {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(ucnv_open(encoding, &status),
                                                                       ucnv_close);
    if (U_FAILURE(status))
        return false;
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
    std::vector<UChar> out(text.size() + 1);
    ucnv_toUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()), text.data(),
                  static_cast<int32_t>(text.size()), &status);
    return U_SUCCESS(status);
}

std::string lineEnd(std::string_view text) {
    if (text.find("\r\n") != std::string_view::npos)
        return "CRLF";
    if (text.find('\n') != std::string_view::npos)
        return "LF";
    return text.find('\r') != std::string_view::npos ? "CR" : "CRLF";
}

}  // namespace

std::optional<std::string> textFilterOptions(std::string_view bytes) {
    for (const std::string_view mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
        if (bytes.starts_with(mark))
            return std::string();
    }
    if (decodes(bytes, "UTF-8"))
        return std::string();
    // Windows' Shift_JIS first: a byte string that is both is far more often written on Windows.
    for (const auto& [icu, office] : {std::pair{"windows-31j", "MS_932"}, {"EUC-JP", "EUC_JP"}}) {
        if (decodes(bytes, icu))
            return std::string(office) + "," + lineEnd(bytes) + ",,,false";
    }
    return std::nullopt;
}

}  // namespace quorvane::automation::office
