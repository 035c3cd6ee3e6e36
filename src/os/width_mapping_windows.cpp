#include <windows.h>

#include "os/error.h"
#include "os/os_messages.h"
#include "os/width_mapping.h"

namespace quorvane::os {
namespace {

// The system's own width conversion, the one the word processor's users know from Windows. The
// invariant locale keeps the result the same whatever the user's settings.
std::u16string mapWidth(std::u16string_view text, DWORD flags) {
    if (text.empty())
        return {};
    const auto* source = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int size = LCMapStringEx(LOCALE_NAME_INVARIANT, flags, source, length, nullptr, 0,
                                   nullptr, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    if (size == 0 ||
        LCMapStringEx(LOCALE_NAME_INVARIANT, flags, source, length,
                      reinterpret_cast<wchar_t*>(out.data()), size, nullptr, nullptr, 0) != size) {
        throw Error(messages::widthNotMapped());
    }
    return out;
}

}  // namespace

std::u16string toFullWidth(std::u16string_view text) {
    return mapWidth(text, LCMAP_FULLWIDTH);
}

std::u16string toHalfWidth(std::u16string_view text) {
    return mapWidth(text, LCMAP_HALFWIDTH);
}

}  // namespace quorvane::os
