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
    // --version: the version is printed, nothing else is done.
    bool version = false;
    // --report: the whole result is written there as JSON, or as CSV for a name ending in .csv.
    std::u16string reportFile;
    // --backup-to: the originals an in-place run writes are kept there first.
    std::u16string backupFolder;
    // --restore: what that backup folder holds is put back, nothing else is done; --force puts
    // back also over documents changed since the run.
    std::u16string restoreFolder;
    bool force = false;
};

}  // namespace quorvane::cli
