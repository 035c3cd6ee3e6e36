#pragma once

#include "automation/variant.h"

namespace quorvane::automation::com {

// The calling thread as a COM single-threaded apartment for as long as this object lives: the
// word processor's objects are called from the thread that runs the documents, and calls into
// it wait for its answers while the thread keeps pumping messages.
class ComApartment final {
  public:
    // Throws AutomationError when the thread is already in another kind of apartment.
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

// Starts a new instance of an automation server by its class name (ProgID), out of process. An
// instance the user already has open is never used: the run would otherwise edit, and quit, the
// user's own word processor.
class ComObjectFactory final : public ObjectFactory {
  public:
    Variant create(std::u16string_view className) override;
};

}  // namespace quorvane::automation::com
