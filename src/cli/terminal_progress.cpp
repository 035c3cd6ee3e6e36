#include "cli/terminal_progress.h"

#include "platform/error.h"
#include "platform/file_system.h"

namespace quorvane::cli {

TerminalProgress::TerminalProgress(std::ostream& err, bool visible,
                                   const volatile std::sig_atomic_t* interrupted)
    : err_(err), visible_(visible), interrupted_(interrupted) {}

void TerminalProgress::documentStarted(std::int32_t index, std::int32_t count,
                                       const std::u16string& path) {
    if (interrupted_ && *interrupted_) {
        throw platform::Error(u"中断の指示により、ここで処理を終えました。");
    }
    lastStarted_ = path;
    if (!visible_)
        return;
    err_ << '[' << index + 1 << '/' << count << "] " << platform::toNativePath(path).native()
         << '\n'
         << std::flush;
}

}  // namespace quorvane::cli
