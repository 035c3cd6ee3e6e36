#include "batch/run_error.h"

namespace quorvane {

RunError::RunError(std::u16string path, const std::u16string& cause)
    : platform::Error(u"「" + path + u"」を処理できませんでした。\n" + cause),
      path_(std::move(path)) {}

}  // namespace quorvane
