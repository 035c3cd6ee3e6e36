#pragma once

#include "platform/error.h"

namespace quorvane::platform::automation {

// A failed automation call: a member that the object does not have, a wrong argument, a call the
// word processor refused, or a word processor that no longer answers.
class AutomationError : public Error {
  public:
    using Error::Error;
};

}  // namespace quorvane::platform::automation
