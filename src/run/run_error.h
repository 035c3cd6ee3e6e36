#pragma once

#include <string>

#include "os/error.h"
#include "run/run_result.h"

namespace quorvane::run {

// A run that ended before its documents were processed: the dropped path could not be examined
// or listed, or the word processor could not be started. The message names the path and cause;
// the result holds what the run had done by then.
class RunError final : public os::Error {
  public:
    RunError(RunResult partial, const std::u16string& cause);

    const RunResult& partial() const noexcept { return partial_; }

  private:
    RunResult partial_;
};

}  // namespace quorvane::run
