#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane {

// The window's controls as a run reads them: each value is read from its control at the moment
// it is needed, never cached.
class FormState {
  public:
    static constexpr std::int16_t kSelected = -1;
    static constexpr std::int16_t kNotSelected = 0;
    static constexpr std::int16_t kChecked = 1;
    static constexpr std::int16_t kUnchecked = 0;

    virtual ~FormState() = default;

    // Option buttons: kSelected or kNotSelected.
    virtual std::int16_t option1Value() const = 0;  // copy the files first
    virtual std::int16_t option2Value() const = 0;  // edit the originals
    // The folder the folder list has open: where copies go.
    virtual std::u16string dir1Path() const = 0;
    // Check1 (body) .. Check5 (distinguish widths): kChecked or kUnchecked.
    virtual std::int16_t checkValue(int number) const = 0;
    // The text of a control on a page of the page control, both found by name without regard to
    // letter case ("Page1", "Textbox1"). Throws std::out_of_range for a name that is not there.
    virtual std::u16string pageControlText(std::u16string_view page,
                                           std::u16string_view control) const = 0;
};

}  // namespace quorvane
