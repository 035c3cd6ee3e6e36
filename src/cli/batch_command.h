#pragma once

#include <csignal>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "automation/variant.h"
#include "cli/batch_options.h"

namespace quorvane::run {
class BackupFolder;
}

namespace quorvane::cli {

// Where the command talks: the report on out; notices, errors, questions and progress on err.
struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    // Whether a person can answer on in, and whether one watches err.
    bool inputIsTerminal = false;
    bool errorIsTerminal = false;
    // Where relative paths start; empty when it is not known.
    std::u16string workingDirectory;
    // Set (by a signal handler) when the user asks to stop; may be null.
    const volatile std::sig_atomic_t* interrupted = nullptr;
    // Starts the log once the command line is known to be good, echoing it on err when asked
    // (--verbose); may be empty.
    std::function<void(bool echo)> startLog;
    // Tells the word processor what the command line asks of it (--no-verify) before the first
    // run; may be empty.
    std::function<void(const BatchOptions&)> configureWordProcessor;
};

// quorvane-batch: one run per path, in order, with the window's semantics.
class BatchCommand final {
  public:
    enum ExitStatus : int {
        kAllProcessed = 0,
        kSomeNotProcessed = 1,
        kUsage = 2,
        kRunEnded = 3,
    };

    BatchCommand(automation::ObjectFactory& factory, Console& console);

    // arguments without the program name.
    int run(const std::vector<std::string>& arguments);

  private:
    // One run per path, each document not processed reported, then the summary and the report
    // file.
    int runPaths(const BatchOptions& options, run::BackupFolder* backups);
    // --restore: what a backup folder holds is put back.
    int restore(const BatchOptions& options);

    automation::ObjectFactory& factory_;
    Console& console_;
};

}  // namespace quorvane::cli
