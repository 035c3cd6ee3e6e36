#pragma once

#include <optional>
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

// What an operation that may be refused answers: done, or refused with the reason in the user's
// words. Converts to true when it was done.
class [[nodiscard]] Status final {
  public:
    static Status done() { return Status(); }
    static Status refused(std::u16string reason) { return Status(std::move(reason)); }

    explicit operator bool() const noexcept { return !reason_; }
    // Why it was refused; empty when it was done.
    const std::u16string& reason() const noexcept {
        static const std::u16string none;
        return reason_ ? *reason_ : none;
    }

  private:
    Status() = default;
    explicit Status(std::u16string reason) : reason_(std::move(reason)) {}

    std::optional<std::u16string> reason_;
};

}  // namespace quorvane::os
