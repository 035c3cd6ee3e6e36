#pragma once

#include "os/error.h"

namespace quorvane::automation {

// A failed automation call: a member that the object does not have, a wrong argument, a call the
// word processor refused, or a word processor that no longer answers.
class AutomationError : public os::Error {
  public:
    using os::Error::Error;
};

// The server is gone: it ended, or the connection to it broke. Nothing more can be asked of any
// of its objects.
class ServerGoneError final : public AutomationError {
  public:
    using AutomationError::AutomationError;
};

// The word processor ended, or stopped answering and was ended, during the call, and every change
// it held and had not yet written went with it: the document at hand is as it was on disk, and may
// be tried again from the start with the word processor that takes its place.
class WordProcessorLostError final : public AutomationError {
  public:
    using AutomationError::AutomationError;
};

}  // namespace quorvane::automation
