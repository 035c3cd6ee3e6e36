#include "cli/terminal_progress.h"

#include "cli/cli_messages.h"
#include "os/error.h"
#include "os/file_system.h"

namespace quorvane::cli {

TerminalProgress::TerminalProgress(std::ostream& err, bool visible,
                                   const volatile std::sig_atomic_t* interrupted)
    : err_(err), visible_(visible), interrupted_(interrupted) {}

void TerminalProgress::documentStarted(std::int32_t index, std::int32_t count,
                                       const std::u16string& path) {
    if (interrupted_ && *interrupted_) {
        throw os::Error(std::u16string(messages::kStoppedHere));
    }
    if (!visible_)
        return;
    err_ << '[' << index + 1 << '/' << count << "] " << os::pathForTerminal(path) << '\n'
         << std::flush;
}

}  // namespace quorvane::cli
