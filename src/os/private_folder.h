#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

// Folders only this user reaches, for the programs we start (the office's profile and its
// temporary files): in $XDG_RUNTIME_DIR when it is set and private to us, else in a folder of
// this process's own made in the temporary folder. Each is ours, 0700, and reached through no
// link; what they hold goes when the process that made it is gone.
namespace quorvane::os::private_folders {

// The folder they all live in. Throws FileSystemError when there is none to be had.
std::filesystem::path root();

// A new, empty folder of this process in root, named "<pid>-<name>". Throws FileSystemError.
std::filesystem::path create(std::string_view name);

// Removes a folder that create made, with everything in it, following no link.
void remove(const std::filesystem::path& folder) noexcept;

// Removes what processes of this user that have ended left behind, and nothing else: their
// folders in root, and in the temporary folder the roots they made there. before is told of each
// folder in root before it goes.
void removeAbandoned(const std::function<void(const std::filesystem::path&)>& before = {}) noexcept;

// Whether a process named by a leading "<pid>-" of a name left behind has ended on this machine.
bool ownerGone(std::string_view name) noexcept;
// Whether the process pid, not this one, has ended on this machine.
bool processEnded(long pid) noexcept;

}  // namespace quorvane::os::private_folders
