#pragma once

#include <oaidl.h>

#include <string>
#include <string_view>

#include "automation/variant.h"

namespace quorvane::automation::com {

// A BSTR owned by its holder.
class Bstr final {
  public:
    Bstr() = default;
    explicit Bstr(std::u16string_view text);
    static Bstr adopt(BSTR text);
    ~Bstr();
    Bstr(Bstr&& other) noexcept;
    Bstr& operator=(Bstr&&) = delete;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return text_; }
    BSTR detach();
    std::u16string str() const;

  private:
    BSTR text_ = nullptr;
};

// A VARIANT owned by its holder: cleared, references and strings freed, when it goes.
class ComVariant final {
  public:
    ComVariant();
    ~ComVariant();
    ComVariant(ComVariant&& other) noexcept;
    ComVariant& operator=(ComVariant&&) = delete;
    ComVariant(const ComVariant&) = delete;
    ComVariant& operator=(const ComVariant&) = delete;

    VARIANT* get() { return &value_; }
    const VARIANT& value() const { return value_; }
    // Hands the value to a caller that will clear it.
    void moveTo(VARIANT* out);

  private:
    VARIANT value_;
};

// Every type the object model knows, both ways. Objects travel as IDispatch references; an
// object that is not a COM object cannot be passed. Results by reference are unwrapped, and the
// other integer types the word processor answers with become 32-bit integers where they fit.
// Both throw AutomationError for a value that has no counterpart.
ComVariant toComVariant(const Variant& value);
Variant fromComVariant(const VARIANT& value);

}  // namespace quorvane::automation::com
