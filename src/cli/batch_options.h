#pragma once

#include <string>
#include <vector>

#include "run/run_request.h"

namespace quorvane::cli {

// What the command line asked for, already checked; paths are absolute.
struct BatchOptions {
    run::RunRequest request;
    // Edit originals without asking.
    bool yes = false;
    // The log is copied to the error stream as it is written.
    bool verbose = false;
    // A saved document is read back and kept only when it lost nothing (--no-verify turns it off).
    bool checkSavedFiles = true;
    // --null: each field of the report on standard output ends with a NUL, nothing escaped.
    bool nullTerminated = false;
    std::vector<std::u16string> paths;
    // --self-check: the word processor is tried on documents of its own, nothing else is done.
    bool selfCheck = false;
};

}  // namespace quorvane::cli
