#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>

#include "os/log.h"
#include "os/text_encoding.h"
#include "os/version.h"

// spdlog and fmt exist only for the build machine; this writer keeps the same file format and
// rotation with nothing but the standard library.
namespace quorvane::os::log {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kFileSize = 1024 * 1024;
constexpr int kOldFiles = 3;

class Writer final {
  public:
    Writer(fs::path file, bool echo) : file_(std::move(file)), echo_(echo) { open(); }

    void write(std::string_view level, std::string_view text) {
        const std::lock_guard lock(mutex_);
        SYSTEMTIME now;
        GetLocalTime(&now);
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", now.wYear,
                      now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                      GetCurrentProcessId());
        const std::string line = stamp + std::string(level) + ": " + std::string(text) + "\n";
        if (out_) {
            if (out_->tellp() + static_cast<std::streamoff>(line.size()) >
                static_cast<std::streamoff>(kFileSize)) {
                rotate();
            }
            if (out_)
                *out_ << line << std::flush;
        }
        if (echo_)
            std::cerr << line << std::flush;
    }

  private:
    fs::path numbered(int n) const {
        fs::path p = file_;
        p.replace_extension(std::to_string(n) + file_.extension().string());
        return p;
    }

    void open() {
        std::error_code ignored;
        fs::create_directories(file_.parent_path(), ignored);
        out_.emplace(file_, std::ios::binary | std::ios::app);
        if (!*out_)
            out_.reset();  // no log file; the program works the same without one
    }

    void rotate() {
        out_.reset();
        std::error_code ignored;
        fs::remove(numbered(kOldFiles), ignored);
        for (int n = kOldFiles - 1; n >= 1; --n)
            fs::rename(numbered(n), numbered(n + 1), ignored);
        fs::rename(file_, numbered(1), ignored);
        open();
    }

    fs::path file_;
    bool echo_;
    std::optional<std::ofstream> out_;
    std::mutex mutex_;
};

std::optional<Writer>& writer() {
    static std::optional<Writer> instance;
    return instance;
}

}  // namespace

fs::path defaultFile() {
    if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local && *local)
        return fs::path(local) / L"Quorvane" / L"quorvane.log";
    return fs::temp_directory_path() / L"Quorvane" / L"quorvane.log";
}

void start(const fs::path& file, bool echo) {
    writer().emplace(file, echo);
    detail(std::string("Quorvane ") + kVersion);
}

void detail(std::string_view text) {
    if (auto& instance = writer())
        instance->write("info", text);
}

void detail(std::u16string_view text) {
    if (writer())
        detail(toUtf8(text));
}

void problem(std::string_view text) {
    if (auto& instance = writer())
        instance->write("warning", text);
}

void problem(std::u16string_view text) {
    if (writer())
        problem(toUtf8(text));
}

}  // namespace quorvane::os::log
