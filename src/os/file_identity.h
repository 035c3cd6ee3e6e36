#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

struct stat;

namespace quorvane::os {

// What tells one state of a file on disk from any other: a rewrite or replacement changes at
// least one of these, including the change time nobody can set back. On Windows the device is the
// volume's serial number and the inode the file's index on it.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::int64_t changedSeconds = 0;
    std::int64_t changedNanoseconds = 0;

    // Of the file at path, links followed; nothing when there is none.
    static std::optional<FileIdentity> of(const std::filesystem::path& path);
#ifdef _WIN32
    // Of the open file (a HANDLE); nothing when the system does not tell.
    static std::optional<FileIdentity> of(void* file);
#else
    static FileIdentity of(const struct stat& st);
#endif
    bool operator==(const FileIdentity&) const = default;
};

}  // namespace quorvane::os
