#include "run/run_error.h"

namespace quorvane::run {

RunError::RunError(RunResult partial, const std::u16string& cause, bool pathUnreadable)
    : os::Error(u"「" + partial.path + u"」を処理できませんでした。\n" + cause),
      partial_(std::move(partial)),
      cause_(cause),
      pathUnreadable_(pathUnreadable) {}

}  // namespace quorvane::run
