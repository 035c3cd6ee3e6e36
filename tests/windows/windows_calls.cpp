#include "windows_calls.h"

#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

namespace quorvane::test::windows_calls {
namespace {

std::mutex mutex;
Replacer replacer;
std::string randomBytes;

}  // namespace

ReplaceFileInstead::ReplaceFileInstead(Replacer instead) {
    const std::lock_guard lock(mutex);
    replacer = std::move(instead);
}

ReplaceFileInstead::~ReplaceFileInstead() {
    const std::lock_guard lock(mutex);
    replacer = nullptr;
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
    {
        const std::lock_guard lock(mutex);
        if (!randomBytes.empty()) {
            const ULONG n = static_cast<ULONG>(std::min<std::size_t>(size, randomBytes.size()));
            std::memcpy(buffer, randomBytes.data(), n);
            randomBytes.erase(0, n);
            if (n == size)
                return 0;
            buffer += n;
            size -= n;
        }
    }
    return __real_BCryptGenRandom(algorithm, buffer, size, flags);
}

// ReplaceFileW is imported: its callers go through the import table's entry, which is what is
// wrapped.
extern decltype(&ReplaceFileW) __real___imp_ReplaceFileW;

static BOOL WINAPI replaceFile(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags,
                               LPVOID exclude, LPVOID reserved) {
    Replacer instead;
    {
        const std::lock_guard lock(mutex);
        instead = replacer;
    }
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
