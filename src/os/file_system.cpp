#include "os/file_system.h"

#include "os/atomic_save.h"
#include "os/log.h"
#include "os/os_messages.h"
#include "os/text_encoding.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <optional>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include "os/unique_handle.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "os/descriptor.h"
#endif

namespace quorvane::os {
namespace fs = std::filesystem;

namespace {

#ifndef _WIN32
// Native names are UTF-8 bytes here; Windows names are UTF-16 already.
void appendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Length of the well-formed UTF-8 sequence at s[i], or 0 when there is none.
std::size_t utf8SequenceAt(const std::string& s, std::size_t i, char32_t& c) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        c = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        n = 2, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4, c = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return n;
}
#endif

#ifndef _WIN32
bool isHiddenName(const fs::path& name) {
    const auto& n = name.native();
    return !n.empty() && n.front() == '.';
}

// A temporary file of the office's own ("lu" + its process id + letters and digits + ".tmp"),
// which a killed office leaves beside the documents it was saving.
bool isOfficeTemporary(const fs::path& name) {
    std::string_view n = name.native();
    if (!n.starts_with("lu") || !n.ends_with(".tmp"))
        return false;
    n = n.substr(2, n.size() - 6);
    return !n.empty() && n.front() >= '0' && n.front() <= '9' &&
           n.find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyz") == std::string_view::npos;
}
#endif

}  // namespace

std::u16string describe(const std::error_code& ec) {
    // Compared as conditions, so that system codes of either platform (errno values, Windows
    // error numbers) find their words.
    if (ec == std::errc::no_such_file_or_directory)
        return messages::notFound();
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted)
        return messages::accessDenied();
    if (ec == std::errc::not_a_directory)
        return messages::notAFolder();
    if (ec == std::errc::filename_too_long)
        return messages::pathTooLong();
    if (ec == std::errc::too_many_symbolic_link_levels)
        return messages::linkLoop();
    if (ec == std::errc::io_error)
        return messages::ioError();
    if (ec == std::errc::no_space_on_device)
        return messages::diskFull();
    return messages::systemError(fromUtf8(std::to_string(ec.value())), fromUtf8(ec.message()));
}

namespace {

constexpr std::uint64_t kHashStart = 14695981039346656037ull;
constexpr std::uint64_t kHashPrime = 1099511628211ull;

void addToFingerprint(FileFingerprint& fingerprint, const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        fingerprint.hash ^= static_cast<unsigned char>(data[i]);
        fingerprint.hash *= kHashPrime;
    }
    fingerprint.size += size;
}

}  // namespace

fs::path toNativePath(std::u16string_view path) {
#ifdef _WIN32
    return fs::path(std::wstring(path.begin(), path.end()));
#else
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char16_t c = path[i];
        if (isHighSurrogate(c) && i + 1 < path.size() && isLowSurrogate(path[i + 1])) {
            appendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (path[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out += static_cast<char>(c - 0xDC00);  // a byte that was not UTF-8
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, c);
        }
    }
    return fs::path(std::move(out));
#endif
}

std::u16string fromNativePath(const fs::path& path) {
#ifdef _WIN32
    const auto& w = path.native();
    return std::u16string(w.begin(), w.end());
#else
    const std::string& s = path.native();
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t c = 0;
        if (const auto n = utf8SequenceAt(s, i, c); n > 0) {
            appendUtf16(out, c);
            i += n;
        } else {
            out += static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(s[i]));
            ++i;
        }
    }
    return out;
#endif
}

fs::path pathFromArgument(const std::string& argument) {
#ifdef _WIN32
    return toNativePath(fromUtf8(argument));
#else
    return fs::path(argument);
#endif
}

std::string pathForTerminal(std::u16string_view path) {
#ifdef _WIN32
    return toUtf8(path);
#else
    return toNativePath(path).native();
#endif
}

#ifdef _WIN32

namespace {

// A new file of a save in progress, or one that a killed run left; ours to remove, not to list.
bool isOurTemporary(std::wstring_view name) {
    return name.size() > AtomicSave::kPrefix.size() &&
           std::equal(AtomicSave::kPrefix.begin(), AtomicSave::kPrefix.end(), name.begin());
}

std::error_code lastError() {
    return {static_cast<int>(GetLastError()), std::system_category()};
}

std::wstring wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

}  // namespace

std::uint32_t fileAttributes(std::u16string_view path) {
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        throw FileSystemError(messages::notExamined(path, describe(lastError())));
    return attributes;
}

struct FolderListing::Impl {
    std::u16string folder;
    WIN32_FIND_DATAW entry{};
    FindHandle handle;
    bool pending = false;  // entry holds a name not yet looked at
};

FolderListing::FolderListing(std::u16string_view folder) : impl_(std::make_unique<Impl>()) {
    impl_->folder = folder;
    std::wstring pattern = wide(folder);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L"*.*";
    impl_->handle = FindHandle(FindFirstFileW(pattern.c_str(), &impl_->entry));
    if (impl_->handle) {
        impl_->pending = true;
        return;
    }
    // A drive's root has no "." entry: an empty one lists nothing, which is no failure.
    const std::error_code ec = lastError();
    const DWORD attributes = GetFileAttributesW(wide(folder).c_str());
    if (ec.value() != ERROR_FILE_NOT_FOUND || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        throw FileSystemError(messages::folderNotRead(folder, describe(ec)));
    }
}

FolderListing::~FolderListing() = default;

std::u16string FolderListing::next() {
    constexpr DWORD kNotListed =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    while (impl_->pending) {
        const WIN32_FIND_DATAW entry = impl_->entry;
        if (!FindNextFileW(impl_->handle.get(), &impl_->entry)) {
            const std::error_code ec = lastError();
            if (ec.value() != ERROR_NO_MORE_FILES)
                throw FileSystemError(messages::folderNotRead(impl_->folder, describe(ec)));
            impl_->pending = false;
        }
        const std::wstring_view name(entry.cFileName);
        if ((entry.dwFileAttributes & kNotListed) == 0 && !isOurTemporary(name))
            return std::u16string(name.begin(), name.end());
    }
    return {};
}

std::vector<std::u16string> subFolders(std::u16string_view folder) {
    std::wstring pattern = wide(folder);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L"*";
    WIN32_FIND_DATAW entry{};
    const FindHandle handle(FindFirstFileW(pattern.c_str(), &entry));
    std::vector<std::u16string> names;
    if (!handle) {
        const std::error_code ec = lastError();
        if (ec.value() == ERROR_FILE_NOT_FOUND)
            return names;
        throw FileSystemError(messages::folderNotRead(folder, describe(ec)));
    }
    constexpr DWORD kSkipped =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT;
    do {
        const std::wstring_view name(entry.cFileName);
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            (entry.dwFileAttributes & kSkipped) == 0 && name != L"." && name != L"..") {
            names.emplace_back(name.begin(), name.end());
        }
    } while (FindNextFileW(handle.get(), &entry));
    if (const std::error_code ec = lastError(); ec.value() != ERROR_NO_MORE_FILES)
        throw FileSystemError(messages::folderNotRead(folder, describe(ec)));
    return names;
}

#else

std::uint32_t fileAttributes(std::u16string_view path) {
    const fs::path native = toNativePath(path);
    std::error_code ec;
    const fs::file_status st = fs::status(native, ec);
    if (ec || !fs::exists(st)) {
        throw FileSystemError(messages::notExamined(
            path, describe(ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory))));
    }
    std::uint32_t attributes = 0;
    if (fs::is_directory(st))
        attributes |= kAttributeDirectory;
    if ((st.permissions() & fs::perms::owner_write) == fs::perms::none) {
        attributes |= kAttributeReadOnly;
    }
    if (isHiddenName(native.filename()))
        attributes |= kAttributeHidden;
    return attributes == 0 ? kAttributeNormal : attributes;
}

struct FolderListing::Impl {
    fs::directory_iterator it;
    std::u16string folder;
};

FolderListing::FolderListing(std::u16string_view folder) : impl_(std::make_unique<Impl>()) {
    impl_->folder = folder;
    std::error_code ec;
    impl_->it = fs::directory_iterator(toNativePath(folder), ec);
    if (ec)
        throw FileSystemError(messages::folderNotRead(folder, describe(ec)));
}

FolderListing::~FolderListing() = default;

std::u16string FolderListing::next() {
    std::error_code ec;
    for (auto& it = impl_->it; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            throw FileSystemError(messages::folderNotRead(impl_->folder, describe(ec)));
        const fs::path name = it->path().filename();
        std::error_code typeError;
        if (isHiddenName(name) || isOfficeTemporary(name) || !it->is_regular_file(typeError))
            continue;
        it.increment(ec);
        if (ec)
            throw FileSystemError(messages::folderNotRead(impl_->folder, describe(ec)));
        return fromNativePath(name);
    }
    if (ec)
        throw FileSystemError(messages::folderNotRead(impl_->folder, describe(ec)));
    return {};
}

std::vector<std::u16string> subFolders(std::u16string_view folder) {
    std::error_code ec;
    std::vector<std::u16string> names;
    for (fs::directory_iterator it(toNativePath(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code typeError;
        // A link is not followed: is_directory of the entry's own status, not its target's.
        if (!isHiddenName(it->path().filename()) && it->is_directory(typeError) &&
            !it->is_symlink(typeError)) {
            names.push_back(fromNativePath(it->path().filename()));
        }
    }
    if (ec)
        throw FileSystemError(messages::folderNotRead(folder, describe(ec)));
    return names;
}

#endif

std::error_code createFolder(std::u16string_view path) {
    std::error_code ec;
    if (!fs::create_directory(toNativePath(path), ec) && !ec)
        ec = std::make_error_code(std::errc::file_exists);
    return ec;
}

#ifdef _WIN32

namespace {

// A file opened to be read while others may read and write it too; nothing for a folder, a device
// or a pipe.
KernelHandle openToRead(const fs::path& path) {
    KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file && GetFileType(file.get()) != FILE_TYPE_DISK)
        return KernelHandle();
    return file;
}

// Whether two open files are one file.
bool sameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION one{};
    BY_HANDLE_FILE_INFORMATION other{};
    return GetFileInformationByHandle(a, &one) && GetFileInformationByHandle(b, &other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

Status refused(std::u16string reason) {
    log::problem(reason);
    return Status::refused(std::move(reason));
}

}  // namespace

Status copyFile(std::u16string_view source, std::u16string_view destination) {
    const fs::path from = toNativePath(source);
    const fs::path to = toNativePath(destination);
    const auto refuse = [&](std::u16string reason) {
        log::problem(u"コピーできません：" + std::u16string(source) + u" → " +
                     std::u16string(destination) + u"：" + reason);
        return Status::refused(std::move(reason));
    };
    const DWORD sourceAttributes = GetFileAttributesW(from.c_str());
    if (sourceAttributes != INVALID_FILE_ATTRIBUTES &&
        (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return refuse(messages::sourceNotRegular());
    }
    const KernelHandle in = openToRead(from);
    if (!in) {
        return refuse(sourceAttributes == INVALID_FILE_ATTRIBUTES
                          ? messages::sourceNotRead(describe(lastError()))
                          : messages::sourceNotRegular());
    }
    if (const DWORD existing = GetFileAttributesW(to.c_str());
        existing != INVALID_FILE_ATTRIBUTES) {
        const KernelHandle there(CreateFileW(to.c_str(), FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
        if (there && sameFile(in.get(), there.get()))
            return refuse(messages::destinationIsSource());
        if ((existing & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return refuse(messages::destinationNotAFile());
        if ((existing & FILE_ATTRIBUTE_READONLY) != 0)
            return refuse(messages::destinationReadOnly());
    }
    try {
        AtomicSave copy(to);
        copy.copyFrom(in.get());
        copy.commit();
    } catch (const SaveError& e) {
        return refuse(e.message());
    }
    return Status::done();
}

std::optional<FileFingerprint> fingerprintOf(std::u16string_view path) {
    const fs::path file = toNativePath(path);
    std::error_code ec;
    if (!fs::is_regular_file(file, ec))
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    FileFingerprint fingerprint{0, kHashStart};
    std::array<char, 128 * 1024> buffer;
    while (in) {
        in.read(buffer.data(), buffer.size());
        addToFingerprint(fingerprint, buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (!in.eof())
        return std::nullopt;
    return fingerprint;
}

namespace {

// A copy of source that stands for it, attributes and times too: where no file is yet, or in
// place of the one there. notRead is the reason given when source cannot be read.
Status copyStandingFor(std::u16string_view source, std::u16string_view destination, bool replace,
                       std::u16string notRead) {
    const KernelHandle in = openToRead(toNativePath(source));
    if (!in)
        return refused(std::move(notRead));
    try {
        AtomicSave save(toNativePath(destination));
        save.copyFrom(in.get());
        save.keepIdentityOf(in.get());
        if (replace)
            save.commit();
        else
            save.commitNew();
    } catch (const SaveError& e) {
        return refused(e.message());
    }
    return Status::done();
}

}  // namespace

Status keepCopy(std::u16string_view source, std::u16string_view destination) {
    return copyStandingFor(source, destination, false, messages::originalNotRead());
}

Status putBack(std::u16string_view copy, std::u16string_view destination,
               const FileFingerprint* expected) {
    if (expected && fingerprintOf(destination) != *expected)
        return refused(messages::changedBeforePutBack());
    return copyStandingFor(copy, destination, true, messages::backupNotRead());
}

#else

Status copyFile(std::u16string_view source, std::u16string_view destination) {
    const fs::path from = toNativePath(source);
    const fs::path to = toNativePath(destination);
    const auto refuse = [&](std::u16string reason) {
        log::problem(u"コピーできません：" + std::u16string(source) + u" → " +
                     std::u16string(destination) + u"：" + reason);
        return Status::refused(std::move(reason));
    };
    // Not blocking: a pipe in place of the source must be refused, not waited on.
    const Descriptor in(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat sourceStat {};
    if (!in.valid())
        return refuse(messages::sourceNotRead(describe({errno, std::generic_category()})));
    if (::fstat(in.get(), &sourceStat) != 0 || !S_ISREG(sourceStat.st_mode))
        return refuse(messages::sourceNotRegular());
    if (struct stat existing{}; ::stat(to.c_str(), &existing) == 0) {
        if (existing.st_dev == sourceStat.st_dev && existing.st_ino == sourceStat.st_ino)
            return refuse(messages::destinationIsSource());
        if (!S_ISREG(existing.st_mode))
            return refuse(messages::destinationNotAFile());
        if ((existing.st_mode & S_IWUSR) == 0)
            return refuse(messages::destinationReadOnly());
    }
    try {
        AtomicSave copy(to);
        copy.copyFrom(in.get());
        // A copy is made to be edited: a read-only source must not give a copy that cannot be
        // saved.
        copy.setMode((sourceStat.st_mode & 0777) | S_IWUSR);
        copy.commit();
    } catch (const SaveError& e) {
        return refuse(e.message());
    }
    return Status::done();
}

namespace {

std::optional<FileFingerprint> fingerprintOfOpen(int fd) {
    FileFingerprint fingerprint{0, kHashStart};
    std::array<char, 128 * 1024> buffer;
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return fingerprint;
        addToFingerprint(fingerprint, buffer.data(), static_cast<std::size_t>(got));
        offset += got;
    }
}

// A regular file opened for reading, never waiting on a pipe put in its place; invalid otherwise.
Descriptor openRegular(const fs::path& path, struct stat& st, int flags = 0) {
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | flags));
    if (fd.valid() && (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)))
        return Descriptor();
    return fd;
}

Status refused(std::u16string reason) {
    return Status::refused(std::move(reason));
}

}  // namespace

std::optional<FileFingerprint> fingerprintOf(std::u16string_view path) {
    struct stat st {};
    const Descriptor in = openRegular(toNativePath(path), st);
    if (!in.valid())
        return std::nullopt;
    return fingerprintOfOpen(in.get());
}

Status keepCopy(std::u16string_view source, std::u16string_view destination) {
    struct stat st {};
    const Descriptor in = openRegular(toNativePath(source), st);
    if (!in.valid())
        return refused(messages::originalNotRead());
    try {
        AtomicSave copy(toNativePath(destination));
        copy.copyFrom(in.get());
        copy.keepIdentityOf(in.get());
        copy.commitNew();
    } catch (const SaveError& e) {
        return refused(e.message());
    }
    return Status::done();
}

Status putBack(std::u16string_view copy, std::u16string_view destination,
               const FileFingerprint* expected) {
    const fs::path to = toNativePath(destination);
    struct stat st {};
    const Descriptor in = openRegular(toNativePath(copy), st);
    if (!in.valid())
        return refused(messages::backupNotRead());
    std::optional<FileIdentity> identity;
    if (expected) {
        // The file checked is the file replaced: the save refuses one put there meanwhile.
        struct stat current {};
        const Descriptor now = openRegular(to, current, O_NOFOLLOW);
        if (!now.valid() || fingerprintOfOpen(now.get()) != *expected)
            return refused(messages::changedBeforePutBack());
        identity = FileIdentity::of(current);
    }
    try {
        AtomicSave save(to);
        save.copyFrom(in.get());
        save.keepIdentityOf(in.get());
        save.commit(identity);
    } catch (const SaveError& e) {
        return refused(e.cause() == 0 ? messages::changedBeforePutBack() : e.message());
    }
    return Status::done();
}

#endif

Status writeWholeFile(std::u16string_view path, std::string_view bytes) {
    try {
        AtomicSave save(toNativePath(path));
        save.write(bytes);
        save.commit();
    } catch (const SaveError& e) {
        return refused(e.message());
    }
    return Status::done();
}

}  // namespace quorvane::os
