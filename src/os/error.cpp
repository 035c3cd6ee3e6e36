#include "os/error.h"

#include "os/text_encoding.h"

namespace quorvane::os {

Error::Error(std::u16string message)
    : std::runtime_error(toUtf8(message)), message_(std::move(message)) {}

}  // namespace quorvane::os
