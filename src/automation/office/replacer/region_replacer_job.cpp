#include <cstring>
#include <exception>
#include <variant>

#include <uno/lbnames.h>
#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/document/XUndoManager.hpp>
#include <com/sun/star/document/XUndoManagerSupplier.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/XSingleComponentFactory.hpp>
#include <com/sun/star/task/XJob.hpp>
#include <cppuhelper/factory.hxx>
#include <cppuhelper/implbase1.hxx>

#include "automation/office/replacer/document_regions.h"
#include "automation/office/replacer/input_fields.h"
#include "automation/office/replacer/region_replacer.h"
#include "automation/office/replacer/saved_text_check.h"
#include "automation/office/replacer_codec.h"
#include "automation/office/uno_support.h"

namespace quorvane::automation::office {

namespace {

using css::uno::Reference;

// Lives in the office process, one per loaded document.
class RegionReplacerJob final : public cppu::WeakImplHelper1<css::task::XJob> {
  public:
    explicit RegionReplacerJob(Reference<css::uno::XComponentContext> context)
        : context_(std::move(context)) {}

    css::uno::Any SAL_CALL
    execute(const css::uno::Sequence<css::beans::NamedValue>& arguments) override {
        const auto request = replacer::decodeRequest(arguments);
        if (!request)
            throw css::lang::IllegalArgumentException("unknown action or missing arguments", {}, 0);
        // Anything but a UNO exception leaving a call from the pipe would end the office.
        try {
            return std::visit(
                [&](const auto& action) {
                    return replacer::encodeAnswer(answer(request->document, action));
                },
                request->action);
        } catch (const std::exception& e) {
            throw css::uno::RuntimeException(OUString::createFromAscii(e.what()));
        }
    }

  private:
    replacer::TakeDocument::Answer answer(const Reference<css::frame::XModel>& document,
                                          const replacer::TakeDocument&) const {
        replacer::TakeDocument::Answer taken;
        for (const auto& argument : document->getArgs()) {
            if (argument.Name == "FilterName")
                argument.Value >>= taken.filter;
            else if (argument.Name == "FilterOptions")
                argument.Value >>= taken.filterOptions;
        }
        taken.wordProcessing = supports(document, "com.sun.star.text.TextDocument") &&
                               !supports(document, "com.sun.star.text.WebDocument") &&
                               !supports(document, "com.sun.star.text.GlobalDocument");
        // Anything else is refused and closed.
        if (!taken.wordProcessing)
            return taken;
        taken.inputFields = hasInputFields(document);
        document->lockControllers();
        Reference<css::document::XUndoManagerSupplier>(document, css::uno::UNO_QUERY_THROW)
            ->getUndoManager()
            ->lock();
        return taken;
    }

    replacer::Replace::Answer answer(const Reference<css::frame::XModel>& document,
                                     const replacer::Replace& replace) {
        replacer::Replace::Answer replaced;
        const RegionReplacer replacer(document, outlines_, replace.find, replace.replacement,
                                      replace.matchCase, replaced.problems);
        for (const auto& text : replace.screen)
            replaced.mayMatch.push_back(replacer.mayMatchIn(text));
        replaced.count = replacer.replaceIn(replace.text);
        return replaced;
    }

    replacer::ReadRegions::Answer answer(const Reference<css::frame::XModel>& document,
                                         const replacer::ReadRegions&) const {
        return {shapeTexts(document), sectionTexts(document)};
    }

    replacer::KeepInputFieldsWhole::Answer answer(const Reference<css::frame::XModel>& document,
                                                  const replacer::KeepInputFieldsWhole&) const {
        const auto converted = keepInputFieldsWhole(context_, document);
        return {converted.controls, converted.fields};
    }

    replacer::CheckSavedFile::Answer answer(const Reference<css::frame::XModel>& document,
                                            const replacer::CheckSavedFile& check) const {
        // Word's own formats are read from their XML; the others only the office can read back.
        const bool wordXml = check.filter.startsWith("MS Word 2007 XML") ||
                             check.filter.startsWith("Office Open XML Text");
        return {lostText(textsOf(document), wordXml ? textsOfWordPackage(context_, check.url)
                                                    : textsOfFile(context_, check.url, check.filter,
                                                                  check.filterOptions))};
    }

    Reference<css::uno::XComponentContext> context_;
    RegionOutlines outlines_;
};

Reference<css::uno::XInterface> SAL_CALL
createJob(const Reference<css::uno::XComponentContext>& context) {
    return static_cast<cppu::OWeakObject*>(new RegionReplacerJob(context));
}

}  // namespace

}  // namespace quorvane::automation::office

// The entry points by which the office's shared-library loader makes the job's factory.
extern "C" SAL_DLLPUBLIC_EXPORT void component_getImplementationEnvironment(
    const char** environment, uno_Environment**) {
    *environment = CPPU_CURRENT_LANGUAGE_BINDING_NAME;
}

extern "C" SAL_DLLPUBLIC_EXPORT void* component_getFactory(const char* implementation, void*,
                                                           void*) {
    namespace office = quorvane::automation::office;
    // The factory bears the name of this build: a program of another build sees that and
    // refuses it.
    if (std::strcmp(implementation, office::replacer::kFamily) != 0)
        return nullptr;
    const css::uno::Reference<css::lang::XSingleComponentFactory> factory =
        cppu::createSingleComponentFactory(
            office::createJob,
            rtl::OUString::createFromAscii(office::replacer::implementationName().c_str()), {});
    factory->acquire();
    return factory.get();
}
