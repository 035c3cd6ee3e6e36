#pragma once

#include <unknwn.h>

#include <utility>

namespace quorvane::automation::com {

// One counted reference to a COM interface, released when the holder goes.
template <typename T>
class ComPtr final {
  public:
    ComPtr() = default;
    // Takes over a reference the caller owns, such as one an out-parameter returned.
    static ComPtr adopt(T* p) {
        ComPtr result;
        result.p_ = p;
        return result;
    }
    // Adds a reference of its own.
    static ComPtr share(T* p) {
        if (p)
            p->AddRef();
        return adopt(p);
    }

    ~ComPtr() { reset(); }
    ComPtr(const ComPtr& other) : p_(other.p_) {
        if (p_)
            p_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    void reset() {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For an out-parameter: whatever was held is released first.
    T** put() {
        reset();
        return &p_;
    }
    // A reference for a caller that will release it.
    T* detach() { return std::exchange(p_, nullptr); }

    template <typename U>
    ComPtr<U> query() const {
        ComPtr<U> result;
        if (p_)
            p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(result.put()));
        return result;
    }

  private:
    T* p_ = nullptr;
};

}  // namespace quorvane::automation::com
