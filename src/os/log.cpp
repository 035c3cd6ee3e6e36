#include "os/log.h"

#include <cstdlib>
#include <memory>
#include <vector>

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>

#include "os/text_encoding.h"
#include "os/version.h"

namespace quorvane::os::log {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFileSize = 1024 * 1024;
constexpr std::size_t kOldFiles = 3;

std::shared_ptr<spdlog::logger>& logger() {
    static std::shared_ptr<spdlog::logger> instance;
    return instance;
}

}  // namespace

fs::path defaultFile() {
#ifdef _WIN32
    if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local && *local)
        return fs::path(local) / L"Quorvane" / L"quorvane.log";
    return fs::temp_directory_path() / L"Quorvane" / L"quorvane.log";
#else
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return fs::path(state) / "quorvane" / "quorvane.log";
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".local" / "state" / "quorvane" / "quorvane.log";
    return fs::temp_directory_path() / "quorvane" / "quorvane.log";
#endif
}

void start(const fs::path& file, bool echo) {
    std::vector<spdlog::sink_ptr> sinks;
    try {
        std::error_code ignored;
        fs::create_directories(file.parent_path(), ignored);
        // The system's own form of the name: on Windows a user's folder may hold any letter.
        sinks.push_back(std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
            file.native(), kFileSize, kOldFiles));
    } catch (const spdlog::spdlog_ex&) {
        // No log file; the program works the same without one.
    }
    if (echo)
        sinks.push_back(std::make_shared<spdlog::sinks::stderr_sink_mt>());
    auto instance = std::make_shared<spdlog::logger>("quorvane", sinks.begin(), sinks.end());
    // Lines end the same on every system, so that one reader reads every log.
    instance->set_formatter(std::make_unique<spdlog::pattern_formatter>(
        "%Y-%m-%d %H:%M:%S.%e [%P] %l: %v", spdlog::pattern_time_type::local, "\n"));
    instance->set_level(spdlog::level::info);
    instance->flush_on(spdlog::level::info);
    logger() = std::move(instance);
    detail(std::string("Quorvane ") + kVersion);
}

void detail(std::string_view text) {
    if (const auto& instance = logger())
        instance->info("{}", text);
}

void detail(std::u16string_view text) {
    if (logger())
        detail(toUtf8(text));
}

void problem(std::string_view text) {
    if (const auto& instance = logger())
        instance->warn("{}", text);
}

void problem(std::u16string_view text) {
    if (logger())
        problem(toUtf8(text));
}

}  // namespace quorvane::os::log
