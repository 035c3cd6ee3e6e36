#pragma once

#include <oaidl.h>
#include <wrl/client.h>

#include <map>
#include <string>
#include <vector>

#include "automation/automation_error.h"
#include "automation/com/server_watchdog.h"
#include "automation/variant.h"

namespace quorvane::automation::com {

// An automation object behind IDispatch, called the way late binding calls it: names resolved
// by GetIDsOfNames (without regard to case, as COM does), property gets and puts, methods with
// positional and named arguments, collections through _NewEnum or else Count and Item. Every
// failure, the server's own exceptions included, is an AutomationError in Japanese that carries
// the server's description. Used on the thread that created it, a single-threaded apartment.
class ComObject final : public Object {
  public:
    // watchdog, when given, watches every call into this object and the objects it returns.
    explicit ComObject(Microsoft::WRL::ComPtr<IDispatch> dispatch,
                       std::shared_ptr<ServerWatchdog> watchdog = nullptr);

    Variant get(std::u16string_view member) override;
    void put(std::u16string_view member, const Variant& value) override;
    Variant call(std::u16string_view member, const std::vector<Variant>& positional,
                 const std::vector<NamedArgument>& named) override;
    std::vector<Variant> enumerate() override;

    IDispatch* dispatch() const { return dispatch_.Get(); }

  private:
    // The member's DISPID followed by those of the argument names.
    const std::vector<DISPID>& dispatchIds(std::u16string_view member,
                                           const std::vector<NamedArgument>& named);
    Variant invoke(std::u16string_view member, DISPID id, WORD flags,
                   const std::vector<Variant>& positional, const std::vector<NamedArgument>& named,
                   const std::vector<DISPID>& ids);
    std::vector<Variant> enumerateByIndex();
    // An object the server returned, watched as this one is.
    Variant watched(Variant value) const;

    Microsoft::WRL::ComPtr<IDispatch> dispatch_;
    std::shared_ptr<ServerWatchdog> watchdog_;
    std::map<std::u16string, std::vector<DISPID>> ids_;
};

// The Japanese words for a failed call's HRESULT: a dead or busy server, a missing member, a
// wrong argument, or the code itself.
std::u16string describeFailure(HRESULT result);

}  // namespace quorvane::automation::com
