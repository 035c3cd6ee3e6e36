#pragma once

#include <array>
#include <string>

namespace quorvane {

// The find/replace pairs of a run, in slots 1 to 3; slot 0 is never used. findText holds what the
// body pass may have rewritten; replText holds the replacement as typed, without brackets.
struct PairTexts {
    std::array<std::u16string, 4> findText;
    std::array<std::u16string, 4> replText;
};

}  // namespace quorvane
