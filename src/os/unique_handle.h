#pragma once

#include <windows.h>

#include <utility>

namespace quorvane::os {

// The one owner of a Windows handle, closed with close when the owner goes. A null handle and
// INVALID_HANDLE_VALUE both hold nothing: the system's functions answer one or the other for a
// handle they could not open, depending on the function.
template <typename Handle, auto close>
class UniqueHandle final {
  public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    explicit operator bool() const noexcept {
        return handle_ && handle_ != reinterpret_cast<Handle>(INVALID_HANDLE_VALUE);
    }
    Handle get() const noexcept { return handle_; }
    // For an out-parameter: whatever was held is closed first.
    Handle* put() noexcept {
        reset();
        return &handle_;
    }
    Handle release() noexcept { return std::exchange(handle_, nullptr); }
    void reset(Handle handle = nullptr) noexcept {
        if (*this)
            close(handle_);
        handle_ = handle;
    }

  private:
    Handle handle_ = nullptr;
};

// A kernel object: a process, a file, a snapshot.
using KernelHandle = UniqueHandle<HANDLE, &CloseHandle>;
// A search of a folder's entries.
using FindHandle = UniqueHandle<HANDLE, &FindClose>;
using RegistryKey = UniqueHandle<HKEY, &RegCloseKey>;
// An icon the program made or was given to destroy.
using IconHandle = UniqueHandle<HICON, &DestroyIcon>;
// A font, a bitmap or another GDI object.
template <typename Object>
using GdiObject = UniqueHandle<Object, &DeleteObject>;

}  // namespace quorvane::os
