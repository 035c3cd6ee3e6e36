#pragma once

#include "win/windows_api.h"

#include "run/run_driver.h"

namespace quorvane::win {

// The window while the runs of one drop work: the window takes no input, a progress window names
// the document at hand, the cursor waits, and painting goes on between documents, so that a long
// run neither looks like a crash nor has its settings changed under it.
class BusyRun final : public run::RunProgress {
  public:
    explicit BusyRun(HWND window);
    ~BusyRun() override;
    BusyRun(const BusyRun&) = delete;
    BusyRun& operator=(const BusyRun&) = delete;

    // The owner of message boxes asked during the run, so that closing one does not give the
    // window its input back.
    HWND owner() const { return progress_; }
    void documentStarted(std::int32_t index, std::int32_t count,
                         const std::u16string& path) override;

  private:
    HWND window_;
    HWND progress_;
    HWND line_;
    HWND bar_;
};

}  // namespace quorvane::win
