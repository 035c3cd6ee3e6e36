#include "os/private_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>

#include "os/descriptor.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/os_messages.h"
#include "os/text_encoding.h"

namespace quorvane::os::private_folders {

namespace fs = std::filesystem;

namespace {

// Roots made in the temporary folder: "quorvane-<pid>-XXXXXX".
constexpr std::string_view kRootPrefix = "quorvane-";

bool privateToUs(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// Removes name in parent and, for a folder, all it holds; a link is removed, never followed.
// Only what this user owns is touched.
void removeAt(int parent, const char* name) noexcept {
    struct stat st {};
    if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_uid != ::geteuid())
        return;
    if (!S_ISDIR(st.st_mode)) {
        ::unlinkat(parent, name, 0);
        return;
    }
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR* folder = ::fdopendir(fd);
    if (!folder) {
        ::close(fd);
        return;
    }
    while (const dirent* entry = ::readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            removeAt(fd, entry->d_name);
    }
    ::closedir(folder);
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

void removePath(const fs::path& path) noexcept {
    const Descriptor parent(::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parent.valid())
        removeAt(parent.get(), path.filename().c_str());
}

// The root of this process, removed with it when it is one of its own.
class Root final {
  public:
    Root() {
        if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
            struct stat st {};
            const fs::path own = fs::path(runtime) / "quorvane";
            if (::lstat(runtime, &st) == 0 && privateToUs(st)) {
                ::mkdir(own.c_str(), 0700);
                if (::lstat(own.c_str(), &st) == 0 && privateToUs(st)) {
                    path_ = own;
                    return;
                }
            }
            log::problem("実行時フォルダーが本人専用でないため使いません：" + std::string(runtime));
        }
        std::error_code error;
        const fs::path temporary = fs::temp_directory_path(error);
        std::string pattern = (error ? fs::path("/tmp") : temporary) /
                              (std::string(kRootPrefix) + std::to_string(::getpid()) + "-XXXXXX");
        if (!::mkdtemp(pattern.data())) {
            const int cause = errno;
            log::problem("作業用のフォルダーを作れません：" + pattern + "：" +
                         std::strerror(cause));
            return;
        }
        path_ = pattern;
        ownedByProcess_ = true;
    }
    ~Root() {
        if (ownedByProcess_)
            removePath(path_);
    }
    Root(const Root&) = delete;
    Root& operator=(const Root&) = delete;

    const fs::path& path() const {
        if (path_.empty())
            throw FileSystemError(messages::privateFolderNotMade());
        return path_;
    }

  private:
    fs::path path_;
    bool ownedByProcess_ = false;
};

const Root& theRoot() {
    static const Root root;
    return root;
}

// Removes the entries of folder whose names say their process has ended and that are folders of
// ours, private to us.
void removeAbandonedIn(const fs::path& folder, std::string_view prefix,
                       const std::function<void(const fs::path&)>& before) noexcept {
    const Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return;
    DIR* listing = ::fdopendir(::dup(fd.get()));
    if (!listing)
        return;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name(entry->d_name);
        struct stat st {};
        if (!name.starts_with(prefix) || !ownerGone(name.substr(prefix.size())) ||
            ::fstatat(fd.get(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !privateToUs(st)) {
            continue;
        }
        log::detail("終了したプロセスの作業用フォルダーを削除します：" + (folder / name).string());
        if (before)
            before(folder / name);
        removeAt(fd.get(), entry->d_name);
    }
    ::closedir(listing);
}

}  // namespace

fs::path root() {
    return theRoot().path();
}

fs::path create(std::string_view name) {
    const fs::path folder = root() / (std::to_string(::getpid()) + "-" + std::string(name));
    if (::mkdir(folder.c_str(), 0700) != 0) {
        const int cause = errno;
        log::problem("作業用のフォルダーを作れません：" + folder.string() + "：" +
                     std::strerror(cause));
        throw FileSystemError(messages::privateFolderNotMade());
    }
    return folder;
}

void remove(const fs::path& folder) noexcept {
    removePath(folder);
}

void removeAbandoned(const std::function<void(const fs::path&)>& before) noexcept {
    try {
        removeAbandonedIn(root(), "", before);
    } catch (const FileSystemError&) {
        return;
    }
    std::error_code error;
    const fs::path temporary = fs::temp_directory_path(error);
    if (!error)
        removeAbandonedIn(temporary, kRootPrefix, {});
}

bool ownerGone(std::string_view name) noexcept {
    long pid = 0;
    const auto [end, failed] = std::from_chars(name.data(), name.data() + name.size(), pid);
    return failed == std::errc{} && end != name.data() && end != name.data() + name.size() &&
           *end == '-' && processEnded(pid);
}

bool processEnded(long pid) noexcept {
    const auto process = static_cast<pid_t>(pid);
    return pid > 0 && process == pid && process != ::getpid() && ::kill(process, 0) != 0 &&
           errno == ESRCH;
}

}  // namespace quorvane::os::private_folders
