#include "automation/office/document_lock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "automation/automation_error.h"
#include "automation/office/office_messages.h"
#include "os/descriptor.h"
#include "os/log.h"
#include "os/private_folder.h"

namespace quorvane::automation::office {

namespace fs = std::filesystem;

namespace {

// The name we sign our lock files with, where the office shows who has the document open.
constexpr std::string_view kSigner = "Quorvane";
// The last field of our lock files, where the office writes its profile's URL.
constexpr std::string_view kProcessField = "quorvane-pid:";
constexpr std::size_t kLongestLock = 4096;

fs::path lockPathOf(const fs::path& document) {
    return document.parent_path() / (".~lock." + document.filename().string() + "#");
}

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::string userName() {
    if (const passwd* user = ::getpwuid(::geteuid()))
        return user->pw_name;
    return std::to_string(::geteuid());
}

// The office escapes its separators in each field with a backslash.
std::string escaped(std::string_view field) {
    std::string out;
    for (const char c : field) {
        if (c == ',' || c == ';' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

// Signer, user, host, time (as the office writes it) and our process.
std::string lockEntry() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char time[32];
    std::strftime(time, sizeof time, "%d.%m.%Y %H:%M", &local);
    return escaped(kSigner) + "," + escaped(userName()) + "," + escaped(hostName()) + "," +
           escaped(time) + "," + escaped(std::string(kProcessField) + std::to_string(::getpid())) +
           ";";
}

std::vector<std::string> fieldsOf(std::string_view entry) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < entry.size(); ++i) {
        if (entry[i] == '\\' && i + 1 < entry.size()) {
            fields.back() += entry[++i];
        } else if (entry[i] == ',') {
            fields.emplace_back();
        } else if (entry[i] == ';') {
            break;
        } else {
            fields.back() += entry[i];
        }
    }
    return fields;
}

// Whether the lock file at path is one a run of ours on this machine wrote and left when it was
// killed: ours by owner, signed by us, of this host and of a process that has ended.
bool abandonedByUs(const fs::path& path) {
    const os::Descriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid() || st.st_size > static_cast<off_t>(kLongestLock)) {
        return false;
    }
    std::string entry(static_cast<std::size_t>(st.st_size), '\0');
    if (::read(fd.get(), entry.data(), entry.size()) != static_cast<ssize_t>(entry.size()))
        return false;
    const auto fields = fieldsOf(entry);
    if (fields.size() != 5 || fields[0] != kSigner || fields[2] != hostName() ||
        !fields[4].starts_with(kProcessField)) {
        return false;
    }
    const std::string_view number = std::string_view(fields[4]).substr(kProcessField.size());
    long pid = 0;
    const auto [end, failed] = std::from_chars(number.data(), number.data() + number.size(), pid);
    return failed == std::errc{} && end == number.data() + number.size() &&
           os::private_folders::processEnded(pid);
}

}  // namespace

std::optional<DocumentLock> DocumentLock::take(const fs::path& document) {
    const fs::path path = lockPathOf(document);
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Created where nothing was, never through a link: taking it is the test of whether
        // someone else holds it.
        const os::Descriptor fd(
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (fd.valid()) {
            const std::string entry = lockEntry();
            struct stat st {};
            if (::write(fd.get(), entry.data(), entry.size()) !=
                    static_cast<ssize_t>(entry.size()) ||
                ::fstat(fd.get(), &st) != 0) {
                os::log::detail("文書のロックファイルを書けません：" + path.string() + "：" +
                                std::strerror(errno));
                ::unlink(path.c_str());
                return std::nullopt;
            }
            return DocumentLock(path, os::FileIdentity::of(st));
        }
        if (errno != EEXIST) {
            os::log::detail("文書のロックファイルを作れません：" + path.string() + "：" +
                            std::strerror(errno));
            return std::nullopt;
        }
        if (attempt > 0 || !abandonedByUs(path))
            break;
        os::log::detail("終了したプロセスが残したロックファイルを削除します：" + path.string());
        ::unlink(path.c_str());
    }
    throw AutomationError(std::u16string(messages::kLocked));
}

bool DocumentLock::heldByOthers(const fs::path& document) {
    const fs::path path = lockPathOf(document);
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && !abandonedByUs(path);
}

DocumentLock::DocumentLock(DocumentLock&& other) noexcept
    : path_(std::exchange(other.path_, {})), identity_(other.identity_) {}

DocumentLock::~DocumentLock() {
    if (path_.empty())
        return;
    struct stat st {};
    // Only our own file goes: not one someone else put in its place meanwhile.
    if (::lstat(path_.c_str(), &st) == 0 && st.st_dev == identity_.device &&
        st.st_ino == identity_.inode) {
        ::unlink(path_.c_str());
    }
}

}  // namespace quorvane::automation::office
