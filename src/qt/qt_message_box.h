#pragma once

#include "os/message_box.h"

namespace quorvane::qt {

// The program's message boxes as Qt dialogs, modal over the active window, with Japanese buttons.
class QtMessageBox final : public os::MessageBox {
  public:
    int show(std::u16string_view text, std::u16string_view title, int flags) override;
};

}  // namespace quorvane::qt
