#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <rtl/ustring.hxx>

namespace quorvane::automation::office {

using ::rtl::OUString;

// sal_Unicode is a 16-bit integer outside LibreOffice's own build: the same code units.
inline std::u16string toU16(const OUString& text) {
    return {reinterpret_cast<const char16_t*>(text.getStr()),
            static_cast<std::size_t>(text.getLength())};
}
inline OUString toOUString(std::u16string_view text) {
    return OUString(reinterpret_cast<const sal_Unicode*>(text.data()),
                    static_cast<sal_Int32>(text.size()));
}

// Closes a document in the office, whatever holds on to it. An office call: made inside call().
void closeModel(const css::uno::Reference<css::frame::XModel>& model);

// The next element, or nothing at the end. Regions have many paragraphs and paragraphs many
// portions: the end is told by the enumeration running out rather than asked before every element.
std::optional<css::uno::Any> nextOf(
    const css::uno::Reference<css::container::XEnumeration>& elements);

// Whether the object is there and offers the service, such as "com.sun.star.drawing.Text".
bool supports(const css::uno::Reference<css::uno::XInterface>& object, const char* service);

// A named argument of an office call, such as a load or store option.
template <typename T>
css::beans::PropertyValue property(const char* name, const T& value) {
    css::beans::PropertyValue result;
    result.Name = OUString::createFromAscii(name);
    result.Value <<= value;
    return result;
}

}  // namespace quorvane::automation::office
