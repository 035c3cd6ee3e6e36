#pragma once

#include "win/windows_api.h"

#include <functional>

#include "os/message_box.h"

namespace quorvane::win {

// The system's message box. Its owner is asked for at each box: while a run works that is the
// progress window, so that closing the box does not enable the busy main window again.
class Win32MessageBox final : public os::MessageBox {
  public:
    explicit Win32MessageBox(std::function<HWND()> owner) : owner_(std::move(owner)) {}
    int show(std::u16string_view text, std::u16string_view title, int flags) override;

  private:
    std::function<HWND()> owner_;
};

}  // namespace quorvane::win
