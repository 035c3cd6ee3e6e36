#include <unistd.h>

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "cli/batch_command.h"
#include "platform/automation/office/office_factory.h"
#include "platform/file_system.h"

int main(int argc, char** argv) {
    using namespace quorvane;
    std::error_code ec;
    const std::filesystem::path current = std::filesystem::current_path(ec);
    cli::Console console{std::cin,
                         std::cout,
                         std::cerr,
                         isatty(STDIN_FILENO) == 1,
                         isatty(STDERR_FILENO) == 1,
                         ec ? std::u16string() : platform::fromNativePath(current)};
    try {
        platform::automation::office::OfficeFactory factory;
        return cli::BatchCommand(factory, console)
            .run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        // Unwinding here is what closes the office; a terminate would leave it running.
        std::cerr << "quorvane-batch: 予期しないエラーで中断しました：" << e.what() << '\n';
        return cli::BatchCommand::kRunEnded;
    }
}
