#include "automation/com/server_watchdog.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "automation/com/com_messages.h"
#include "automation/com/com_object.h"
#include "os/log.h"

namespace quorvane::automation::com {
namespace {

std::u16string text(std::wstring_view wide) {
    return {wide.begin(), wide.end()};
}

std::u16string number(long long value) {
    const std::string digits = std::to_string(value);
    return {digits.begin(), digits.end()};
}

std::wstring lower(std::wstring value) {
    std::transform(value.begin(), value.end(), value.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return value;
}

// The file name of the program COM starts for the class, such as winword.exe; empty when the
// class has no local server. The registered command may be quoted or not, with arguments after.
std::wstring serverProgram(const CLSID& server) {
    wchar_t clsid[64];
    if (StringFromGUID2(server, clsid, 64) == 0)
        return {};
    const std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\LocalServer32";
    os::RegistryKey server32;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, server32.put()) !=
        ERROR_SUCCESS) {
        return {};
    }
    wchar_t command[1024]{};
    DWORD size = sizeof command - sizeof(wchar_t);
    DWORD type = 0;
    const LSTATUS read = RegQueryValueExW(server32.get(), nullptr, nullptr, &type,
                                          reinterpret_cast<BYTE*>(command), &size);
    if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    const std::wstring line = lower(command);
    const auto exe = line.find(L".exe");
    if (exe == std::wstring::npos)
        return {};
    const std::wstring path = line.substr(0, exe + 4);
    const auto name = path.find_last_of(L"\\/\"");
    return name == std::wstring::npos ? path : path.substr(name + 1);
}

std::vector<DWORD> processesRunning(const std::wstring& program) {
    std::vector<DWORD> found;
    const os::KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (lower(entry.szExeFile) == program)
            found.push_back(entry.th32ProcessID);
    }
    return found;
}

}  // namespace

os::KernelHandle processStartedBy(const CLSID& server, const std::function<void()>& create,
                                  std::chrono::milliseconds limit, bool& stuck) {
    // One start at a time: two instances started together could not be told apart.
    static std::mutex starting;
    const std::lock_guard lock(starting);
    const std::wstring program = serverProgram(server);
    const std::vector<DWORD> before =
        program.empty() ? std::vector<DWORD>{} : processesRunning(program);
    const auto startedSince = [&] {
        std::vector<DWORD> started;
        for (const DWORD id : processesRunning(program)) {
            if (std::find(before.begin(), before.end(), id) == before.end())
                started.push_back(id);
        }
        return started;
    };
    stuck = false;
    {
        // A server can hang in its own start (a dialog nobody sees, or under Wine a deadlock as
        // it hands over its first object): only ending it lets the creation return.
        std::mutex mutex;
        std::condition_variable changed;
        bool created = false;
        std::thread guard([&] {
            std::unique_lock wait(mutex);
            if (program.empty() || changed.wait_for(wait, limit, [&] { return created; }))
                return;
            const std::vector<DWORD> started = startedSince();
            os::log::problem(
                text(program) + u" が " +
                number(std::chrono::duration_cast<std::chrono::seconds>(limit).count()) +
                u" 秒たっても起動を終えないため、終了させます");
            if (started.size() != 1)
                return;
            stuck = true;
            const os::KernelHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, started.front()));
            if (process)
                TerminateProcess(process.get(), 1);
        });
        create();
        {
            const std::lock_guard done(mutex);
            created = true;
        }
        changed.notify_all();
        guard.join();
    }
    if (stuck)
        return {};
    if (program.empty()) {
        os::log::problem(
            u"サーバーのプログラムが分からないため、応答しなくなっても終了させられません");
        return {};
    }
    const std::vector<DWORD> started = startedSince();
    if (started.size() != 1) {
        os::log::problem(u"起動した " + text(program) + u" のプロセスを特定できないため（候補 " +
                         number(static_cast<long long>(started.size())) +
                         u" 件）、応答しなくなっても終了させられません");
        return {};
    }
    os::KernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, started.front()));
    if (!process) {
        os::log::problem(u"起動した " + text(program) + u" のプロセスを開けません（エラー " +
                         number(GetLastError()) + u"）");
    }
    return process;
}

ServerWatchdog::ServerWatchdog(os::KernelHandle process, std::u16string serverName,
                               std::chrono::milliseconds limit)
    : process_(std::move(process)),
      serverName_(std::move(serverName)),
      limit_(limit),
      thread_([this] { watch(); }) {}

ServerWatchdog::~ServerWatchdog() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ServerWatchdog::watch() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (deadlines_.empty()) {
            changed_.wait(lock, [&] { return stopping_ || !deadlines_.empty(); });
            continue;
        }
        const auto first = *deadlines_.begin();
        if (changed_.wait_until(lock, first, [&] {
                return stopping_ || deadlines_.empty() || *deadlines_.begin() != first;
            })) {
            continue;
        }
        ended_ = true;
        deadlines_.clear();
        os::log::problem(serverName_ + u" が " +
                         number(std::chrono::duration_cast<std::chrono::seconds>(limit_).count()) +
                         u" 秒以上応答しないため、そのプロセスを終了させます");
        // The blocked call then fails as the server is gone.
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 10'000);
    }
}

ServerWatchdog::Call::Call(ServerWatchdog* watchdog) : watchdog_(watchdog) {
    if (!watchdog_)
        return;
    const std::lock_guard lock(watchdog_->mutex_);
    if (watchdog_->ended_)
        return;
    deadline_ = watchdog_->deadlines_.insert(std::chrono::steady_clock::now() + watchdog_->limit_);
    watched_ = true;
    watchdog_->changed_.notify_all();
}

ServerWatchdog::Call::~Call() {
    if (!watchdog_)
        return;
    const std::lock_guard lock(watchdog_->mutex_);
    // Ending the server let go of every deadline.
    if (watched_ && !watchdog_->ended_)
        watchdog_->deadlines_.erase(deadline_);
    watchdog_->changed_.notify_all();
}

void ServerWatchdog::Call::check() const {
    if (!watchdog_)
        return;
    const std::lock_guard lock(watchdog_->mutex_);
    if (watchdog_->ended_) {
        throw ServerGoneError(messages::serverEnded(watchdog_->serverName_));
    }
}

}  // namespace quorvane::automation::com
