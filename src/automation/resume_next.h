#pragma once

#include <utility>

#include "automation/automation_error.h"

namespace quorvane::automation {

// Runs one step of a document pass. A failing automation call ends the step and the pass goes on
// with its next step; any other exception is a fault of ours and is not hidden. Returns whether
// the step ran to its end.
template <typename Step>
bool resumeNext(Step&& step) {
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const AutomationError&) {
        return false;
    }
}

// The same, handing the failure to onFailure (to report it) before the pass goes on.
template <typename Step, typename OnFailure>
bool resumeNext(Step&& step, OnFailure&& onFailure) {
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const AutomationError& error) {
        std::forward<OnFailure>(onFailure)(error);
        return false;
    }
}

}  // namespace quorvane::automation
