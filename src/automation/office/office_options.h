#pragma once

#include <chrono>
#include <filesystem>

namespace quorvane::automation::office {

// How the backend runs its offices.
struct OfficeOptions {
    // Longest an office call may take before the office is taken for hung and restarted.
    std::chrono::milliseconds callTimeout = std::chrono::seconds{120};
    // The office is restarted after this many documents, as its memory grows.
    int recycleAfterDocuments = 200;
    // Longest the office may take to start and accept our connection.
    std::chrono::milliseconds startTimeout = std::chrono::seconds{60};
    // How long an office whose run has quit waits running for the next run of the factory;
    // zero ends it at Quit.
    std::chrono::milliseconds keepWarm{0};
    // Whether a saved file in a format not the office's own is read back, and kept only when it
    // holds all the text the document held.
    bool checkSavedFiles = true;
    // The office program (soffice.bin); empty for the installed office.
    std::filesystem::path program;
    // The library of the replacer the office runs; empty for the one that came with the program.
    std::filesystem::path replacer;
};

}  // namespace quorvane::automation::office
