#pragma once

#include <string_view>

namespace quorvane::os {

// The modal message box of the platform, with the classic button and icon flags, so that the
// core can ask and tell without knowing the toolkit, and tests can script the answers.
class MessageBox {
  public:
    static constexpr int kYesNo = 4;
    static constexpr int kCritical = 16;
    static constexpr int kQuestion = 32;
    static constexpr int kExclamation = 48;
    static constexpr int kInformation = 64;

    static constexpr int kOk = 1;
    static constexpr int kYes = 6;
    static constexpr int kNo = 7;

    virtual ~MessageBox() = default;

    // Shows the box and returns the button the user chose (kOk, kYes, kNo).
    virtual int show(std::u16string_view text, std::u16string_view title, int flags) = 0;
};

}  // namespace quorvane::os
