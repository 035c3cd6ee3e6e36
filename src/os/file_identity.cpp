#include "os/file_identity.h"

#include <sys/stat.h>

namespace quorvane::os {

std::optional<FileIdentity> FileIdentity::of(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return of(st);
}

FileIdentity FileIdentity::of(const struct stat& st) {
    return FileIdentity{
        static_cast<std::uint64_t>(st.st_dev),         static_cast<std::uint64_t>(st.st_ino),
        static_cast<std::int64_t>(st.st_size),         static_cast<std::int64_t>(st.st_mtim.tv_sec),
        static_cast<std::int64_t>(st.st_mtim.tv_nsec), static_cast<std::int64_t>(st.st_ctim.tv_sec),
        static_cast<std::int64_t>(st.st_ctim.tv_nsec)};
}

}  // namespace quorvane::os
