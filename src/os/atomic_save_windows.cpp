#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <bcrypt.h>

#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "os/atomic_save.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/os_messages.h"
#include "os/text_encoding.h"

namespace quorvane::os {

namespace fs = std::filesystem;

namespace {

// A file of ours this old, whose process has ended, was left by a run that did not finish.
constexpr std::chrono::minutes kAbandonedAfter{10};
constexpr int kNameAttempts = 8;
// A document's old content while the new one takes its name; never removed as abandoned, as
// after a crash it may be the only whole version.
constexpr std::wstring_view kOldContent = L".orig";
// What makes a file's attributes the user's; the rest (compression, encryption) ReplaceFileW keeps
// or the system sets.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::u16string number(unsigned long value) {
    return fromUtf8(std::to_string(value));
}

[[noreturn]] void fail(std::u16string_view what, const fs::path& path, DWORD error) {
    log::problem(std::u16string(what) + u"：" + fromNativePath(path) + u"：エラー " +
                 number(error));
    throw SaveError(writeFailure(static_cast<int>(error)), static_cast<int>(error));
}

// Sixteen hex digits from the system's random source: a name nobody can plant in advance.
std::wstring randomPart() {
    unsigned char bytes[8] = {};
    if (BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG) < 0)
        throw SaveError(writeFailure(ERROR_GEN_FAILURE), ERROR_GEN_FAILURE);
    std::wstring text;
    for (const unsigned char byte : bytes) {
        text += L"0123456789abcdef"[byte >> 4];
        text += L"0123456789abcdef"[byte & 15];
    }
    return text;
}

// An unused name beside destination that nobody can guess, of this process.
fs::path nameBeside(const fs::path& destination, std::wstring_view suffix) {
    const std::wstring prefix(AtomicSave::kPrefix.begin(), AtomicSave::kPrefix.end());
    return destination.parent_path() / (prefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                        randomPart() + std::wstring(suffix));
}

// A new file beside destination, created where nothing was: a file or a link found under its
// name is never opened.
KernelHandle createBeside(const fs::path& destination, fs::path& path, std::wstring_view suffix) {
    for (int attempt = 1;; ++attempt) {
        path = nameBeside(destination, suffix);
        KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
            return file;
        const DWORD error = GetLastError();
        path.clear();
        if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) ||
            attempt == kNameAttempts) {
            fail(u"一時ファイルを作れません", destination, error);
        }
    }
}

bool present(const fs::path& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool processEnded(DWORD pid) {
    if (pid == 0 || pid == GetCurrentProcessId())
        return false;
    const KernelHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid));
    if (!process)
        return GetLastError() == ERROR_INVALID_PARAMETER;  // no process has this id
    return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

// Whether name is one a run of ours gives its new files, and that run has ended: this scheme
// (".~quorvane-<pid>-...") and that of earlier versions for copies (".quorvane-<hex>.part"),
// which names no process.
bool leftByEndedRun(std::wstring_view name) {
    const std::wstring prefix(AtomicSave::kPrefix.begin(), AtomicSave::kPrefix.end());
    if (!name.starts_with(prefix))
        return name.starts_with(L".quorvane-") && name.ends_with(L".part");
    if (name.ends_with(kOldContent))
        return false;
    name.remove_prefix(prefix.size());
    DWORD pid = 0;
    std::size_t digits = 0;
    for (; digits < name.size() && digits < 10 && name[digits] >= L'0' && name[digits] <= L'9';
         ++digits) {
        pid = pid * 10 + static_cast<DWORD>(name[digits] - L'0');
    }
    return digits > 0 && digits < name.size() && name[digits] == L'-' && processEnded(pid);
}

// The user this process runs as, and the owner it gives new files (a group for an administrator).
class Owners final {
  public:
    Owners() {
        KernelHandle token;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
            return;
        read(token.get(), TokenUser, user_);
        read(token.get(), TokenOwner, owner_);
    }
    bool includes(PSID sid) const {
        return sid && ((!user_.empty() && EqualSid(sid, userSid())) ||
                       (!owner_.empty() && EqualSid(sid, ownerSid())));
    }

  private:
    static void read(HANDLE token, TOKEN_INFORMATION_CLASS what, std::string& into) {
        DWORD size = 0;
        GetTokenInformation(token, what, nullptr, 0, &size);
        into.resize(size);
        if (size == 0 || !GetTokenInformation(token, what, into.data(), size, &size))
            into.clear();
    }
    PSID userSid() const { return reinterpret_cast<const TOKEN_USER*>(user_.data())->User.Sid; }
    PSID ownerSid() const { return reinterpret_cast<const TOKEN_OWNER*>(owner_.data())->Owner; }

    std::string user_;
    std::string owner_;
};

bool ownedBy(HANDLE file, const Owners& owners) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const bool ours = owners.includes(owner);
    LocalFree(descriptor);
    return ours;
}

std::uint64_t ticks(const FILETIME& time) {
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// Removes path when it is a file of ours that nobody has open, of one name, not changed for a
// while: the file examined is the file removed.
void removeIfAbandoned(const fs::path& path, const Owners& owners, std::uint64_t now) {
    const KernelHandle file(CreateFileW(path.c_str(), DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES,
                                        0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                        nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    constexpr std::uint64_t kAge =
        std::chrono::duration_cast<std::chrono::nanoseconds>(kAbandonedAfter).count() / 100;
    if (!file || !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        info.nNumberOfLinks != 1 || now - ticks(info.ftLastWriteTime) < kAge ||
        !ownedBy(file.get(), owners)) {
        return;
    }
    log::detail(u"中断された保存の一時ファイルを削除します：" + fromNativePath(path));
    FILE_DISPOSITION_INFO remove{TRUE};
    SetFileInformationByHandle(file.get(), FileDispositionInfo, &remove, sizeof remove);
}

// Removes, once per folder and process, the new files of ours that runs killed before they were
// done left there.
void removeAbandoned(const fs::path& folder) {
    static std::mutex mutex;
    static std::set<fs::path> swept;
    {
        const std::lock_guard lock(mutex);
        if (!swept.insert(folder).second)
            return;
    }
    WIN32_FIND_DATAW entry{};
    const FindHandle listing(FindFirstFileW((folder / L".*quorvane-*").c_str(), &entry));
    if (!listing)
        return;
    const Owners owners;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    do {
        if (leftByEndedRun(entry.cFileName))
            removeIfAbandoned(folder / entry.cFileName, owners, ticks(now));
    } while (FindNextFileW(listing.get(), &entry));
}

void writeAll(HANDLE file, const char* data, std::size_t size, std::uint64_t offset,
              const fs::path& path) {
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30));
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, &at))
            fail(u"書き込めません", path, GetLastError());
        if (written == 0)
            fail(u"書き込めません", path, ERROR_WRITE_FAULT);
        data += written;
        size -= written;
        offset += written;
    }
}

// Once in place: the attribute that would have kept the new file from taking the name.
void setReadOnly(const fs::path& path, unsigned long attributes) {
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0)
        return;
    const DWORD now = GetFileAttributesW(path.c_str());
    if (now == INVALID_FILE_ATTRIBUTES ||
        !SetFileAttributesW(path.c_str(),
                            (now & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_READONLY)) {
        log::problem(u"読み取り専用の属性を設定できません：" + fromNativePath(path));
    }
}

}  // namespace

std::u16string writeFailure(int error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return messages::noSpace();
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BUFFER_OVERFLOW:
            return messages::nameTooLong();
        case ERROR_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return messages::noPermission();
        case ERROR_WRITE_PROTECT:
            return messages::readOnlyDisk();
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            return messages::inUse();
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return messages::folderNotFound();
        case ERROR_CRC:
        case ERROR_IO_DEVICE:
        case ERROR_WRITE_FAULT:
        case ERROR_READ_FAULT:
            return messages::diskError();
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return messages::alreadyExists();
        default:
            return messages::notWritten();
    }
}

AtomicSave::AtomicSave(fs::path destination) : destination_(std::move(destination)) {
    removeAbandoned(destination_.parent_path());
    file_ = createBeside(destination_, path_, L".tmp");
}

AtomicSave::AtomicSave(fs::path destination, WrittenByAnother reserved)
    : destination_(std::move(destination)) {
    removeAbandoned(destination_.parent_path());
    // Closed at once: the other program opens it by name, and may put a file of its own there.
    createBeside(destination_, path_, reserved.extension.native());
}

AtomicSave::~AtomicSave() {
    file_.reset();
    if (!committed_ && !path_.empty())
        DeleteFileW(path_.c_str());
}

void AtomicSave::write(std::string_view bytes) {
    LARGE_INTEGER end{};
    GetFileSizeEx(file_.get(), &end);
    writeAll(file_.get(), bytes.data(), bytes.size(), static_cast<std::uint64_t>(end.QuadPart),
             destination_);
}

void AtomicSave::copyFrom(HANDLE source) {
    std::string buffer(128 * 1024, '\0');
    std::uint64_t offset = 0;
    while (true) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        if (!ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, &at)) {
            const DWORD error = GetLastError();
            if (error == ERROR_HANDLE_EOF)
                break;
            fail(u"読み取れません", destination_, error);
        }
        if (got == 0)
            break;
        writeAll(file_.get(), buffer.data(), got, offset, destination_);
        offset += got;
    }
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFileInformationByHandle(file_.get(), FileEndOfFileInfo, &end, sizeof end))
        fail(u"書き込めません", destination_, GetLastError());
}

void AtomicSave::openWritten() {
    file_ = KernelHandle(CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file_)
        fail(u"保存したファイルを開けません", path_, GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file_.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        info.nNumberOfLinks != 1) {
        fail(u"保存したファイルが通常のファイルではありません", path_, ERROR_INVALID_FUNCTION);
    }
}

unsigned long AtomicSave::identity(unsigned long destinationAttributes) {
    if (!identitySource_)
        return destinationAttributes & kKeptAttributes;
    FILE_BASIC_INFO source{};
    if (!GetFileInformationByHandleEx(identitySource_, FileBasicInfo, &source, sizeof source))
        fail(u"元のファイルを調べられません", destination_, GetLastError());
    // The times now; the attributes once the file is closed and in place, as a read-only file
    // could not take a name.
    FILE_BASIC_INFO times = source;
    times.FileAttributes = 0;
    times.ChangeTime.QuadPart = 0;
    if (!SetFileInformationByHandle(file_.get(), FileBasicInfo, &times, sizeof times))
        fail(u"日時を設定できません", destination_, GetLastError());
    return source.FileAttributes & kKeptAttributes;
}

void AtomicSave::finish(unsigned long attributes) {
    FILE_BASIC_INFO basic{};
    const DWORD kept = attributes & ~FILE_ATTRIBUTE_READONLY;
    basic.FileAttributes = kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof basic))
        fail(u"属性を設定できません", destination_, GetLastError());
    // On disk before it takes the name: a crash of the machine must not leave an empty file where
    // the document was, nor a write the disk refused late.
    if (!FlushFileBuffers(file_.get()))
        fail(u"ディスクに書き込めません", path_, GetLastError());
    if (!CloseHandle(file_.release()))
        fail(u"ディスクに書き込めません", path_, GetLastError());
}

void AtomicSave::commit(const std::optional<FileIdentity>& expected) {
    if (!file_)
        openWritten();
    const auto changedMeanwhile = [&] {
        if (!expected || FileIdentity::of(destination_) == expected)
            return;
        log::problem(u"読み込んだ後にほかのプログラムが書き換えたため置き換えません：" +
                     fromNativePath(destination_));
        throw SaveError(messages::changedMeanwhile(), 0);
    };
    changedMeanwhile();
    const DWORD existing = GetFileAttributesW(destination_.c_str());
    // A link in the document's place is replaced, never followed.
    const bool replace =
        existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    const unsigned long attributes = identity(replace ? existing : 0);
    finish(attributes);
    // As close to the replacement as it can be: what was checked is what is replaced.
    changedMeanwhile();
    if (replace) {
        replaceExisting();
    } else if (!MoveFileExW(path_.c_str(), destination_.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        fail(u"文書を置き換えられません", destination_, GetLastError());
    }
    committed_ = true;
    setReadOnly(destination_, attributes);
}

void AtomicSave::commitNew() {
    if (!file_)
        openWritten();
    const unsigned long attributes = identity(0);
    finish(attributes);
    if (!MoveFileExW(path_.c_str(), destination_.c_str(), MOVEFILE_WRITE_THROUGH))
        fail(u"ファイルを置けません", destination_, GetLastError());
    committed_ = true;
    setReadOnly(destination_, attributes);
}

// ReplaceFileW failing part way may leave the old version under the backup name, or gone with
// the new one still beside it: whichever can be is put back in place, and where neither can,
// nothing is removed and the failure says where each is.
void AtomicSave::replaceExisting() {
    const fs::path backup = nameBeside(destination_, kOldContent);
    // ReplaceFileW keeps what makes the document the user's: its security, streams and creation
    // time.
    if (ReplaceFileW(destination_.c_str(), path_.c_str(), backup.c_str(),
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        DeleteFileW(backup.c_str());
        return;
    }
    const DWORD error = GetLastError();
    log::problem(u"新しい版を元の場所に置けませんでした（エラー " + number(error) + u"）：" +
                 fromNativePath(destination_));
    const bool atDestination = present(destination_);
    const bool atBackup = present(backup);
    const auto move = [](const fs::path& from, const fs::path& to) {
        return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    };
    if ((atDestination && !atBackup) || (!atDestination && atBackup && move(backup, destination_)))
        throw SaveError(writeFailure(static_cast<int>(error)), static_cast<int>(error));
    if (!atDestination && move(path_, destination_)) {
        DeleteFileW(backup.c_str());
        log::problem(u"新しい版を改めて元の場所に置きました：" + fromNativePath(destination_));
        return;
    }
    // Either may be the only copy of its version.
    committed_ = true;
    const fs::path keptOld = atBackup ? backup : fs::path();
    throw SaveError(writeFailure(static_cast<int>(error)) +
                        messages::bothVersionsKept(fromNativePath(keptOld), fromNativePath(path_)),
                    static_cast<int>(error), keptOld, path_);
}

}  // namespace quorvane::os
