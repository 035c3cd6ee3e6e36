#pragma once

#include "platform/automation/variant.h"

namespace quorvane {

// wdApp: the word processor of the current run. wdDoc: the document of the pass at hand. Both
// are empty until first used and nothing after they are released.
struct AutomationHandles {
    platform::automation::Variant wdApp;
    platform::automation::Variant wdDoc;
};

}  // namespace quorvane
