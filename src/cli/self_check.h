#pragma once

#include <ostream>

#include "automation/variant.h"
#include "os/message_box.h"

namespace quorvane::cli {

// quorvane-batch --self-check, for a machine with the word processor installed: it makes the
// region test documents through the word processor itself (body, a text box, a header and a
// footer, saved in several formats) in a temporary folder, runs one real run over them on copies,
// reads every region of the copies and of the originals back through the same automation
// interface, and prints a table of the replacements expected and found. The temporary folder
// is removed afterwards.
class SelfCheck final {
  public:
    SelfCheck(automation::ObjectFactory& factory, os::MessageBox& messages, std::ostream& out);

    // 0 when every count matches, 1 when some do not, 3 when the check could not be carried out.
    int run();

  private:
    automation::ObjectFactory& factory_;
    os::MessageBox& messages_;
    std::ostream& out_;
};

}  // namespace quorvane::cli
