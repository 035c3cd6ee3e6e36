#include "automation/office/office_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <rtl/digest.h>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/loader/XImplementationLoader.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/ustring.hxx>

#include "automation/automation_error.h"
#include "automation/office/office_messages.h"
#include "automation/office/replacer_codec.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/private_folder.h"

extern char** environ;

namespace quorvane::automation::office {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using css::uno::Reference;

constexpr auto kConnectRetry = 50ms;
constexpr auto kTerminateTimeout = 10s;
constexpr auto kExitTimeout = 5s;
constexpr int kRestartRequested = 81;
constexpr int kMaxRestarts = 2;

// The local UNO environment is made once per program; every office connects through it.
const Reference<css::uno::XComponentContext>& localContext() {
    static const Reference<css::uno::XComponentContext> context = [] {
        ::setenv("URE_BOOTSTRAP",
                 "vnd.sun.star.pathname:" QUORVANE_LIBREOFFICE_PROGRAM "/fundamentalrc", 0);
        return cppu::defaultBootstrap_InitialComponentContext();
    }();
    return context;
}

// The installed office's version ("7.4"), as its configuration states it; empty when unknown.
std::string officeVersion() {
    static const std::string version = [] {
        std::ifstream file(QUORVANE_LIBREOFFICE_PROGRAM "/../share/registry/main.xcd");
        const std::string text{std::istreambuf_iterator<char>(file), {}};
        // The schema names the property too, with an empty value: the data's value is wanted.
        constexpr std::string_view kName = "oor:name=\"ooSetupVersion\"";
        constexpr std::string_view kOpen = "<value>";
        for (std::size_t at = text.find(kName); at != std::string::npos;
             at = text.find(kName, at + kName.size())) {
            const std::size_t end = text.find('>', at);
            if (end == std::string::npos)
                break;
            const std::size_t open = text.find_first_not_of(" \t\r\n", end + 1);
            const std::size_t close = text.find("</value>", open);
            if (open != std::string::npos && text.compare(open, kOpen.size(), kOpen) == 0 &&
                close != std::string::npos && close - open < 32) {
                return text.substr(open + kOpen.size(), close - open - kOpen.size());
            }
        }
        os::log::detail("ワープロの版を設定から読めません");
        return std::string();
    }();
    return version;
}

// Settings the private profile starts with: no lock files beside the documents (a killed office
// would leave them; the backend takes the lock itself, and recognises one its own killed run
// left), no macro
// ever runs, and the profile is of this version. A headless office never records the version it
// last ran, so on every start it takes itself for upgraded and spends seconds testing how it
// draws graphics, which a headless office never does.
std::string registry(bool allowMacros) {
    const auto item = [](const char* path, const char* name, const char* value) {
        return std::string("<item oor:path=\"") + path + "\"><prop oor:name=\"" + name +
               "\" oor:op=\"fuse\"><value>" + value + "</value></prop></item>\n";
    };
    constexpr const char* kMisc = "/org.openoffice.Office.Common/Misc";
    constexpr const char* kScripting = "/org.openoffice.Office.Common/Security/Scripting";
    const std::string version = officeVersion();
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
)" + item(kMisc, "UseDocumentOOoLockFile", "false") +
           item(kMisc, "UseLocking", "false") +
           item(kScripting, "MacroSecurityLevel", allowMacros ? "0" : "3") +
           item(kScripting, "DisableMacrosExecution", allowMacros ? "false" : "true") +
           (version.empty()
                ? std::string()
                : item("/org.openoffice.Setup/Product", "ooSetupLastVersion", version.c_str())) +
           "</oor:items>\n";
}

// The folders the office works in, and the settings its profile starts with. Refused with the
// cause when they cannot be written: an office started without them would run on its own
// settings, macros included.
os::Status prepareFolder(const fs::path& folder, const fs::path& store, bool allowMacros) {
    std::error_code error;
    for (const fs::path& made : {folder / "profile" / "user", folder / "tmp", store}) {
        if (fs::create_directories(made, error); error)
            return os::Status::refused(os::describe(error));
    }
    return os::writeWholeFile(
        os::fromNativePath(folder / "profile" / "user" / "registrymodifications.xcu"),
        registry(allowMacros));
}

// Installed with the programs, in our folder of the library folder; else where the build put it.
fs::path replacerLibrary() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        const fs::path installed =
            self.parent_path().parent_path() / QUORVANE_REPLACER_INSTALL_DIR / replacer::kLibrary;
        if (fs::exists(installed, error))
            return installed;
    }
    return QUORVANE_REPLACER_BUILD_PATH;
}

// Runs tasks, one at a time, on a thread that lives as long as the program. Offices are forked
// there: their parent-death signal follows the thread that forked them, and an office may be
// started on a run's worker thread and then wait warm for the next run after that thread ended.
class ForkingThread final {
  public:
    // Runs task there and returns when it is done, with its exception if it threw one.
    static void run(std::function<void()> task) {
        static ForkingThread thread;
        std::packaged_task<void()> job(std::move(task));
        auto done = job.get_future();
        {
            const std::lock_guard lock(thread.mutex_);
            thread.tasks_.push_back(std::move(job));
        }
        thread.wake_.notify_one();
        done.get();
    }

  private:
    ForkingThread() : thread_([this](std::stop_token stop) { loop(stop); }) {}

    void loop(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        while (wake_.wait(lock, stop, [&] { return !tasks_.empty(); })) {
            auto job = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<std::packaged_task<void()>> tasks_;
    // Last: it starts once the rest is ready.
    std::jthread thread_;
};

// The office leaves its pipe's socket behind in one of the two folders the pipe may live in.
constexpr std::array<const char*, 2> kPipeFolders{"/tmp", "/var/tmp"};

std::string pipeSocketPrefix() {
    return "OSL_PIPE_" + std::to_string(::getuid()) + "_";
}

// The office also opens a single-instance pipe named after an MD5 digest of its profile's URL in
// UTF-16, each byte in hex without a leading zero.
std::string instancePipeName(const fs::path& profile) {
    const std::string url = fileUrl(profile);
    const std::u16string wide(url.begin(), url.end());
    sal_uInt8 digest[RTL_DIGEST_LENGTH_MD5];
    rtl_digest_MD5(wide.data(), static_cast<sal_uInt32>(wide.size() * sizeof(char16_t)), digest,
                   sizeof digest);
    std::string name = "SingleOfficeIPC_";
    for (const sal_uInt8 byte : digest) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(byte));
        name += hex;
    }
    return name;
}

// Removes a socket of ours; anything else put under its name, by whoever, stays.
void removeSocket(const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == ::geteuid())
        ::unlink(path.c_str());
}

void removePipeSocket(const std::string& pipeName) {
    for (const char* folder : kPipeFolders)
        removeSocket(fs::path(folder) / (pipeSocketPrefix() + pipeName));
}

}  // namespace

std::string fileUrl(const std::filesystem::path& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const unsigned char c : path.string()) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

OfficeProcess::OfficeProcess(Settings settings) {
    const fs::path program = settings.program.empty()
                                 ? fs::path(QUORVANE_LIBREOFFICE_PROGRAM "/soffice.bin")
                                 : settings.program;
    if (::access(program.c_str(), X_OK) != 0) {
        os::log::problem("ワープロのプログラムがありません：" + program.string());
        throw AutomationError(messages::startFailure(messages::kProgramNotFound));
    }
    removeStaleFolders();
    static std::atomic<int> counter{0};
    std::random_device random;
    const std::string id = std::to_string(++counter) + "-" + std::to_string(random());
    pipeName_ = "quorvane-" + std::to_string(::getpid()) + "-" + id;
    try {
        folder_ = os::private_folders::create(id);
    } catch (const os::Error& e) {
        throw AutomationError(messages::startFailure(e.message()));
    }
    if (const os::Status prepared = prepareFolder(folder_, storeFolder(), settings.allowMacros);
        !prepared) {
        os::log::problem(u"ワープロの作業フォルダーを用意できません：" + prepared.reason());
        os::private_folders::remove(folder_);
        throw AutomationError(messages::startFailure(prepared.reason()));
    }

    watchdog_ = std::jthread([this](std::stop_token stop) { watchdogLoop(stop); });
    const auto started = std::chrono::steady_clock::now();
    try {
        spawn(program);
        connect(program, settings.startTimeout);
        loadReplacers(settings.replacer.empty() ? replacerLibrary() : settings.replacer);
    } catch (const AutomationError&) {
        kill();
        watchdog_ = {};
        os::private_folders::remove(folder_);
        removePipeSocket(pipeName_);
        removePipeSocket(instancePipeName(folder_ / "profile"));
        throw;
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    os::log::detail("ワープロを起動しました：pid " + std::to_string(pid_) + "、" +
                    std::to_string(took.count()) + " ms、" + program.string());
}

OfficeProcess::~OfficeProcess() {
    stop();
    watchdog_.request_stop();
    watchdog_.join();
    replacers_.clear();
    desktop_.clear();
    context_.clear();
    os::private_folders::remove(folder_);
    removePipeSocket(pipeName_);
    removePipeSocket(instancePipeName(folder_ / "profile"));
}

void OfficeProcess::spawn(const fs::path& program) {
    ForkingThread::run([&] { forkOffice(program); });
}

namespace {

// A command line and environment as execve takes them, made before fork: after it, only exec may
// follow in the child.
class ExecImage final {
  public:
    ExecImage(std::vector<std::string> args, std::vector<std::string> env)
        : args_(std::move(args)), env_(std::move(env)) {
        for (auto& a : args_)
            argv_.push_back(a.data());
        argv_.push_back(nullptr);
        for (auto& e : env_)
            envp_.push_back(e.data());
        envp_.push_back(nullptr);
    }
    ExecImage(const ExecImage&) = delete;
    ExecImage& operator=(const ExecImage&) = delete;

    // In the child of parent: its own process group, standard streams on devNull, nothing else
    // inherited, then the program.
    [[noreturn]] void execInChild(pid_t parent, int devNull) const {
        ::setpgid(0, 0);
        // The office must not outlive us, even when we crash. The signal follows the thread that
        // forked, which lives as long as we do.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        if (devNull >= 0) {
            ::dup2(devNull, STDIN_FILENO);
            ::dup2(devNull, STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
        }
        ::close_range(3, ~0U, 0);
        ::execve(argv_[0], argv_.data(), envp_.data());
        ::_exit(127);
    }

  private:
    std::vector<std::string> args_;
    std::vector<std::string> env_;
    std::vector<char*> argv_;
    std::vector<char*> envp_;
};

// Ours, with the office's temporary files in its own folder and its lock files on.
std::vector<std::string> officeEnvironment(const fs::path& folder) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        if (!entry.starts_with("TMPDIR=") && !entry.starts_with("SAL_ENABLE_FILE_LOCKING=")) {
            env.emplace_back(entry);
        }
    }
    env.push_back("TMPDIR=" + (folder / "tmp").string());
    env.push_back("SAL_ENABLE_FILE_LOCKING=1");
    return env;
}

}  // namespace

void OfficeProcess::forkOffice(const fs::path& program) {
    const ExecImage image(
        {program.string(), "--headless", "--invisible", "--nologo", "--norestore", "--nodefault",
         "--nolockcheck", "--accept=pipe,name=" + pipeName_ + ";urp;",
         "-env:UserInstallation=" + fileUrl(folder_ / "profile")},
        officeEnvironment(folder_));
    const pid_t parent = ::getpid();
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t pid = ::fork();
    const int forkError = errno;
    if (pid == 0)
        image.execInChild(parent, devNull);
    if (devNull >= 0)
        ::close(devNull);
    if (pid < 0) {
        os::log::problem(std::string("ワープロのプロセスを作れません：") +
                         std::strerror(forkError));
        throw AutomationError(messages::startFailure(messages::kProcessNotMade));
    }
    // Also here, so that a kill of the group cannot race the child's own setpgid.
    ::setpgid(pid, pid);
    std::lock_guard lock(mutex_);
    pid_ = pid;
    reaped_ = false;
}

void OfficeProcess::loadReplacers(const fs::path& library) {
    rtl::OUString built;
    try {
        const css::uno::Reference<css::loader::XImplementationLoader> loader(
            context_->getServiceManager()->createInstanceWithContext(
                "com.sun.star.loader.SharedLibrary", context_),
            css::uno::UNO_QUERY_THROW);
        replacers_.set(
            loader->activate(rtl::OUString::createFromAscii(replacer::kFamily), {},
                             rtl::OUString::createFromAscii(fileUrl(library).c_str()), {}),
            css::uno::UNO_QUERY_THROW);
        built = css::uno::Reference<css::lang::XServiceInfo>(replacers_, css::uno::UNO_QUERY_THROW)
                    ->getImplementationName();
    } catch (const css::uno::Exception& e) {
        os::log::problem("置換の部品をワープロに読み込めません：" + library.string() + "：" +
                         rtl::OUStringToOString(e.Message, RTL_TEXTENCODING_UTF8).getStr());
        throw AutomationError(messages::startFailure(messages::kReplacerNotLoaded));
    }
    // A library of another build would read our requests otherwise than we write them.
    if (!built.equalsAscii(replacer::implementationName().c_str())) {
        replacers_.clear();
        os::log::problem("置換の部品がこのプログラムと別のビルドのものです：" + library.string() +
                         "：" + rtl::OUStringToOString(built, RTL_TEXTENCODING_UTF8).getStr() +
                         "（このプログラムは " + replacer::implementationName() + "）");
        throw AutomationError(std::u16string(messages::kReplacerOfAnotherBuild));
    }
}

void OfficeProcess::connect(const fs::path& program, std::chrono::milliseconds startTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + startTimeout;
    const auto& local = localContext();
    const auto resolver = css::bridge::UnoUrlResolver::create(local);
    const rtl::OUString url = rtl::OUString::createFromAscii(
        ("uno:pipe,name=" + pipeName_ + ";urp;StarOffice.ComponentContext").c_str());
    int restarts = 0;
    while (true) {
        try {
            context_.set(resolver->resolve(url), css::uno::UNO_QUERY_THROW);
            desktop_ = css::frame::Desktop::create(context_);
            return;
        } catch (const css::connection::NoConnectException&) {
            // Not listening yet.
        } catch (const css::uno::RuntimeException&) {
            // The office is still starting up its services.
        }
        if (!alive()) {
            // On a new profile the office sets it up, exits asking to be started again, and then
            // runs: the launcher we do without would do the same.
            if (restarts++ < kMaxRestarts && exitCode_ == kRestartRequested) {
                spawn(program);
                continue;
            }
            os::log::problem("ワープロが起動中に終了しました：pid " + std::to_string(pid_) +
                             "、終了コード " + std::to_string(exitCode_));
            throw AutomationError(messages::startFailure(messages::kExitedAtStart));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            const auto seconds =
                std::chrono::duration_cast<std::chrono::seconds>(startTimeout).count();
            os::log::problem("ワープロが起動中に応答しません：pid " + std::to_string(pid_) + "、" +
                             std::to_string(seconds) + " 秒");
            const std::string waited = std::to_string(std::max<long long>(seconds, 1));
            throw AutomationError(messages::startFailure(
                messages::noAnswerAtStart(std::u16string(waited.begin(), waited.end()))));
        }
        std::this_thread::sleep_for(kConnectRetry);
    }
}

bool OfficeProcess::alive() {
    std::lock_guard lock(mutex_);
    if (reaped_)
        return false;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_ || (r < 0 && errno == ECHILD))
        reaped_ = true;
    if (r == pid_ && WIFEXITED(status))
        exitCode_ = WEXITSTATUS(status);
    return !reaped_;
}

bool OfficeProcess::timedOut() const {
    std::lock_guard lock(mutex_);
    return timedOut_;
}

bool OfficeProcess::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (alive()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

void OfficeProcess::stop() {
    if (!alive())
        return;
    os::log::detail("ワープロを終了します：pid " + std::to_string(pid_));
    if (desktop_.is()) {
        try {
            Watch watch(*this, kTerminateTimeout);
            desktop_->terminate();
        } catch (const css::uno::RuntimeException&) {
            // The bridge goes down with the office, often before the answer arrives.
        }
    }
    desktop_.clear();
    context_.clear();
    if (!waitForExit(kExitTimeout)) {
        os::log::problem("ワープロが終了しないため強制終了します：pid " + std::to_string(pid_));
        kill();
    }
}

void OfficeProcess::kill() {
    {
        std::lock_guard lock(mutex_);
        if (reaped_)
            return;
        ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
    }
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    std::lock_guard lock(mutex_);
    reaped_ = true;
}

void OfficeProcess::removeStaleFolders() {
    os::private_folders::removeAbandoned(
        [](const fs::path& folder) { removePipeSocket(instancePipeName(folder / "profile")); });
    // Pipe sockets of offices whose program died with them ("OSL_PIPE_<uid>_quorvane-<pid>-...").
    const std::string ours = pipeSocketPrefix() + "quorvane-";
    std::error_code error;
    for (const char* folder : kPipeFolders) {
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with(ours) &&
                os::private_folders::ownerGone(std::string_view(name).substr(ours.size()))) {
                removeSocket(entry.path());
            }
        }
    }
}

OfficeProcess::Watch::Watch(OfficeProcess& process, std::chrono::milliseconds timeout)
    : process_(process) {
    {
        std::lock_guard lock(process_.mutex_);
        process_.deadline_ = std::chrono::steady_clock::now() + timeout;
    }
    process_.wake_.notify_all();
}

OfficeProcess::Watch::~Watch() {
    {
        std::lock_guard lock(process_.mutex_);
        process_.deadline_.reset();
    }
    process_.wake_.notify_all();
}

void OfficeProcess::watchdogLoop(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (!deadline_) {
            wake_.wait(lock, stop, [&] { return deadline_.has_value(); });
            continue;
        }
        const auto deadline = *deadline_;
        if (wake_.wait_until(lock, stop, deadline, [&] { return deadline_ != deadline; }))
            continue;
        if (stop.stop_requested())
            return;
        // The call is still running: only killing the office lets it return.
        if (!reaped_) {
            ::kill(-pid_, SIGKILL);
            ::kill(pid_, SIGKILL);
        }
        timedOut_ = true;
        deadline_.reset();
    }
}

}  // namespace quorvane::automation::office
