#pragma once

#include <functional>
#include <string>
#include <vector>

#include "form/window_rules.h"
#include "run/run_driver.h"

namespace quorvane::form {

// The runs of one drop, one per dropped path and one after another, each with the request the
// controls give when it starts; after each, what the user should know of it is told.
//
// A run that ends with an error ends the drop there: the user should first see to what went
// wrong, and to the documents that had failed before it, which are told first. Any other failure
// ends it too and is told as unexpected, never let through: it would unwind through the window
// toolkit's event loop, which neither toolkit allows, and the user would not learn what stopped.
void runDrop(run::RunDriver& driver, const std::vector<std::u16string>& paths,
             const std::function<run::RunRequest()>& request, run::RunProgress* progress,
             const std::function<void(const Message&)>& tell);

}  // namespace quorvane::form
