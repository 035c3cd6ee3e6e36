#include "automation/office/region_replacer_job.h"

#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include <uno/lbnames.h>
#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/XSingleComponentFactory.hpp>
#include <com/sun/star/task/XJob.hpp>
#include <cppuhelper/factory.hxx>
#include <cppuhelper/implbase1.hxx>

#include "automation/office/document_structure.h"
#include "automation/office/input_fields.h"
#include "automation/office/region_replacer.h"
#include "automation/office/saved_text_check.h"
#include "automation/office/uno_support.h"

namespace quorvane::automation::office {

namespace {

using css::uno::Reference;
using TextList = css::uno::Sequence<TextRef>;

TextList listOf(const std::vector<TextRef>& texts) {
    return TextList(texts.data(), static_cast<sal_Int32>(texts.size()));
}

// The document's shapes and sections, the answer of kReadRegions.
css::uno::Any regionsOf(const Reference<css::frame::XModel>& document) {
    const auto sections = sectionTexts(document);
    css::uno::Sequence<TextList> headers(static_cast<sal_Int32>(sections.size()));
    css::uno::Sequence<TextList> footers(static_cast<sal_Int32>(sections.size()));
    for (std::size_t i = 0; i < sections.size(); ++i) {
        headers.getArray()[i] = listOf(sections[i].headers);
        footers.getArray()[i] = listOf(sections[i].footers);
    }
    const css::uno::Any answer[] = {css::uno::Any(listOf(shapeTexts(document))),
                                    css::uno::Any(headers), css::uno::Any(footers)};
    return css::uno::Any(css::uno::Sequence<css::uno::Any>(answer, std::size(answer)));
}

// Lives in the office process, one per loaded document.
class RegionReplacerJob final : public cppu::WeakImplHelper1<css::task::XJob> {
  public:
    explicit RegionReplacerJob(Reference<css::uno::XComponentContext> context)
        : context_(std::move(context)) {}

    css::uno::Any SAL_CALL
    execute(const css::uno::Sequence<css::beans::NamedValue>& arguments) override {
        Reference<css::frame::XModel> document;
        OUString action;
        Reference<css::text::XText> text;
        OUString find;
        OUString replacement;
        bool matchCase = false;
        OUString url;
        OUString filter;
        OUString filterOptions;
        for (const auto& argument : arguments) {
            if (argument.Name.equalsAscii(replacer_job::kDocument))
                argument.Value >>= document;
            else if (argument.Name.equalsAscii(replacer_job::kAction))
                argument.Value >>= action;
            else if (argument.Name.equalsAscii(replacer_job::kText))
                argument.Value >>= text;
            else if (argument.Name.equalsAscii(replacer_job::kFind))
                argument.Value >>= find;
            else if (argument.Name.equalsAscii(replacer_job::kReplacement))
                argument.Value >>= replacement;
            else if (argument.Name.equalsAscii(replacer_job::kMatchCase))
                argument.Value >>= matchCase;
            else if (argument.Name.equalsAscii(replacer_job::kUrl))
                argument.Value >>= url;
            else if (argument.Name.equalsAscii(replacer_job::kFilter))
                argument.Value >>= filter;
            else if (argument.Name.equalsAscii(replacer_job::kFilterOptions))
                argument.Value >>= filterOptions;
        }
        const bool replace = action.equalsAscii(replacer_job::kReplace);
        const bool keepFields = action.equalsAscii(replacer_job::kKeepInputFieldsWhole);
        const bool checkSaved = action.equalsAscii(replacer_job::kCheckSavedFile);
        if (!document.is() || (replace && !text.is()) || (checkSaved && url.isEmpty()) ||
            (!replace && !keepFields && !checkSaved &&
             !action.equalsAscii(replacer_job::kReadRegions))) {
            throw css::lang::IllegalArgumentException("unknown action or missing arguments", {}, 0);
        }
        // Anything but a UNO exception leaving a call from the pipe would end the office.
        try {
            if (keepFields) {
                const auto converted = keepInputFieldsWhole(context_, document);
                const sal_Int32 counts[] = {converted.controls, converted.fields};
                return css::uno::Any(css::uno::Sequence<sal_Int32>(counts, std::size(counts)));
            }
            if (checkSaved)
                return lostTextOf(document, url, filter, filterOptions);
            if (!replace)
                return regionsOf(document);
            std::vector<std::u16string> problems;
            const RegionReplacer replacer(document, outlines_, toU16(find), toU16(replacement),
                                          matchCase, problems);
            const sal_Int32 count = replacer.replaceIn(text);
            css::uno::Sequence<OUString> notes(static_cast<sal_Int32>(problems.size()));
            for (std::size_t i = 0; i < problems.size(); ++i)
                notes.getArray()[i] = toOUString(problems[i]);
            const css::uno::Any answer[] = {css::uno::Any(count), css::uno::Any(notes)};
            return css::uno::Any(css::uno::Sequence<css::uno::Any>(answer, std::size(answer)));
        } catch (const std::exception& e) {
            throw css::uno::RuntimeException(OUString::createFromAscii(e.what()));
        }
    }

  private:
    css::uno::Any lostTextOf(const Reference<css::frame::XModel>& document, const OUString& url,
                             const OUString& filter, const OUString& filterOptions) const {
        // Word's own formats are read from their XML; the others only the office can read back.
        const bool wordXml =
            filter.startsWith("MS Word 2007 XML") || filter.startsWith("Office Open XML Text");
        const auto lost = lostText(textsOf(document),
                                   wordXml ? textsOfWordPackage(context_, url)
                                           : textsOfFile(context_, url, filter, filterOptions));
        css::uno::Sequence<css::uno::Sequence<OUString>> answer(
            static_cast<sal_Int32>(lost.size()));
        for (std::size_t i = 0; i < lost.size(); ++i) {
            css::uno::Sequence<OUString> region(static_cast<sal_Int32>(lost[i].texts.size() + 1));
            region.getArray()[0] = toOUString(lost[i].region);
            for (std::size_t j = 0; j < lost[i].texts.size(); ++j)
                region.getArray()[static_cast<sal_Int32>(j + 1)] = toOUString(lost[i].texts[j]);
            answer.getArray()[i] = region;
        }
        return css::uno::Any(answer);
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
    if (std::strcmp(implementation, office::replacer_job::kImplementation) != 0)
        return nullptr;
    const css::uno::Reference<css::lang::XSingleComponentFactory> factory =
        cppu::createSingleComponentFactory(office::createJob,
                                           rtl::OUString::createFromAscii(implementation), {});
    factory->acquire();
    return factory.get();
}
