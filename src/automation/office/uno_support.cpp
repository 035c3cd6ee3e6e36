#include "automation/office/uno_support.h"

#include <com/sun/star/container/NoSuchElementException.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/util/CloseVetoException.hpp>
#include <com/sun/star/util/XCloseable.hpp>

namespace quorvane::automation::office {

using css::uno::Reference;
using css::uno::UNO_QUERY;

void closeModel(const Reference<css::frame::XModel>& model) {
    const Reference<css::util::XCloseable> closeable(model, UNO_QUERY);
    try {
        if (closeable.is()) {
            closeable->close(true);
            return;
        }
    } catch (const css::util::CloseVetoException&) {
        // Someone holds the document; disposing it ends it all the same.
    }
    model->dispose();
}

std::optional<css::uno::Any> nextOf(const Reference<css::container::XEnumeration>& elements) {
    try {
        return elements->nextElement();
    } catch (const css::container::NoSuchElementException&) {
        return std::nullopt;
    }
}

bool supports(const css::uno::Reference<css::uno::XInterface>& object, const char* service) {
    const css::uno::Reference<css::lang::XServiceInfo> info(object, css::uno::UNO_QUERY);
    return info.is() && info->supportsService(OUString::createFromAscii(service));
}

}  // namespace quorvane::automation::office
