#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/form_state.h"

namespace quorvane {

// Form state held in plain values, for runs that have no window.
class PlainFormState final : public FormState {
  public:
    std::int16_t option1 = kSelected;
    std::int16_t option2 = kNotSelected;
    std::u16string dir1;
    std::array<std::int16_t, 5> checks{kChecked, kChecked, kChecked, kChecked, kChecked};
    // TextBox1 .. TextBox6 of Page1.
    std::array<std::u16string, 6> textBoxes;

    std::int16_t option1Value() const override { return option1; }
    std::int16_t option2Value() const override { return option2; }
    std::u16string dir1Path() const override { return dir1; }
    std::int16_t checkValue(int number) const override;
    std::u16string pageControlText(std::u16string_view page,
                                   std::u16string_view control) const override;
};

}  // namespace quorvane
