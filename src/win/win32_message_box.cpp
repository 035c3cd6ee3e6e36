#include "win/win32_message_box.h"

#include <string>

namespace quorvane::win {
namespace {

std::wstring wide(std::u16string_view text) {
    return {text.begin(), text.end()};
}

}  // namespace

int Win32MessageBox::show(std::u16string_view text, std::u16string_view title, int flags) {
    // The classic flags are the system's own: Yes is the first button and so the default.
    const UINT type = static_cast<UINT>(flags) | MB_SETFOREGROUND;
    switch (
        ::MessageBoxW(owner_ ? owner_() : nullptr, wide(text).c_str(), wide(title).c_str(), type)) {
        case IDYES:
            return kYes;
        case IDNO:
            return kNo;
        default:
            return kOk;
    }
}

}  // namespace quorvane::win
