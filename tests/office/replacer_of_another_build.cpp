// A replacer library as a build with another boundary makes it: it answers to the family's name
// with a factory that bears another version.
#include <cstring>

#include <uno/lbnames.h>
#include <com/sun/star/lang/XSingleComponentFactory.hpp>
#include <cppuhelper/factory.hxx>

#include "automation/office/replacer_codec.h"

namespace {

css::uno::Reference<css::uno::XInterface> SAL_CALL
makeNothing(const css::uno::Reference<css::uno::XComponentContext>&) {
    return {};
}

}  // namespace

extern "C" SAL_DLLPUBLIC_EXPORT void component_getImplementationEnvironment(
    const char** environment, uno_Environment**) {
    *environment = CPPU_CURRENT_LANGUAGE_BINDING_NAME;
}

extern "C" SAL_DLLPUBLIC_EXPORT void* component_getFactory(const char* implementation, void*,
                                                           void*) {
    namespace replacer = quorvane::automation::office::replacer;
    if (std::strcmp(implementation, replacer::kFamily) != 0)
        return nullptr;
    const css::uno::Reference<css::lang::XSingleComponentFactory> factory =
        cppu::createSingleComponentFactory(
            makeNothing, rtl::OUString::createFromAscii(replacer::kFamily) + ".another-build", {});
    factory->acquire();
    return factory.get();
}
