#include "platform/error.h"

#include "platform/text_encoding.h"

namespace quorvane::platform {

Error::Error(std::u16string message)
    : std::runtime_error(toUtf8(message)), message_(std::move(message)) {}

}  // namespace quorvane::platform
