#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/XSingleComponentFactory.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

namespace quorvane::automation::office {

// A file URL for a native path, every byte that needs it percent-encoded.
std::string fileUrl(const std::filesystem::path& path);

// One running soffice.bin of ours: started in its own process group with a private profile and
// TMPDIR, connected over a private pipe, watched while a call is under way, and ended with
// everything it left on disk.
class OfficeProcess final {
  public:
    struct Settings {
        // soffice.bin, or anything that stands in for it; empty for the installed office.
        std::filesystem::path program;
        std::chrono::milliseconds startTimeout = std::chrono::seconds{60};
        // Only to show that a document's macros would run if the office let them.
        bool allowMacros = false;
        // The region replacer's library; empty for the one that came with the program.
        std::filesystem::path replacer;
    };

    // Starts the office and connects to it. Throws AutomationError with a plain cause when the
    // program is missing, exits or does not answer before the start timeout.
    explicit OfficeProcess(Settings settings);
    ~OfficeProcess();
    OfficeProcess(const OfficeProcess&) = delete;
    OfficeProcess& operator=(const OfficeProcess&) = delete;

    const css::uno::Reference<css::frame::XDesktop2>& desktop() const noexcept { return desktop_; }
    const css::uno::Reference<css::uno::XComponentContext>& context() const noexcept {
        return context_;
    }
    pid_t pid() const noexcept { return pid_; }
    // A folder of its own where it writes the documents it saves.
    std::filesystem::path storeFolder() const { return folder_ / "store"; }
    // Makes the region replacers that run inside this office, one per document.
    const css::uno::Reference<css::lang::XSingleComponentFactory>& replacers() const noexcept {
        return replacers_;
    }

    // Whether the process still runs (reaps it when it has ended).
    bool alive();
    // Whether the watchdog had to kill it.
    bool timedOut() const;

    // Arms the watchdog for one call: the office is killed when the call outlasts timeout.
    class Watch final {
      public:
        Watch(OfficeProcess& process, std::chrono::milliseconds timeout);
        ~Watch();
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;

      private:
        OfficeProcess& process_;
    };

    // Asks the office to end, waits for it, kills its process group when it does not.
    void stop();
    // Kills the process group at once and reaps it.
    void kill();

    // Removes private folders left by processes of ours that no longer run.
    static void removeStaleFolders();

  private:
    void spawn(const std::filesystem::path& program);
    void forkOffice(const std::filesystem::path& program);
    void connect(const std::filesystem::path& program, std::chrono::milliseconds startTimeout);
    void loadReplacers(const std::filesystem::path& library);
    void watchdogLoop(std::stop_token stop);
    bool waitForExit(std::chrono::milliseconds timeout);

    std::filesystem::path folder_;
    std::string pipeName_;
    pid_t pid_ = -1;
    bool reaped_ = true;
    int exitCode_ = -1;
    css::uno::Reference<css::uno::XComponentContext> context_;
    css::uno::Reference<css::frame::XDesktop2> desktop_;
    css::uno::Reference<css::lang::XSingleComponentFactory> replacers_;

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool timedOut_ = false;
    std::jthread watchdog_;
};

}  // namespace quorvane::automation::office
