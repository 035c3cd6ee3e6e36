#include "office_test_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace quorvane::testing {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "quorvane-office-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, ignored);
    fs::remove_all(path_, ignored);
}

fs::path TempFolder::copy(const fs::path& source, const std::string& name) const {
    const fs::path target = path_ / (name.empty() ? source.filename() : fs::path(name));
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    return target;
}

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

namespace {

std::set<pid_t> children(bool officeOnly) {
    std::set<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        if (officeOnly && line.find("(soffice.bin)") == std::string::npos)
            continue;
        char state = 0;
        pid_t parent = 0;
        std::istringstream rest(line.substr(close + 2));
        rest >> state >> parent;
        if (parent == ::getpid())
            found.insert(std::stoi(name));
    }
    return found;
}

}  // namespace

std::set<pid_t> childProcesses() {
    return children(false);
}

std::set<pid_t> officeChildren() {
    return children(true);
}

std::vector<std::string> leftovers(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".~lock.") || name.starts_with(".~quorvane-"))
            found.push_back(name);
    }
    return found;
}

std::vector<std::string> privateFilesOfOurs() {
    std::vector<std::string> found;
    std::error_code error;
    const std::string prefix = std::to_string(::getpid()) + "-";
    for (const auto& entry :
         fs::directory_iterator(fs::temp_directory_path() / "quorvane-office", error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix))
            found.push_back(name);
    }
    // The socket of the pipe we talk to the office through.
    const std::string socket = "OSL_PIPE_" + std::to_string(::getuid()) + "_quorvane-" + prefix;
    for (const auto& entry : fs::directory_iterator("/tmp", error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(socket))
            found.push_back(name);
    }
    return found;
}

}  // namespace quorvane::testing
