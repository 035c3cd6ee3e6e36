#include "automation/com/com_variant.h"

#include <oleauto.h>

#include <limits>

#include "automation/automation_error.h"
#include "automation/com/com_object.h"
#include "os/text_encoding.h"

namespace quorvane::automation::com {
namespace {

[[noreturn]] void unsupported(VARTYPE type) {
    throw AutomationError(u"ワープロが対応していない型の値を返しました（VARTYPE " +
                          os::fromUtf8(std::to_string(type)) + u"）");
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
    return Variant(std::make_shared<ComObject>(ComPtr<IDispatch>::share(dispatch)));
}

Variant fromUnknown(IUnknown* unknown) {
    if (!unknown)
        return Variant::nothing;
    const auto dispatch = ComPtr<IUnknown>::share(unknown).query<IDispatch>();
    if (!dispatch)
        unsupported(VT_UNKNOWN);
    return Variant(std::make_shared<ComObject>(dispatch));
}

}  // namespace

Bstr::Bstr(std::u16string_view text)
    : text_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                              static_cast<UINT>(text.size()))) {
    if (!text_)
        throw std::bad_alloc();
}

Bstr Bstr::adopt(BSTR text) {
    Bstr result;
    result.text_ = text;
    return result;
}

Bstr::~Bstr() {
    SysFreeString(text_);
}

Bstr::Bstr(Bstr&& other) noexcept : text_(other.detach()) {}

BSTR Bstr::detach() {
    BSTR text = text_;
    text_ = nullptr;
    return text;
}

std::u16string Bstr::str() const {
    if (!text_)
        return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text_), SysStringLen(text_));
}

ComVariant::ComVariant() {
    VariantInit(&value_);
}

ComVariant::~ComVariant() {
    VariantClear(&value_);
}

ComVariant::ComVariant(ComVariant&& other) noexcept : value_(other.value_) {
    VariantInit(&other.value_);
}

void ComVariant::moveTo(VARIANT* out) {
    *out = value_;
    VariantInit(&value_);
}

ComVariant toComVariant(const Variant& value) {
    ComVariant out;
    VARIANT& v = *out.get();
    switch (value.type()) {
        case Variant::Type::Empty:
            break;
        case Variant::Type::Nothing:
            v.vt = VT_DISPATCH;
            v.pdispVal = nullptr;
            break;
        case Variant::Type::Bool:
            v.vt = VT_BOOL;
            v.boolVal = value.toBool() ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case Variant::Type::Int32:
            v.vt = VT_I4;
            v.lVal = value.toInt32();
            break;
        case Variant::Type::String:
            v.bstrVal = Bstr(value.toString()).detach();
            v.vt = VT_BSTR;
            break;
        case Variant::Type::Object: {
            const auto* object = dynamic_cast<const ComObject*>(value.toObject().get());
            if (!object)
                throw AutomationError(u"COM のオブジェクトでない値は引数に渡せません");
            v.pdispVal = ComPtr<IDispatch>::share(object->dispatch()).detach();
            v.vt = VT_DISPATCH;
            break;
        }
    }
    return out;
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
        case VT_BSTR: {
            const BSTR text = byRef ? *value.pbstrVal : value.bstrVal;
            if (!text)
                return std::u16string();
            return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
        }
        case VT_DISPATCH:
            return fromDispatch(byRef ? *value.ppdispVal : value.pdispVal);
        case VT_UNKNOWN:
            return fromUnknown(byRef ? *value.ppunkVal : value.punkVal);
        default:
            unsupported(type);
    }
}

}  // namespace quorvane::automation::com
