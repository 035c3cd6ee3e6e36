#pragma once

#include <istream>
#include <ostream>

#include "os/message_box.h"

namespace quorvane::cli {

// Messages on the terminal: notices go to the error stream, and a yes/no question is answered
// on the input, or by --yes given beforehand.
class TerminalMessageBox final : public os::MessageBox {
  public:
    TerminalMessageBox(std::istream& in, std::ostream& err, bool assumeYes);

    int show(std::u16string_view text, std::u16string_view title, int flags) override;

  private:
    int ask(std::u16string_view text);

    std::istream& in_;
    std::ostream& err_;
    bool assumeYes_;
};

}  // namespace quorvane::cli
