#include "automation/variant.h"

#include "automation/automation_error.h"
#include "os/text_encoding.h"

namespace quorvane::automation {
namespace {

[[noreturn]] void typeMismatch(const Variant& value, std::u16string_view wanted) {
    throw AutomationError(u"型が一致しません（" + std::u16string(wanted) + u" が必要ですが " +
                          describe(value) + u" でした）");
}

}  // namespace

Variant::Variant(std::shared_ptr<Object> object) {
    if (object) {
        value_ = std::move(object);
    } else {
        value_ = NothingTag{};
    }
}

bool Variant::toBool() const {
    if (const auto* b = std::get_if<bool>(&value_))
        return *b;
    typeMismatch(*this, u"Boolean");
}

std::int32_t Variant::toInt32() const {
    if (const auto* i = std::get_if<std::int32_t>(&value_))
        return *i;
    typeMismatch(*this, u"Long");
}

const std::u16string& Variant::toString() const {
    if (const auto* s = std::get_if<std::u16string>(&value_))
        return *s;
    typeMismatch(*this, u"String");
}

const std::shared_ptr<Object>& Variant::toObject() const {
    if (const auto* o = std::get_if<std::shared_ptr<Object>>(&value_))
        return *o;
    throw AutomationError(u"オブジェクトが必要です（" + describe(*this) + u"）");
}

Variant Variant::get(std::u16string_view member) const {
    return toObject()->get(member);
}

void Variant::put(std::u16string_view member, const Variant& value) const {
    toObject()->put(member, value);
}

Variant Variant::call(std::u16string_view member) const {
    return call(member, {}, {});
}

Variant Variant::call(std::u16string_view member, const std::vector<Variant>& positional) const {
    return call(member, positional, {});
}

Variant Variant::call(std::u16string_view member, const std::vector<Variant>& positional,
                      const std::vector<NamedArgument>& named) const {
    return toObject()->call(member, positional, named);
}

std::vector<Variant> Variant::enumerate() const {
    return toObject()->enumerate();
}

std::u16string describe(const Variant& value) {
    switch (value.type()) {
        case Variant::Type::Empty:
            return u"Empty";
        case Variant::Type::Nothing:
            return u"Nothing";
        case Variant::Type::Bool:
            return value.toBool() ? u"BOOL -1" : u"BOOL 0";
        case Variant::Type::Int32:
            return u"I4 " + os::fromUtf8(std::to_string(value.toInt32()));
        case Variant::Type::String:
            return u"STR \"" + value.toString() + u"\"";
        case Variant::Type::Object:
            return u"Object";
    }
    return {};
}

}  // namespace quorvane::automation
