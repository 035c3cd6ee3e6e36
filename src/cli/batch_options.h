#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "common/plain_form_state.h"

namespace quorvane::cli {

// What the command line asked for, already checked; paths are absolute.
struct BatchOptions {
    enum class Mode { CopyTo, InPlace };

    static constexpr std::size_t kMaxPairs = 3;

    Mode mode = Mode::CopyTo;
    std::u16string copyTo;
    bool yes = false;
    // find text, replacement
    std::vector<std::pair<std::u16string, std::u16string>> pairs;
    bool body = true;
    bool textBoxes = true;
    bool headers = true;
    bool ignoreCase = false;
    bool ignoreWidth = false;
    // The log is copied to the error stream as it is written.
    bool verbose = false;
    std::vector<std::u16string> paths;

    // The window's controls set as these options would set them.
    PlainFormState formState() const;
};

}  // namespace quorvane::cli
