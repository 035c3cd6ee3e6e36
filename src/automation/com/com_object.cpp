#include "automation/com/com_object.h"

#include <oleauto.h>

#include <cstdio>

#include "automation/automation_error.h"
#include "automation/com/com_messages.h"
#include "automation/com/com_variant.h"
#include "automation/member_name.h"
#include "os/log.h"

namespace quorvane::automation::com {
namespace {

// Servers that are gone, as the RPC layer reports them.
constexpr HRESULT kServerUnavailable = HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);
constexpr HRESULT kCallFailed = HRESULT_FROM_WIN32(RPC_S_CALL_FAILED);

std::u16string hex(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

bool serverGone(HRESULT result) {
    return result == RPC_E_DISCONNECTED || result == kServerUnavailable || result == kCallFailed;
}

[[noreturn]] void fail(std::u16string_view member, std::u16string detail, HRESULT result = S_OK) {
    std::u16string message = messages::callFailed(member, detail);
    os::log::problem(message);
    if (serverGone(result))
        throw ServerGoneError(std::move(message));
    throw AutomationError(std::move(message));
}

// The server's own words: its description, else its error code.
[[noreturn]] void failWithException(std::u16string_view member, EXCEPINFO& info) {
    if (info.pfnDeferredFillIn)
        info.pfnDeferredFillIn(&info);
    // The strings are ours to free.
    _bstr_t source(info.bstrSource, false);
    _bstr_t description(info.bstrDescription, false);
    const _bstr_t help(info.bstrHelpFile, false);
    std::u16string detail = fromBstr(description.GetBSTR());
    if (detail.empty())
        detail = describeFailure(info.scode ? info.scode : DISP_E_EXCEPTION);
    if (source.length() > 0)
        detail += u"（" + fromBstr(source.GetBSTR()) + u"）";
    fail(member, std::move(detail));
}

}  // namespace

std::u16string describeFailure(HRESULT result) {
    std::u16string words;
    switch (result) {
        case RPC_E_DISCONNECTED:
        case kServerUnavailable:
        case kCallFailed:
            words = messages::serverNotAnswering();
            break;
        case RPC_E_CALL_REJECTED:
        case RPC_E_SERVERCALL_RETRYLATER:
            words = messages::serverBusy();
            break;
        case DISP_E_UNKNOWNNAME:
        case DISP_E_MEMBERNOTFOUND:
            words = messages::noSuchMember();
            break;
        case DISP_E_TYPEMISMATCH:
        case DISP_E_BADVARTYPE:
            words = messages::argumentTypeMismatch();
            break;
        case DISP_E_BADPARAMCOUNT:
        case DISP_E_PARAMNOTOPTIONAL:
        case DISP_E_PARAMNOTFOUND:
            words = messages::argumentsMismatch();
            break;
        case DISP_E_OVERFLOW:
            words = messages::valueOutOfRange();
            break;
        default:
            words = messages::otherFailure();
    }
    return messages::withResult(words, hex(result));
}

ComObject::ComObject(Microsoft::WRL::ComPtr<IDispatch> dispatch,
                     std::shared_ptr<ServerWatchdog> watchdog)
    : dispatch_(std::move(dispatch)), watchdog_(std::move(watchdog)) {}

Variant ComObject::watched(Variant value) const {
    if (value.isObject() && watchdog_) {
        if (auto* object = dynamic_cast<ComObject*>(value.toObject().get()))
            object->watchdog_ = watchdog_;
    }
    return value;
}

const std::vector<DISPID>& ComObject::dispatchIds(std::u16string_view member,
                                                  const std::vector<NamedArgument>& named) {
    std::u16string key(member);
    for (const auto& argument : named)
        key += u'\0' + argument.name;
    if (const auto found = ids_.find(key); found != ids_.end())
        return found->second;

    std::vector<std::u16string> names{std::u16string(member)};
    for (const auto& argument : named)
        names.push_back(argument.name);
    std::vector<LPOLESTR> pointers;
    for (auto& name : names)
        pointers.push_back(reinterpret_cast<LPOLESTR>(name.data()));
    std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
    const ServerWatchdog::Call call(watchdog_.get());
    const HRESULT result =
        dispatch_->GetIDsOfNames(IID_NULL, pointers.data(), static_cast<UINT>(pointers.size()),
                                 LOCALE_USER_DEFAULT, ids.data());
    call.check();
    if (FAILED(result)) {
        std::u16string unknown;
        for (std::size_t i = 1; i < ids.size(); ++i) {
            if (ids[i] == DISPID_UNKNOWN)
                unknown += u" " + names[i];
        }
        fail(member,
             describeFailure(result) +
                 (unknown.empty() ? std::u16string() : messages::unknownArguments(unknown)),
             result);
    }
    return ids_.emplace(std::move(key), std::move(ids)).first->second;
}

Variant ComObject::invoke(std::u16string_view member, DISPID id, WORD flags,
                          const std::vector<Variant>& positional,
                          const std::vector<NamedArgument>& named, const std::vector<DISPID>& ids) {
    // Named arguments come first, each beside its DISPID; positional ones follow, last first.
    std::vector<_variant_t> arguments;
    arguments.reserve(named.size() + positional.size());
    std::vector<DISPID> namedIds;
    for (std::size_t i = 0; i < named.size(); ++i) {
        arguments.push_back(toComVariant(named[i].value));
        namedIds.push_back(ids.at(i + 1));
    }
    for (auto it = positional.rbegin(); it != positional.rend(); ++it)
        arguments.push_back(toComVariant(*it));
    std::vector<VARIANT> raw;
    for (const auto& argument : arguments)
        raw.push_back(argument);

    DISPPARAMS parameters{};
    parameters.rgvarg = raw.empty() ? nullptr : raw.data();
    parameters.cArgs = static_cast<UINT>(raw.size());
    parameters.rgdispidNamedArgs = namedIds.empty() ? nullptr : namedIds.data();
    parameters.cNamedArgs = static_cast<UINT>(namedIds.size());

    _variant_t answer;
    EXCEPINFO exception{};
    UINT argumentError = 0;
    const ServerWatchdog::Call call(watchdog_.get());
    const HRESULT result = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                                             (flags & DISPATCH_PROPERTYPUT) ? nullptr : &answer,
                                             &exception, &argumentError);
    call.check();
    if (result == DISP_E_EXCEPTION)
        failWithException(member, exception);
    if (FAILED(result))
        fail(member, describeFailure(result), result);
    return watched(fromComVariant(answer));
}

Variant ComObject::get(std::u16string_view member) {
    const auto& ids = dispatchIds(member, {});
    return invoke(member, ids[0], DISPATCH_PROPERTYGET, {}, {}, ids);
}

void ComObject::put(std::u16string_view member, const Variant& value) {
    const auto& ids = dispatchIds(member, {});
    // A put passes its value as the one named argument DISPID_PROPERTYPUT.
    const std::vector<DISPID> putIds{ids[0], DISPID_PROPERTYPUT};
    invoke(member, ids[0], DISPATCH_PROPERTYPUT, {}, {{u"", value}}, putIds);
}

Variant ComObject::call(std::u16string_view member, const std::vector<Variant>& positional,
                        const std::vector<NamedArgument>& named) {
    const auto ids = dispatchIds(member, named);
    // As late binding does for a call whose result is used: a method, or else a property with
    // arguments.
    return invoke(member, ids[0], DISPATCH_METHOD | DISPATCH_PROPERTYGET, positional, named, ids);
}

std::vector<Variant> ComObject::enumerate() {
    _variant_t answer;
    DISPPARAMS none{};
    EXCEPINFO exception{};
    const ServerWatchdog::Call call(watchdog_.get());
    const HRESULT result = dispatch_->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                                             DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &answer,
                                             &exception, nullptr);
    call.check();
    if (result == DISP_E_EXCEPTION)
        failWithException(u"_NewEnum", exception);
    if (serverGone(result))
        fail(u"_NewEnum", describeFailure(result), result);
    Microsoft::WRL::ComPtr<IEnumVARIANT> enumerator;
    if (SUCCEEDED(result) && (answer.vt == VT_UNKNOWN || answer.vt == VT_DISPATCH) &&
        answer.punkVal) {
        answer.punkVal->QueryInterface(IID_PPV_ARGS(&enumerator));
    }
    if (!enumerator)
        return enumerateByIndex();

    std::vector<Variant> members;
    while (true) {
        _variant_t item;
        ULONG fetched = 0;
        const ServerWatchdog::Call nextCall(watchdog_.get());
        const HRESULT next = enumerator->Next(1, &item, &fetched);
        nextCall.check();
        if (FAILED(next))
            fail(u"_NewEnum", describeFailure(next), next);
        if (next != S_OK || fetched == 0)
            break;
        members.push_back(watched(fromComVariant(item)));
    }
    return members;
}

// Collections without an enumerator count from 1, as the word processor's do.
std::vector<Variant> ComObject::enumerateByIndex() {
    const std::int32_t count = get(u"Count").toInt32();
    std::vector<Variant> members;
    for (std::int32_t i = 1; i <= count; ++i)
        members.push_back(call(u"Item", {i}, {}));
    return members;
}

}  // namespace quorvane::automation::com
