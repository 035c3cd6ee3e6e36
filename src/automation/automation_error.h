#pragma once

#include "os/error.h"

namespace quorvane::automation {

// A failed automation call: a member that the object does not have, a wrong argument, a call the
// word processor refused, or a word processor that no longer answers.
class AutomationError : public os::Error {
  public:
    using os::Error::Error;
};

}  // namespace quorvane::automation
