#include "windows_calls.h"

#include <bcrypt.h>

#include <cstring>
#include <mutex>
#include <utility>

namespace quorvane::test::windows_calls {
namespace {

std::mutex mutex;
Replacer replacer;
std::string randomBytes;

}  // namespace

void replaceFileWith(Replacer instead) {
    const std::lock_guard lock(mutex);
    replacer = std::move(instead);
}

void chooseRandomBytes(std::string bytes) {
    const std::lock_guard lock(mutex);
    randomBytes = std::move(bytes);
}

bool randomBytesTaken() {
    const std::lock_guard lock(mutex);
    return randomBytes.empty();
}

}  // namespace quorvane::test::windows_calls

using namespace quorvane::test::windows_calls;

extern "C" {

NTSTATUS WINAPI __real_BCryptGenRandom(BCRYPT_ALG_HANDLE algorithm, PUCHAR buffer, ULONG size,
                                       ULONG flags);

NTSTATUS WINAPI __wrap_BCryptGenRandom(BCRYPT_ALG_HANDLE algorithm, PUCHAR buffer, ULONG size,
                                       ULONG flags) {
    const std::lock_guard lock(mutex);
    if (randomBytes.size() < size)
        return __real_BCryptGenRandom(algorithm, buffer, size, flags);
    std::memcpy(buffer, randomBytes.data(), size);
    randomBytes.erase(0, size);
    return 0;
}

// ReplaceFileW is imported: what is wrapped is its entry in the import table.
extern decltype(&ReplaceFileW) __real___imp_ReplaceFileW;

static BOOL WINAPI replaceFile(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags,
                               LPVOID exclude, LPVOID reserved) {
    std::unique_lock lock(mutex);
    const Replacer instead = replacer;
    lock.unlock();
    if (!instead)
        return __real___imp_ReplaceFileW(replaced, replacement, backup, flags, exclude, reserved);
    DWORD error = 0;
    if (instead(replaced, replacement, backup ? backup : L"", error))
        return TRUE;
    SetLastError(error);
    return FALSE;
}

decltype(&ReplaceFileW) __wrap___imp_ReplaceFileW = &replaceFile;
}
