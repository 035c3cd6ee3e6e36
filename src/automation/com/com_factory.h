#pragma once

#include <chrono>
#include <memory>

#include "automation/variant.h"

namespace quorvane::automation::com {

// The calling thread as a COM single-threaded apartment for as long as this object lives: the
// word processor's objects are called from the thread that runs the documents, and calls into
// it wait for its answers while the thread keeps pumping messages. A call the word processor
// rejects because it is busy (a dialog, a document still loading) is tried again every tenth of a
// second for up to busyLimit, then fails as rejected.
class ComApartment final {
  public:
    static constexpr std::chrono::milliseconds kBusyLimit{60'000};

    // Throws AutomationError when the thread is already in another kind of apartment.
    explicit ComApartment(std::chrono::milliseconds busyLimit = kBusyLimit);
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    struct Filter;
    std::unique_ptr<Filter> filter_;
};

// Starts a new instance of an automation server by its class name (ProgID), out of process. An
// instance the user already has open is never used: the run would otherwise edit, and quit, the
// user's own word processor.
class ComObjectFactory final : public ObjectFactory {
  public:
    Variant create(std::u16string_view className) override;
};

}  // namespace quorvane::automation::com
