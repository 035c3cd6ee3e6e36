#include "system_calls.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>

extern "C" {
int __real_open(const char* path, int flags, ...);
ssize_t __real_write(int fd, const void* data, size_t size);
ssize_t __real_pwrite(int fd, const void* data, size_t size, off_t offset);
int __real_fsync(int fd);
int __real_close(int fd);
int __real_rename(const char* from, const char* to);
ssize_t __real_getrandom(void* buffer, size_t size, unsigned int flags);
}

namespace quorvane::test::system_calls {
namespace {

struct State {
    std::mutex mutex;
    std::function<bool(std::string_view)> recorded;
    std::vector<std::string> calls;
    // Names of the open files of interest, by descriptor.
    std::map<int, std::string> names;
    std::string failCall;
    std::function<bool(std::string_view)> failFilter;
    int failError = 0;
    std::string randomBytes;
};

State& state() {
    static State* const s = new State;  // never destroyed: calls may come during exit
    return *s;
}

std::atomic<bool> active{false};

std::string_view baseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// The name of fd when its calls are recorded or may fail.
std::optional<std::string> nameOf(State& s, int fd) {
    const auto found = s.names.find(fd);
    return found == s.names.end() ? std::nullopt : std::optional(found->second);
}

void record(State& s, std::string entry) {
    if (s.recorded)
        s.calls.push_back(std::move(entry));
}

// Whether this call on the file named name is the one to fail; it fails once.
bool failsNow(State& s, std::string_view call, const std::string& name) {
    if (!s.failFilter || s.failCall != call || !s.failFilter(name))
        return false;
    s.failFilter = nullptr;
    errno = s.failError;
    return true;
}

}  // namespace

Recording::Recording(std::function<bool(std::string_view)> filter) {
    State& s = state();
    const std::lock_guard lock(s.mutex);
    s.recorded = std::move(filter);
    s.calls.clear();
    active = true;
}

Recording::~Recording() {
    State& s = state();
    const std::lock_guard lock(s.mutex);
    s.recorded = nullptr;
    active = s.failFilter != nullptr || !s.randomBytes.empty();
}

std::vector<std::string> Recording::calls() const {
    State& s = state();
    const std::lock_guard lock(s.mutex);
    return s.calls;
}

bool savedInOrder(const std::vector<std::string>& calls, std::string_view destination,
                  std::string& detail) {
    for (const auto& call : calls)
        detail += call + "\n";
    if (calls.empty() || !calls.front().starts_with("open "))
        return false;
    const std::string name = calls.front().substr(5);
    const auto at = [&](const std::string& call, bool last) -> std::ptrdiff_t {
        for (std::size_t i = 0; i < calls.size(); ++i) {
            const std::size_t k = last ? calls.size() - 1 - i : i;
            if (calls[k] == call)
                return static_cast<std::ptrdiff_t>(k);
        }
        return -1;
    };
    const auto written = at("write " + name, true);
    const auto flushed = at("fsync " + name, false);
    const auto closed = at("close " + name, false);
    const auto renamed = at("rename " + name + " " + std::string(destination), false);
    return written >= 0 && written < flushed && flushed < closed && closed < renamed;
}

void failNext(std::string call, std::function<bool(std::string_view)> filter, int error) {
    State& s = state();
    const std::lock_guard lock(s.mutex);
    s.failCall = std::move(call);
    s.failFilter = std::move(filter);
    s.failError = error;
    active = true;
}

void chooseRandomBytes(std::string bytes) {
    State& s = state();
    const std::lock_guard lock(s.mutex);
    s.randomBytes = std::move(bytes);
    active = true;
}

bool randomBytesTaken() {
    State& s = state();
    const std::lock_guard lock(s.mutex);
    return s.randomBytes.empty();
}

}  // namespace quorvane::test::system_calls

using namespace quorvane::test::system_calls;

extern "C" {

int __wrap_open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, int));
        va_end(arguments);
    }
    const int fd = __real_open(path, flags, mode);
    if (!active || fd < 0)
        return fd;
    const int error = errno;
    State& s = state();
    const std::lock_guard lock(s.mutex);
    const std::string name(baseName(path));
    s.names.erase(fd);
    if ((s.recorded && s.recorded(name)) || (s.failFilter && s.failFilter(name))) {
        s.names[fd] = name;
        record(s, "open " + name);
    }
    errno = error;
    return fd;
}

ssize_t __wrap_write(int fd, const void* data, size_t size) {
    if (active) {
        State& s = state();
        const std::lock_guard lock(s.mutex);
        if (const auto name = nameOf(s, fd)) {
            record(s, "write " + *name);
            if (failsNow(s, "write", *name))
                return -1;
        }
    }
    return __real_write(fd, data, size);
}

ssize_t __wrap_pwrite(int fd, const void* data, size_t size, off_t offset) {
    if (active) {
        State& s = state();
        const std::lock_guard lock(s.mutex);
        if (const auto name = nameOf(s, fd)) {
            record(s, "write " + *name);
            if (failsNow(s, "write", *name))
                return -1;
        }
    }
    return __real_pwrite(fd, data, size, offset);
}

int __wrap_fsync(int fd) {
    if (active) {
        State& s = state();
        const std::lock_guard lock(s.mutex);
        if (const auto name = nameOf(s, fd)) {
            record(s, "fsync " + *name);
            if (failsNow(s, "fsync", *name))
                return -1;
        }
    }
    return __real_fsync(fd);
}

int __wrap_close(int fd) {
    if (active) {
        State& s = state();
        const std::lock_guard lock(s.mutex);
        if (const auto name = nameOf(s, fd)) {
            record(s, "close " + *name);
            s.names.erase(fd);
        }
    }
    return __real_close(fd);
}

int __wrap_rename(const char* from, const char* to) {
    if (active) {
        State& s = state();
        const std::lock_guard lock(s.mutex);
        const std::string name(baseName(from));
        if (s.recorded && s.recorded(name))
            record(s, "rename " + name + " " + std::string(baseName(to)));
    }
    return __real_rename(from, to);
}

ssize_t __wrap_getrandom(void* buffer, size_t size, unsigned int flags) {
    if (active) {
        State& s = state();
        const std::lock_guard lock(s.mutex);
        if (!s.randomBytes.empty()) {
            const size_t n = std::min(size, s.randomBytes.size());
            std::memcpy(buffer, s.randomBytes.data(), n);
            s.randomBytes.erase(0, n);
            return static_cast<ssize_t>(n);
        }
    }
    return __real_getrandom(buffer, size, flags);
}

}  // extern "C"
