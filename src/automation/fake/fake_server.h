#pragma once

#include <guiddef.h>

namespace quorvane::automation::fake {

// The fake out-of-process server's classes, registered in the test prefix by
// register-fake-server: the plain fake, one that dies when asked to open a document, one that
// never answers that call, one that rejects its first calls as a busy server does, and one that
// never finishes starting.
inline constexpr GUID kFakeServerClass = {
    0xa2a977b1, 0xc24a, 0x43b7, {0x8e, 0x64, 0x5f, 0x03, 0xcf, 0x01, 0xc0, 0x5d}};
inline constexpr GUID kDyingServerClass = {
    0x1fc4ce90, 0x73d7, 0x44a0, {0xa1, 0xa4, 0xe6, 0x61, 0x97, 0x67, 0xcf, 0x51}};
inline constexpr GUID kHangingServerClass = {
    0x5b0e7c2a, 0x3d41, 0x4f8e, {0x9a, 0x27, 0x61, 0xc4, 0x0b, 0x8d, 0x2e, 0x93}};
inline constexpr GUID kBusyServerClass = {
    0x8c6d1f40, 0x27b9, 0x4a55, {0xb3, 0x0e, 0x94, 0x7a, 0x52, 0x1c, 0xd6, 0x08}};
inline constexpr GUID kStuckServerClass = {
    0x3e9a5c71, 0x8b2d, 0x4f06, {0xa4, 0x1c, 0x72, 0xd0, 0x95, 0xe3, 0x6b, 0x18}};
inline constexpr char16_t kFakeServerProgId[] = u"Quorvane.TestWord";
inline constexpr char16_t kStuckServerProgId[] = u"Quorvane.TestWordStuck";
inline constexpr char16_t kDyingServerProgId[] = u"Quorvane.TestWordDying";
inline constexpr char16_t kHangingServerProgId[] = u"Quorvane.TestWordHanging";
inline constexpr char16_t kBusyServerProgId[] = u"Quorvane.TestWordBusy";
// Calls the busy server rejects before it accepts.
inline constexpr int kBusyRejections = 3;

}  // namespace quorvane::automation::fake
