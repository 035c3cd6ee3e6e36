#pragma once

#include <guiddef.h>

namespace quorvane::test {

// The fake out-of-process server's class, registered in the test prefix under kFakeServerProgId.
inline constexpr GUID kFakeServerClass = {
    0xa2a977b1, 0xc24a, 0x43b7, {0x8e, 0x64, 0x5f, 0x03, 0xcf, 0x01, 0xc0, 0x5d}};
inline constexpr char16_t kFakeServerProgId[] = u"Quorvane.TestWord";

}  // namespace quorvane::test
