#include "os/available_memory.h"

#include <fstream>
#include <sstream>
#include <string>

namespace quorvane::os {

std::optional<std::uint64_t> availableMemory() {
    std::ifstream meminfo("/proc/meminfo");
    for (std::string line; std::getline(meminfo, line);) {
        std::istringstream fields(line);
        std::string name;
        std::uint64_t kibibytes = 0;
        if (fields >> name >> kibibytes && name == "MemAvailable:")
            return kibibytes * 1024;
    }
    return std::nullopt;
}

}  // namespace quorvane::os
