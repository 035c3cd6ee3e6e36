#pragma once

#include <stdexcept>
#include <string>

namespace quorvane::os {

// A failure of a platform service, with a Japanese message meant for the user.
class Error : public std::runtime_error {
  public:
    explicit Error(std::u16string message);

    const std::u16string& message() const noexcept { return message_; }

  private:
    std::u16string message_;
};

}  // namespace quorvane::os
