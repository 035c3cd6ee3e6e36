#include "os/atomic_save.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "os/file_system.h"
#include "os/log.h"
#include "os/os_messages.h"
#include "os/private_folder.h"
#include "os/text_encoding.h"

namespace quorvane::os {

namespace fs = std::filesystem;

namespace {

// A file of ours this old, whose process has ended, was left by a run that did not finish.
constexpr std::chrono::minutes kAbandonedAfter{10};
constexpr int kNameAttempts = 8;

[[noreturn]] void fail(const char* what, const fs::path& path, int error) {
    log::problem(std::string(what) + "：" + path.string() + "：" + std::strerror(error));
    throw SaveError(writeFailure(error), error);
}

[[noreturn]] void changedMeanwhile(const fs::path& path) {
    log::problem("読み込んだ後にほかのプログラムが書き換えたため置き換えません：" + path.string());
    throw SaveError(messages::changedMeanwhile(), 0);
}

// Sixteen hex digits from the system's random source: a name nobody can plant in advance.
std::string randomPart() {
    unsigned char bytes[8] = {};
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw SaveError(writeFailure(EIO), EIO);
        got += static_cast<std::size_t>(n);
    }
    char text[17];
    for (std::size_t i = 0; i < sizeof bytes; ++i)
        std::snprintf(text + 2 * i, 3, "%02x", bytes[i]);
    return text;
}

// A copy of a document's old content, kept while the new one is written over it; never removed
// as abandoned, as after a crash it may be the only whole version.
constexpr std::string_view kOldContent = ".orig";

// Whether name is one a run of ours gives its new files: this scheme and that of earlier versions
// for saved documents (".~quorvane-<pid>-..."), and the one for copies (".quorvane-<hex>.part"),
// which names no process.
bool ourName(std::string_view name, bool& namesProcess) {
    namesProcess = name.starts_with(AtomicSave::kPrefix);
    if (namesProcess)
        return !name.ends_with(kOldContent);
    return name.starts_with(".quorvane-") && name.ends_with(".part");
}

// Removes, once per folder and process, the new files of ours that runs killed before they were
// done left there: ours by name and owner, not changed for a while, and of a process that is gone.
void removeAbandoned(const fs::path& folder) {
    static std::mutex mutex;
    static std::set<fs::path> swept;
    {
        const std::lock_guard lock(mutex);
        if (!swept.insert(folder).second)
            return;
    }
    const Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* listing = fd.valid() ? ::fdopendir(::dup(fd.get())) : nullptr;
    if (!listing)
        return;
    const auto now = std::chrono::system_clock::now();
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name(entry->d_name);
        bool namesProcess = false;
        struct stat st {};
        if (!ourName(name, namesProcess) ||
            (namesProcess &&
             !private_folders::ownerGone(name.substr(AtomicSave::kPrefix.size()))) ||
            ::fstatat(fd.get(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) {
            continue;
        }
        const auto modified = std::chrono::system_clock::from_time_t(st.st_mtim.tv_sec);
        if (now - modified < kAbandonedAfter)
            continue;
        log::detail("中断された保存の一時ファイルを削除します：" + (folder / name).string());
        ::unlinkat(fd.get(), entry->d_name, 0);
    }
    ::closedir(listing);
}

// A new file beside destination, created where nothing was, never through a link.
Descriptor createBeside(const fs::path& destination, fs::path& path,
                        std::string_view suffix = ".tmp") {
    for (int attempt = 1;; ++attempt) {
        path = destination.parent_path() /
               (std::string(AtomicSave::kPrefix) + std::to_string(::getpid()) + "-" + randomPart() +
                std::string(suffix));
        Descriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                             S_IRUSR | S_IWUSR));
        if (fd.valid())
            return fd;
        const int error = errno;
        path.clear();
        if (error != EEXIST || attempt == kNameAttempts)
            fail("一時ファイルを作れません", destination, error);
    }
}

void writeAll(int fd, const char* data, std::size_t size, off_t offset, const fs::path& path) {
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, size, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            fail("書き込めません", path, written < 0 ? errno : EIO);
        data += written;
        size -= static_cast<std::size_t>(written);
        offset += written;
    }
}

// Copies every byte of from, from its start, over to from its start, and cuts to where it ends.
void copyContent(int from, int to, const fs::path& path) {
    std::array<char, 128 * 1024> buffer;
    off_t offset = 0;
    while (true) {
        const ssize_t got = ::pread(from, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail("読み取れません", path, errno);
        if (got == 0)
            break;
        writeAll(to, buffer.data(), static_cast<std::size_t>(got), offset, path);
        offset += got;
    }
    if (::ftruncate(to, offset) != 0)
        fail("書き込めません", path, errno);
}

void flush(int fd, const fs::path& path) {
    if (::fsync(fd) != 0)
        fail("ディスクに書き込めません", path, errno);
}

// Extended attributes whose loss the user would notice: their own, and the ACL.
bool mustKeep(std::string_view attribute) {
    return attribute.starts_with("user.") || attribute == "system.posix_acl_access";
}

// The names of fd's extended attributes, each ending in a NUL.
std::string attributeNames(int fd) {
    std::string names;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size <= 0)
            return {};
        names.resize(static_cast<std::size_t>(size));
        const ssize_t got = ::flistxattr(fd, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            return names;
        }
        if (errno != ERANGE)
            return {};
    }
    return {};
}

}  // namespace

std::u16string writeFailure(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return messages::noSpace();
        case ENAMETOOLONG:
            return messages::nameTooLong();
        case EACCES:
        case EPERM:
            return messages::noPermission();
        case EROFS:
            return messages::readOnlyDisk();
        case ETXTBSY:
        case EBUSY:
            return messages::inUse();
        case ENOENT:
        case ENOTDIR:
            return messages::folderNotFound();
        case EIO:
            return messages::diskError();
        case EEXIST:
            return messages::alreadyExists();
        default:
            return messages::notWritten();
    }
}

AtomicSave::AtomicSave(fs::path destination) : destination_(std::move(destination)) {
    removeAbandoned(destination_.parent_path());
    fd_ = createBeside(destination_, path_);
}

AtomicSave::AtomicSave(fs::path destination, WrittenByAnother reserved)
    : destination_(std::move(destination)) {
    removeAbandoned(destination_.parent_path());
    fd_ = createBeside(destination_, path_, reserved.extension.native());
    // The other program writes by name, and may put a file of its own there.
    fd_ = Descriptor();
}

AtomicSave::~AtomicSave() {
    if (!committed_ && !path_.empty())
        ::unlink(path_.c_str());
}

void AtomicSave::write(std::string_view bytes) {
    const off_t end = ::lseek(fd_.get(), 0, SEEK_END);
    writeAll(fd_.get(), bytes.data(), bytes.size(), end < 0 ? 0 : end, destination_);
}

void AtomicSave::copyFrom(int fd) {
    copyContent(fd, fd_.get(), destination_);
}

void AtomicSave::keepIdentity(int destination, const struct stat& st) {
    // Only root may give a file to someone else; anyone else keeps the new version as their own,
    // which is what writing a file means for them, and a group they belong to.
    const bool owner = ::fchown(fd_.get(), st.st_uid, st.st_gid) == 0 ||
                       (st.st_uid == ::geteuid() && ::fchown(fd_.get(), -1, st.st_gid) == 0);
    if (::fchmod(fd_.get(), owner ? st.st_mode & 07777 : st.st_mode & 0777) != 0)
        fail("権限を設定できません", destination_, errno);
    // The ACL comes last: it sets the group bits (its mask) as they were.
    const std::string names = attributeNames(destination);
    std::vector<char> value;
    for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
        const char* name = names.c_str() + at;
        const ssize_t size = ::fgetxattr(destination, name, nullptr, 0);
        value.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
        const ssize_t got =
            size < 0 ? -1 : ::fgetxattr(destination, name, value.data(), value.size());
        if (got < 0 ||
            ::fsetxattr(fd_.get(), name, value.data(), static_cast<std::size_t>(got), 0) != 0) {
            const int error = errno;
            log::problem(std::string("拡張属性を引き継げません：") + name + "：" +
                         destination_.string() + "：" + std::strerror(error));
            if (mustKeep(name)) {
                throw SaveError(messages::attributesNotKept(), error);
            }
        }
    }
}

void AtomicSave::openWritten() {
    fd_ = Descriptor(::open(path_.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd_.valid())
        fail("保存したファイルを開けません", path_, errno);
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1)
        fail("保存したファイルが通常のファイルではありません", path_, EINVAL);
}

void AtomicSave::commit(const std::optional<FileIdentity>& expected) {
    if (!fd_.valid())
        openWritten();
    // Not blocking: a pipe put in the document's place must not hold the save.
    const Descriptor destination(
        ::open(destination_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    const bool exists = destination.valid() && ::fstat(destination.get(), &st) == 0;
    if (!destination.valid() && errno != ENOENT && errno != ELOOP)
        fail("文書を開けません", destination_, errno);
    if (expected && (!exists || FileIdentity::of(st) != *expected))
        changedMeanwhile(destination_);
    if (exists && S_ISREG(st.st_mode) && st.st_nlink > 1) {
        overwrite(destination.get(), st);
        return;
    }
    if (!takeSourceIdentity()) {
        if (mode_ && ::fchmod(fd_.get(), *mode_) != 0)
            fail("権限を設定できません", destination_, errno);
        if (!mode_ && exists)
            keepIdentity(destination.get(), st);
    }
    // On disk before it takes the name: a crash of the machine must not leave an empty file where
    // the document was, nor a write the disk refused late.
    flush(fd_.get(), path_);
    if (!fd_.close())
        fail("ディスクに書き込めません", path_, errno);
    if (expected) {
        // As close to the rename as it can be: what was checked above is what is replaced.
        struct stat now {};
        if (::lstat(destination_.c_str(), &now) != 0 || FileIdentity::of(now) != *expected)
            changedMeanwhile(destination_);
    }
    if (::rename(path_.c_str(), destination_.c_str()) != 0)
        fail("文書を置き換えられません", destination_, errno);
    committed_ = true;
    // The rename itself reaches the disk.
    const Descriptor folder(
        ::open(destination_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid())
        ::fsync(folder.get());
}

void AtomicSave::commitNew() {
    if (!fd_.valid())
        openWritten();
    if (!takeSourceIdentity() && mode_ && ::fchmod(fd_.get(), *mode_) != 0)
        fail("権限を設定できません", destination_, errno);
    flush(fd_.get(), path_);
    if (!fd_.close())
        fail("ディスクに書き込めません", path_, errno);
    if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, destination_.c_str(), RENAME_NOREPLACE) !=
        0) {
        // A file system that cannot rename so: a second name never takes an existing one either.
        if (errno != EINVAL && errno != ENOSYS)
            fail("ファイルを置けません", destination_, errno);
        if (::link(path_.c_str(), destination_.c_str()) != 0)
            fail("ファイルを置けません", destination_, errno);
        ::unlink(path_.c_str());
    }
    committed_ = true;
    const Descriptor folder(
        ::open(destination_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid())
        ::fsync(folder.get());
}

bool AtomicSave::takeSourceIdentity() {
    if (identitySource_ < 0)
        return false;
    struct stat st {};
    if (::fstat(identitySource_, &st) != 0)
        fail("元のファイルを調べられません", destination_, errno);
    keepIdentity(identitySource_, st);
    const struct timespec times[] = {st.st_atim, st.st_mtim};
    if (::futimens(fd_.get(), times) != 0)
        fail("日時を設定できません", destination_, errno);
    return true;
}

// The file has other names, which a rename would leave with the old content: the new content is
// written over it, from a copy of the old content again should that fail half way.
void AtomicSave::overwrite(int destination, const struct stat& st) {
    flush(fd_.get(), path_);
    fs::path backupPath;
    Descriptor backup = createBeside(destination_, backupPath, kOldContent);
    struct Remove {
        fs::path& path;
        ~Remove() {
            if (!path.empty())
                ::unlink(path.c_str());
        }
    } removeBackup{backupPath};
    copyContent(destination, backup.get(), backupPath);
    flush(backup.get(), backupPath);

    Descriptor target(::open(destination_.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat now {};
    if (!target.valid())
        fail("文書を開けません", destination_, errno);
    if (::fstat(target.get(), &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino)
        changedMeanwhile(destination_);
    try {
        copyContent(fd_.get(), target.get(), destination_);
        flush(target.get(), destination_);
    } catch (const SaveError& failure) {
        try {
            copyContent(backup.get(), target.get(), destination_);
            flush(target.get(), destination_);
        } catch (const SaveError&) {
            log::problem("元の内容を書き戻せません。元の内容は次に残しました：" +
                         backupPath.string());
            const fs::path kept = std::exchange(backupPath, fs::path());
            throw SaveError(
                failure.message() + messages::oldContentKept(fromNativePath(kept.filename())),
                failure.cause(), kept);
        }
        throw;
    }
    if (!target.close())
        fail("ディスクに書き込めません", destination_, errno);
}

}  // namespace quorvane::os
