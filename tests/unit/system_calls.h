#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The file system calls of the code under test, as a test binary linked with
// tests/unit/system_calls.cmake sees them: the program's own objects call these through the
// linker's --wrap, so the shipped programs call the system directly and carry none of this.
namespace quorvane::test::system_calls {

// While an object lives, the calls on files whose names pass the filter are recorded, one entry
// each: "write NAME" (write and pwrite), "fsync NAME", "close NAME", "rename NAME TO".
class Recording final {
  public:
    explicit Recording(std::function<bool(std::string_view name)> filter);
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    std::vector<std::string> calls() const;
};

// Nothing when the first file in calls was written, then flushed, then closed, and only then
// renamed to destination; else the calls, to show what happened instead.
std::string outOfOrder(const std::vector<std::string>& calls, std::string_view destination);

// Whether name is one the one way files are saved gives its new files.
inline bool isNewFile(std::string_view name) {
    return name.starts_with(".~quorvane-");
}

// The next call ("fsync", or "write" for write and pwrite) on a file whose name passes the
// filter fails with error, once.
void failNext(std::string call, std::function<bool(std::string_view name)> filter, int error);

// The next calls of getrandom get these bytes, in order, before the system's own again.
void chooseRandomBytes(std::string bytes);
// Whether every chosen byte was taken.
bool randomBytesTaken();

}  // namespace quorvane::test::system_calls
