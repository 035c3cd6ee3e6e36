#pragma once

#include <chrono>
#include <memory>

#include "automation/com/server_watchdog.h"
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
// user's own word processor. A call into an instance that does not return within callLimit ends
// its process (see ServerWatchdog).
class ComObjectFactory final : public ObjectFactory {
  public:
    explicit ComObjectFactory(std::chrono::milliseconds callLimit = ServerWatchdog::kCallLimit)
        : callLimit_(callLimit) {}
    Variant create(std::u16string_view className) override;

  private:
    std::chrono::milliseconds callLimit_;
};

}  // namespace quorvane::automation::com
