#pragma once

#include <ostream>

#include "automation/variant.h"
#include "os/message_box.h"

namespace quorvane::cli {

// quorvane-batch --self-check, for a machine with the word processor installed: it makes test
// documents through the word processor itself in a temporary folder (every region, text boxes in
// headers and in a group, linked headers, a read-only recommendation, several formats) and writes
// text files of its own, runs one real run over them on copies, reads the copies and the
// originals back through the same automation interface, and prints a table of what it expected
// and what it found. The temporary folder is removed afterwards.
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
