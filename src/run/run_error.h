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
    RunError(RunResult partial, const std::u16string& cause, bool pathUnreadable = false);

    const RunResult& partial() const noexcept { return partial_; }
    // Why, without the path.
    const std::u16string& cause() const noexcept { return cause_; }
    // The dropped path itself could not be examined or listed: nothing of the run was started.
    bool pathUnreadable() const noexcept { return pathUnreadable_; }

  private:
    RunResult partial_;
    std::u16string cause_;
    bool pathUnreadable_;
};

}  // namespace quorvane::run
