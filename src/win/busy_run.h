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
    // Throws os::Error once the window was asked to close: the run then ends before this
    // document, with the documents before it done.
    void documentStarted(std::int32_t index, std::int32_t count,
                         const std::u16string& path) override;
    // Closing the window mid-run would leave the rest of the drop running without a window: the
    // close waits for the document at hand.
    void requestClose();
    bool closeRequested() const { return closeRequested_; }

  private:
    HWND window_;
    HWND progress_;
    HWND line_;
    HWND bar_;
    bool closeRequested_ = false;
};

}  // namespace quorvane::win
