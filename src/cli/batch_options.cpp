#include "cli/batch_options.h"

namespace quorvane::cli {

PlainFormState BatchOptions::formState() const {
    PlainFormState form;
    const bool copy = mode == Mode::CopyTo;
    form.option1 = copy ? FormState::kSelected : FormState::kNotSelected;
    form.option2 = copy ? FormState::kNotSelected : FormState::kSelected;
    form.dir1 = copyTo;
    const auto check = [](bool on) { return on ? FormState::kChecked : FormState::kUnchecked; };
    form.checks = {check(body), check(textBoxes), check(headers), check(!ignoreCase),
                   check(!ignoreWidth)};
    for (std::size_t i = 0; i < pairs.size() && i < kMaxPairs; ++i) {
        form.textBoxes[2 * i] = pairs[i].first;
        form.textBoxes[2 * i + 1] = pairs[i].second;
    }
    return form;
}

}  // namespace quorvane::cli
