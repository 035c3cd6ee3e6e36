#pragma once

#include <ostream>
#include <string>

#include "common/run_report.h"

namespace quorvane::cli {

// One line per document on the error stream, shown only when someone watches it; the document a
// run reached last is kept either way, as the run loses its name when its copy fails.
class TerminalProgress final : public RunProgress {
  public:
    TerminalProgress(std::ostream& err, bool visible);

    void documentStarted(std::int32_t index, std::int32_t count,
                         const std::u16string& path) override;

    const std::u16string& lastStarted() const noexcept { return lastStarted_; }

  private:
    std::ostream& err_;
    bool visible_;
    std::u16string lastStarted_;
};

}  // namespace quorvane::cli
