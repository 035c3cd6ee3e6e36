#pragma once

#include <unistd.h>

#include <utility>

namespace quorvane::os {

// An open file descriptor, closed with its owner.
class Descriptor final {
  public:
    explicit Descriptor(int fd = -1) noexcept : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0)
                ::close(fd_);
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    bool valid() const noexcept { return fd_ >= 0; }
    int get() const noexcept { return fd_; }
    // Closes now, as a failed close can be the first word of a write that did not reach the disk.
    bool close() noexcept { return ::close(std::exchange(fd_, -1)) == 0; }

  private:
    int fd_;
};

}  // namespace quorvane::os
