#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "automation/office/office_factory.h"
#include "cli/batch_command.h"
#include "os/file_system.h"
#include "os/log.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

// The first Ctrl-C or termination request lets the document at hand finish and the office quit;
// the handler is then reset, so a second one ends the program at once. Without SA_RESTART a
// pending yes/no question returns, and is taken as no.
void stopBetweenDocuments() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quorvane;
    stopBetweenDocuments();
    std::error_code ec;
    const std::filesystem::path current = std::filesystem::current_path(ec);
    try {
        // One office serves every path given, and ends with the program.
        automation::office::OfficeFactory::Options options;
        options.keepWarm = std::chrono::minutes{5};
        automation::office::OfficeFactory factory(options);
        cli::Console console{std::cin,
                             std::cout,
                             std::cerr,
                             isatty(STDIN_FILENO) == 1,
                             isatty(STDERR_FILENO) == 1,
                             ec ? std::u16string() : os::fromNativePath(current),
                             &interrupted,
                             [](bool echo) { os::log::start(os::log::defaultFile(), echo); },
                             [&](const cli::BatchOptions& asked) {
                                 factory.checkSavedFiles(asked.checkSavedFiles);
                             }};
        return cli::BatchCommand(factory, console)
            .run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        // Unwinding here is what closes the office; a terminate would leave it running.
        quorvane::os::log::problem(e.what());
        std::cerr << "quorvane-batch: 予期しないエラーで中断しました：" << e.what() << '\n';
        return cli::BatchCommand::kRunEnded;
    }
}
