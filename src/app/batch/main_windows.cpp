#include <windows.h>

#include <io.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "automation/com/com_factory.h"
#include "automation/com/word_factory.h"
#include "cli/batch_command.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/text_encoding.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

// The first Ctrl-C or Ctrl-Break lets the document at hand finish and the word processor quit; a
// second one ends the program at once, as the system's default handler does.
BOOL WINAPI stopBetweenDocuments(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    if (interrupted)
        return FALSE;
    interrupted = 1;
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    using namespace quorvane;
    // The command speaks UTF-8, on the console as in a redirected file.
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    SetConsoleCtrlHandler(stopBetweenDocuments, TRUE);
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view argument(argv[i]);
        arguments.push_back(os::toUtf8(std::u16string(argument.begin(), argument.end())));
    }
    std::error_code ec;
    const std::filesystem::path current = std::filesystem::current_path(ec);
    cli::Console console{std::cin,
                         std::cout,
                         std::cerr,
                         _isatty(_fileno(stdin)) != 0,
                         _isatty(_fileno(stderr)) != 0,
                         ec ? std::u16string() : os::fromNativePath(current),
                         &interrupted,
                         [](bool echo) { os::log::start(os::log::defaultFile(), echo); },
                         // Word writes its own formats: there is nothing to tell it.
                         {}};
    try {
        const automation::com::ComApartment apartment;
        automation::com::ComObjectFactory com;
        automation::com::WordFactory factory(com);
        return cli::BatchCommand(factory, console).run(arguments);
    } catch (const std::exception& e) {
        // Unwinding here is what quits the word processor; a terminate would leave it running.
        os::log::problem(e.what());
        std::cerr << "quorvane-batch: 予期しないエラーで中断しました：" << e.what() << '\n';
        return cli::BatchCommand::kRunEnded;
    }
}
