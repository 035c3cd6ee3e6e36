#include "run/run_error.h"

#include "run/run_messages.h"

namespace quorvane::run {

RunError::RunError(RunResult partial, const std::u16string& cause, bool pathUnreadable)
    : os::Error(messages::pathNotProcessed(partial.path, cause)),
      partial_(std::move(partial)),
      cause_(cause),
      pathUnreadable_(pathUnreadable) {}

}  // namespace quorvane::run
