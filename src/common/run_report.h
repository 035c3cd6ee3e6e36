#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

// A document that a run could not open or save, and why, in Japanese.
struct DocumentFailure {
    std::u16string path;
    std::u16string reason;
};

using RunReport = std::vector<DocumentFailure>;

// Told of each document as a run reaches it, so that a long run can show where it is.
class RunProgress {
  public:
    virtual ~RunProgress() = default;
    // index counts from 0; count is the number of targets of the run.
    virtual void documentStarted(std::int32_t index, std::int32_t count,
                                 const std::u16string& path) = 0;
};

}  // namespace quorvane
