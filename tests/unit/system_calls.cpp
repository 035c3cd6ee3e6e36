#include "system_calls.h"

#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

extern "C" {
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
    std::function<bool(std::string_view)> recorded;
    std::vector<std::string> calls;
    std::string failCall;
    std::function<bool(std::string_view)> failFilter;
    int failError = 0;
    std::string randomBytes;
};

// Nothing to look at: calls go straight through.
std::atomic<bool> idle{true};

std::mutex mutex;
State* const state = new State;  // never destroyed: calls may come during exit

// Runs use on the state, one caller at a time.
template <typename Use>
auto withState(Use&& use) {
    const std::lock_guard lock(mutex);
    struct Update {
        ~Update() { idle = !state->recorded && !state->failFilter && state->randomBytes.empty(); }
    } update;
    return use(*state);
}

std::string baseName(std::string_view path) {
    return std::string(path.substr(path.rfind('/') + 1));
}

// Records call on fd, or on the file from, and tells whether it is to fail, with errno set.
bool seen(const char* call, int fd, const char* from = nullptr, const char* to = nullptr) {
    if (idle)
        return false;
    std::string name;
    if (from) {
        name = baseName(from);
    } else {
        char path[4096];
        const auto link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t n = ::readlink(link.c_str(), path, sizeof path);
        name = baseName(std::string_view(path, n > 0 ? static_cast<std::size_t>(n) : 0));
    }
    return withState([&](State& s) {
        if (s.recorded && s.recorded(name))
            s.calls.push_back(std::string(call) + " " + name + (to ? " " + baseName(to) : ""));
        if (!s.failFilter || s.failCall != call || !s.failFilter(name))
            return false;
        s.failFilter = nullptr;
        errno = s.failError;
        return true;
    });
}

}  // namespace

Recording::Recording(std::function<bool(std::string_view)> filter) {
    withState([&](State& s) {
        s.recorded = std::move(filter);
        s.calls.clear();
    });
}

Recording::~Recording() {
    withState([](State& s) { s.recorded = nullptr; });
}

std::vector<std::string> Recording::calls() const {
    return withState([](State& s) { return s.calls; });
}

std::string outOfOrder(const std::vector<std::string>& calls, std::string_view destination) {
    std::string shown = "\n";
    for (const auto& call : calls)
        shown += call + "\n";
    if (calls.empty())
        return shown;
    const std::string name = calls.front().substr(calls.front().find(' ') + 1);
    const auto at = [&](const std::string& call) {
        return std::find(calls.begin(), calls.end(), call) - calls.begin();
    };
    const auto written =
        calls.rend() - std::find(calls.rbegin(), calls.rend(), "write " + name) - 1;
    const auto renamed = at("rename " + name + " " + std::string(destination));
    const bool inOrder = written >= 0 && written < at("fsync " + name) &&
                         at("fsync " + name) < at("close " + name) &&
                         at("close " + name) < renamed &&
                         renamed < static_cast<std::ptrdiff_t>(calls.size());
    return inOrder ? std::string() : shown;
}

void failNext(std::string call, std::function<bool(std::string_view)> filter, int error) {
    withState([&](State& s) {
        s.failCall = std::move(call);
        s.failFilter = std::move(filter);
        s.failError = error;
    });
}

void chooseRandomBytes(std::string bytes) {
    withState([&](State& s) { s.randomBytes = std::move(bytes); });
}

bool randomBytesTaken() {
    return withState([](State& s) { return s.randomBytes.empty(); });
}

}  // namespace quorvane::test::system_calls

using namespace quorvane::test::system_calls;

extern "C" {

ssize_t __wrap_write(int fd, const void* data, size_t size) {
    return seen("write", fd) ? -1 : __real_write(fd, data, size);
}

ssize_t __wrap_pwrite(int fd, const void* data, size_t size, off_t offset) {
    return seen("write", fd) ? -1 : __real_pwrite(fd, data, size, offset);
}

int __wrap_fsync(int fd) {
    return seen("fsync", fd) ? -1 : __real_fsync(fd);
}

int __wrap_close(int fd) {
    seen("close", fd);
    return __real_close(fd);
}

int __wrap_rename(const char* from, const char* to) {
    seen("rename", -1, from, to);
    return __real_rename(from, to);
}

ssize_t __wrap_getrandom(void* buffer, size_t size, unsigned int flags) {
    const ssize_t chosen = idle ? 0 : withState([&](State& s) {
        const size_t n = std::min(size, s.randomBytes.size());
        std::memcpy(buffer, s.randomBytes.data(), n);
        s.randomBytes.erase(0, n);
        return static_cast<ssize_t>(n);
    });
    return chosen > 0 ? chosen : __real_getrandom(buffer, size, flags);
}

}  // extern "C"
