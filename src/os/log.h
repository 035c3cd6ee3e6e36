#pragma once

#include <filesystem>
#include <string_view>

namespace quorvane::os::log {

// The run report tells the user what happened in plain words; the log keeps the details behind
// them (the word processor's own messages, error codes) for the user to send to us. Until
// start() is called every entry goes nowhere, which is what tests want.

// The log file in the user's state folder ($XDG_STATE_HOME/quorvane, else
// ~/.local/state/quorvane; on Windows %LOCALAPPDATA%\Quorvane).
std::filesystem::path defaultFile();

// Writes entries to file, rotated at a fixed size with a few old files kept; echo also copies
// them to standard error. The folder is created when missing. A log that cannot be opened is
// not an error: the program works without it.
void start(const std::filesystem::path& file, bool echo);

// One entry, UTF-8 or UTF-16. detail is what happened in the normal course of work; problem is a
// failure that the report tells the user about in its own words.
void detail(std::string_view text);
void detail(std::u16string_view text);
void problem(std::string_view text);
void problem(std::u16string_view text);

}  // namespace quorvane::os::log
