#pragma once

#include <csignal>
#include <ostream>
#include <string>

#include "run/run_driver.h"

namespace quorvane::cli {

// One line per document on the error stream, shown only when someone watches it.
//
// A stop asked for by the user takes effect here, between documents: the previous one is closed
// and saved, so stopping never leaves a half-written document, and the run's own error path quits
// the word processor.
class TerminalProgress final : public run::RunProgress {
  public:
    // interrupted may be null.
    TerminalProgress(std::ostream& err, bool visible,
                     const volatile std::sig_atomic_t* interrupted);

    void documentStarted(std::int32_t index, std::int32_t count,
                         const std::u16string& path) override;

  private:
    std::ostream& err_;
    bool visible_;
    const volatile std::sig_atomic_t* interrupted_;
};

}  // namespace quorvane::cli
