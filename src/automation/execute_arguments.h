#pragma once

#include <string>
#include <vector>

#include "automation/variant.h"

namespace quorvane::automation {

// The arguments of Find.Execute as the word processor binds them: the find text positionally or
// as FindText, ReplaceWith, Replace (only 2, replace all, is supported) and an optional
// MatchCase, false when not given.
struct ExecuteArguments {
    std::u16string findText;
    std::u16string replaceWith;
    bool matchCase = false;
};

// Throws AutomationError for an argument that is missing, unknown or of the wrong type.
ExecuteArguments bindExecuteArguments(const std::vector<Variant>& positional,
                                      const std::vector<NamedArgument>& named);

}  // namespace quorvane::automation
