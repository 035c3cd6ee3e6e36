#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

// What a run has to tell about one document, in Japanese: a failure (it could not be opened or
// saved, or not every pair reached it) or a notice (it was processed, and something the user
// should know happened to it, such as a save in a newer format).
struct DocumentFailure {
    enum class Kind { Failure, Notice };

    std::u16string path;
    std::u16string reason;
    Kind kind = Kind::Failure;

    bool isNotice() const noexcept { return kind == Kind::Notice; }
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
