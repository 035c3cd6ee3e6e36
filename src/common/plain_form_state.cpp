#include "common/plain_form_state.h"

#include <stdexcept>

#include "platform/automation/member_name.h"

namespace quorvane {

using platform::automation::sameName;

std::int16_t PlainFormState::checkValue(int number) const {
    return checks.at(static_cast<std::size_t>(number - 1));
}

std::u16string PlainFormState::pageControlText(std::u16string_view page,
                                               std::u16string_view control) const {
    if (sameName(page, u"Page1")) {
        for (std::size_t i = 0; i < textBoxes.size(); ++i) {
            const std::u16string name = u"TextBox" + std::u16string(1, u'1' + i);
            if (sameName(control, name))
                return textBoxes[i];
        }
    }
    throw std::out_of_range("no such control on the page");
}

}  // namespace quorvane
