#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "os/unique_handle.h"

namespace quorvane::automation::com {

// Ends an automation server's process when a call into it has not returned within the limit: a
// word processor that hangs on a document would otherwise hold the run, and the window, for
// ever. The call then fails as the server is gone, and the next document starts a new one.
class ServerWatchdog final {
  public:
    // The default limit: a large document may keep Word busy for minutes, a hung one for ever.
    static constexpr std::chrono::milliseconds kCallLimit{std::chrono::minutes{5}};

    // process is the server's process, with PROCESS_TERMINATE and SYNCHRONIZE rights.
    // serverName names the server for the user, as in "Word".
    ServerWatchdog(os::KernelHandle process, std::u16string serverName,
                   std::chrono::milliseconds limit);
    ~ServerWatchdog();
    ServerWatchdog(const ServerWatchdog&) = delete;
    ServerWatchdog& operator=(const ServerWatchdog&) = delete;

    // One call into the server, watched while this object lives.
    class Call final {
      public:
        explicit Call(ServerWatchdog* watchdog);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;
        // Throws ServerGoneError, in the user's words, when the watchdog ended the server
        // during this call.
        void check() const;

      private:
        ServerWatchdog* watchdog_;
        std::multiset<std::chrono::steady_clock::time_point>::iterator deadline_;
        bool watched_ = false;
    };

  private:
    void watch();

    os::KernelHandle process_;
    std::u16string serverName_;
    std::chrono::milliseconds limit_;
    std::mutex mutex_;
    // A plain condition and a flag of our own: a stop token's callback, removed while the stop
    // runs it, waits on a semaphore that this toolchain's library can fail to wake, which hung
    // the end of a run now and then.
    std::condition_variable changed_;
    bool stopping_ = false;
    // The deadlines of the calls under way: several threads may call one server.
    std::multiset<std::chrono::steady_clock::time_point> deadlines_;
    bool ended_ = false;
    std::thread thread_;
};

// The process of the server instance that create starts: the one new process, among those
// running the server's program, that appeared while create ran. None (and a line in the log)
// when it cannot be told, so that no other process is ever taken for it. A start that has not
// ended within limit ends that process, which fails the start; stuck tells so.
os::KernelHandle processStartedBy(const CLSID& server, const std::function<void()>& create,
                                  std::chrono::milliseconds limit, bool& stuck);

}  // namespace quorvane::automation::com
