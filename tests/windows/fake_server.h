#pragma once

#include <guiddef.h>

namespace quorvane::test {

// The fake out-of-process server's classes, registered in the test prefix by
// register-fake-server: the plain fake, and one that dies when asked to open a document.
inline constexpr GUID kFakeServerClass = {
    0xa2a977b1, 0xc24a, 0x43b7, {0x8e, 0x64, 0x5f, 0x03, 0xcf, 0x01, 0xc0, 0x5d}};
inline constexpr GUID kDyingServerClass = {
    0x1fc4ce90, 0x73d7, 0x44a0, {0xa1, 0xa4, 0xe6, 0x61, 0x97, 0x67, 0xcf, 0x51}};
inline constexpr char16_t kFakeServerProgId[] = u"Quorvane.TestWord";
inline constexpr char16_t kDyingServerProgId[] = u"Quorvane.TestWordDying";

}  // namespace quorvane::test
