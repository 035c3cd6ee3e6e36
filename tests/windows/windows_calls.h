#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>

// System calls of the code under test, as a test binary linked with
// tests/windows/windows_calls.cmake sees them: the program's own objects call these through the
// linker's --wrap, so the shipped programs call the system directly and carry none of this.
namespace quorvane::test::windows_calls {

// Stands for ReplaceFileW: false, with the error it sets, for a failure.
using Replacer = std::function<bool(const std::filesystem::path& replaced,
                                    const std::filesystem::path& replacement,
                                    const std::filesystem::path& backup, DWORD& error)>;

// ReplaceFileW does what replacer does instead, until this is called again with nothing.
void replaceFileWith(Replacer replacer);

// The next calls of BCryptGenRandom get these bytes, in order, before the system's own again; a
// call for more than are left gets the system's.
void chooseRandomBytes(std::string bytes);
// Whether every chosen byte was taken.
bool randomBytesTaken();

}  // namespace quorvane::test::windows_calls
