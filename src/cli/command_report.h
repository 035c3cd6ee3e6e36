#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "cli/batch_options.h"
#include "run/run_result.h"

namespace quorvane::cli {

// What one command did with every path it was given, as quorvane-batch tells it: every document
// the command did not process carries the reason the report on standard output prints for it.
struct CommandResult {
    struct Path {
        run::RunResult result;
        // Why the command ended at this path (an error or an interruption); empty otherwise.
        std::u16string ended;
    };

    std::vector<Path> paths;
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point ended;
    // How long the command worked, as a steady clock measures it.
    double seconds = 0;
};

// The path the report on standard output names for a document not processed: the file the word
// processor could not open or save, or the document the run did not get as far as.
const std::u16string& listedPath(const run::DocumentResult& document);

// The short block told after the runs, one line each, in Japanese.
std::vector<std::u16string> summaryOf(const BatchOptions& options, const CommandResult& command);

// The report file: the request, the times, the program's version and every document with its
// counts, as JSON, or one row per document as CSV. The formats are the README's.
inline constexpr int kReportVersion = 1;
std::string jsonReport(const BatchOptions& options, const CommandResult& command);
std::string csvReport(const BatchOptions& options, const CommandResult& command);

}  // namespace quorvane::cli
