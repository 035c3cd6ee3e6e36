#pragma once

#include <sys/types.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace quorvane::testing {

// A folder of its own under the temporary folder, removed with everything in it.
class TempFolder final {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // A writable copy of source in the folder, under its own name or name.
    std::filesystem::path copy(const std::filesystem::path& source,
                               const std::string& name = {}) const;

  private:
    std::filesystem::path path_;
};

std::string bytesOf(const std::filesystem::path& path);

// Processes this test process started that have not been reaped, whatever their program.
std::set<pid_t> childProcesses();
// Those of them that run the office (soffice.bin).
std::set<pid_t> officeChildren();

// Files an office or a save leaves beside documents: lock files and pending new versions.
std::vector<std::string> leftovers(const std::filesystem::path& folder);

// Private folders of the offices of this process, and the sockets of their pipes.
std::vector<std::string> privateFilesOfOurs();

}  // namespace quorvane::testing
