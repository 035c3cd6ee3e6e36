#include "automation/com/com_variant.h"

#include <oleauto.h>

#include <limits>
#include <new>

#include "automation/automation_error.h"
#include "automation/com/com_messages.h"
#include "automation/com/com_object.h"
#include "os/text_encoding.h"

namespace quorvane::automation::com {
namespace {

[[noreturn]] void unsupported(VARTYPE type) {
    throw AutomationError(messages::unsupportedType(os::fromUtf8(std::to_string(type))));
}

Variant fromInteger(long long value, VARTYPE type) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        unsupported(type);
    }
    return static_cast<std::int32_t>(value);
}

Variant fromDispatch(IDispatch* dispatch) {
    if (!dispatch)
        return Variant::nothing;
    return Variant(std::make_shared<ComObject>(dispatch));
}

Variant fromUnknown(IUnknown* unknown) {
    if (!unknown)
        return Variant::nothing;
    Microsoft::WRL::ComPtr<IDispatch> dispatch;
    if (FAILED(unknown->QueryInterface(IID_PPV_ARGS(&dispatch))))
        unsupported(VT_UNKNOWN);
    return Variant(std::make_shared<ComObject>(std::move(dispatch)));
}

}  // namespace

_bstr_t toBstr(std::u16string_view text) {
    const BSTR copy = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                        static_cast<UINT>(text.size()));
    if (!copy)
        throw std::bad_alloc();
    return _bstr_t(copy, false);
}

std::u16string fromBstr(BSTR text) {
    if (!text)
        return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

_variant_t toComVariant(const Variant& value) {
    switch (value.type()) {
        case Variant::Type::Empty:
            return {};
        case Variant::Type::Nothing:
            return _variant_t(static_cast<IDispatch*>(nullptr));
        case Variant::Type::Bool:
            return _variant_t(value.toBool());
        case Variant::Type::Int32:
            return _variant_t(static_cast<long>(value.toInt32()), VT_I4);
        case Variant::Type::String: {
            _variant_t text;
            text.bstrVal = toBstr(value.toString()).Detach();
            text.vt = VT_BSTR;
            return text;
        }
        case Variant::Type::Object: {
            const auto* object = dynamic_cast<const ComObject*>(value.toObject().get());
            if (!object)
                throw AutomationError(messages::notAComObject());
            return _variant_t(object->dispatch());
        }
    }
    return {};
}

Variant fromComVariant(const VARIANT& value) {
    const VARTYPE type = value.vt;
    if (type == (VT_VARIANT | VT_BYREF))
        return value.pvarVal ? fromComVariant(*value.pvarVal) : Variant();
    const bool byRef = (type & VT_BYREF) != 0;
    switch (type & ~VT_BYREF) {
        case VT_EMPTY:
        case VT_NULL:
            return {};
        case VT_BOOL:
            return (byRef ? *value.pboolVal : value.boolVal) != VARIANT_FALSE;
        case VT_I1:
            return static_cast<std::int32_t>(byRef ? *value.pcVal : value.cVal);
        case VT_UI1:
            return static_cast<std::int32_t>(byRef ? *value.pbVal : value.bVal);
        case VT_I2:
            return static_cast<std::int32_t>(byRef ? *value.piVal : value.iVal);
        case VT_UI2:
            return static_cast<std::int32_t>(byRef ? *value.puiVal : value.uiVal);
        case VT_I4:
            return static_cast<std::int32_t>(byRef ? *value.plVal : value.lVal);
        case VT_INT:
            return static_cast<std::int32_t>(byRef ? *value.pintVal : value.intVal);
        case VT_UI4:
            return fromInteger(byRef ? *value.pulVal : value.ulVal, type);
        case VT_UINT:
            return fromInteger(byRef ? *value.puintVal : value.uintVal, type);
        case VT_I8:
            return fromInteger(byRef ? *value.pllVal : value.llVal, type);
        case VT_BSTR:
            return fromBstr(byRef ? *value.pbstrVal : value.bstrVal);
        case VT_DISPATCH:
            return fromDispatch(byRef ? *value.ppdispVal : value.pdispVal);
        case VT_UNKNOWN:
            return fromUnknown(byRef ? *value.ppunkVal : value.punkVal);
        default:
            unsupported(type);
    }
}

}  // namespace quorvane::automation::com
