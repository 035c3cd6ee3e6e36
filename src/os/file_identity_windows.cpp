#include "os/file_identity.h"

#include <windows.h>

#include "os/unique_handle.h"

namespace quorvane::os {

namespace {

// A FILETIME's 100-nanosecond ticks as seconds and nanoseconds.
void split(LARGE_INTEGER ticks, std::int64_t& seconds, std::int64_t& nanoseconds) {
    seconds = ticks.QuadPart / 10'000'000;
    nanoseconds = ticks.QuadPart % 10'000'000 * 100;
}

}  // namespace

std::optional<FileIdentity> FileIdentity::of(const std::filesystem::path& path) {
    // No access asked: what the file is can be read whoever holds it open, however they share it.
    const KernelHandle file(
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file)
        return std::nullopt;
    return of(file.get());
}

std::optional<FileIdentity> FileIdentity::of(void* file) {
    BY_HANDLE_FILE_INFORMATION information{};
    FILE_BASIC_INFO times{};
    if (!GetFileInformationByHandle(file, &information) ||
        !GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times)) {
        return std::nullopt;
    }
    FileIdentity identity;
    identity.device = information.dwVolumeSerialNumber;
    identity.inode = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    identity.size = static_cast<std::int64_t>((std::uint64_t{information.nFileSizeHigh} << 32) |
                                              information.nFileSizeLow);
    split(times.LastWriteTime, identity.modifiedSeconds, identity.modifiedNanoseconds);
    split(times.ChangeTime, identity.changedSeconds, identity.changedNanoseconds);
    return identity;
}

}  // namespace quorvane::os
