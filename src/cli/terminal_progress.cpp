#include "cli/terminal_progress.h"

#include "platform/file_system.h"

namespace quorvane::cli {

TerminalProgress::TerminalProgress(std::ostream& err, bool visible)
    : err_(err), visible_(visible) {}

void TerminalProgress::documentStarted(std::int32_t index, std::int32_t count,
                                       const std::u16string& path) {
    lastStarted_ = path;
    if (!visible_)
        return;
    err_ << '[' << index + 1 << '/' << count << "] " << platform::toNativePath(path).native()
         << '\n'
         << std::flush;
}

}  // namespace quorvane::cli
