#include "run/run_error.h"

namespace quorvane::run {

RunError::RunError(RunResult partial, const std::u16string& cause)
    : os::Error(u"「" + partial.path + u"」を処理できませんでした。\n" + cause),
      partial_(std::move(partial)) {}

}  // namespace quorvane::run
