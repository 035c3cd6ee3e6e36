#pragma once

#include <string>

#include "platform/error.h"

namespace quorvane {

// A run that ended before its documents were processed: the dropped path could not be examined
// or listed, or the word processor could not be started. The message names the path and cause.
class RunError final : public platform::Error {
  public:
    RunError(std::u16string path, const std::u16string& cause);

    const std::u16string& path() const noexcept { return path_; }

  private:
    std::u16string path_;
};

}  // namespace quorvane
