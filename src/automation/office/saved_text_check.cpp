#include "automation/office/saved_text_check.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/XLoadable.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/text/XEndnotesSupplier.hpp>
#include <com/sun/star/text/XFootnotesSupplier.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextFieldsSupplier.hpp>
#include <com/sun/star/text/XTextTable.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include "automation/office/document_structure.h"
#include "automation/office/uno_support.h"

namespace quorvane::automation::office {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

void paragraphsOf(const Reference<css::text::XText>& text, std::vector<std::u16string>& out) {
    const auto elements =
        Reference<css::container::XEnumerationAccess>(text, UNO_QUERY_THROW)->createEnumeration();
    while (const auto element = nextOf(elements)) {
        if (const Reference<css::text::XTextTable> table(*element, UNO_QUERY); table.is()) {
            for (const auto& name : table->getCellNames())
                paragraphsOf(
                    Reference<css::text::XText>(table->getCellByName(name), UNO_QUERY_THROW), out);
        } else if (const Reference<css::text::XTextRange> paragraph(*element, UNO_QUERY);
                   paragraph.is()) {
            out.push_back(toU16(paragraph->getString()));
        }
    }
}

void textsOfEach(const std::vector<TextRef>& texts, std::vector<std::u16string>& out) {
    for (const auto& text : texts) {
        if (text.is())
            out.push_back(toU16(text->getString()));
    }
}

void notesOf(const Reference<css::container::XIndexAccess>& notes,
             std::vector<std::u16string>& out) {
    for (sal_Int32 i = 0; i < notes->getCount(); ++i) {
        const Reference<css::text::XText> note(notes->getByIndex(i), UNO_QUERY);
        if (note.is())
            out.push_back(toU16(note->getString()));
    }
}

}  // namespace

DocumentTexts textsOf(const Reference<css::frame::XModel>& document) {
    DocumentTexts texts;
    paragraphsOf(Reference<css::text::XTextDocument>(document, UNO_QUERY_THROW)->getText(),
                 texts.body);
    for (const auto& section : sectionTexts(document)) {
        textsOfEach(section.headers, texts.headersAndFooters);
        textsOfEach(section.footers, texts.headersAndFooters);
    }
    textsOfEach(shapeTexts(document), texts.textBoxes);
    if (const Reference<css::text::XFootnotesSupplier> footnotes(document, UNO_QUERY);
        footnotes.is()) {
        notesOf(footnotes->getFootnotes(), texts.notes);
    }
    if (const Reference<css::text::XEndnotesSupplier> endnotes(document, UNO_QUERY);
        endnotes.is()) {
        notesOf(endnotes->getEndnotes(), texts.notes);
    }
    const auto fields = Reference<css::text::XTextFieldsSupplier>(document, UNO_QUERY_THROW)
                            ->getTextFields()
                            ->createEnumeration();
    while (const auto field = nextOf(fields)) {
        const Reference<css::lang::XServiceInfo> info(*field, UNO_QUERY);
        if (!info.is() || !info->supportsService("com.sun.star.text.textfield.Annotation"))
            continue;
        OUString content;
        Reference<css::beans::XPropertySet>(*field, UNO_QUERY_THROW)
            ->getPropertyValue("Content") >>= content;
        texts.comments.push_back(toU16(content));
    }
    return texts;
}

DocumentTexts textsOfFile(const Reference<css::uno::XComponentContext>& context,
                          const OUString& url, const OUString& filter,
                          const OUString& filterOptions) {
    const Reference<css::frame::XLoadable> loadable(
        context->getServiceManager()->createInstanceWithContext("com.sun.star.text.TextDocument",
                                                                context),
        UNO_QUERY_THROW);
    const css::beans::PropertyValue arguments[] = {
        property("URL", url),
        property("FilterName", filter),
        property("FilterOptions", filterOptions),
        property("ReadOnly", true),
        property("MacroExecutionMode", css::document::MacroExecMode::NEVER_EXECUTE),
        property("UpdateDocMode", css::document::UpdateDocMode::NO_UPDATE),
        property("Preview", true)};
    struct Close {
        Reference<css::util::XCloseable> model;
        ~Close() {
            try {
                model->close(true);
            } catch (const css::uno::Exception&) {
                // Closing a model that never loaded may fail; it goes with its last reference.
            }
        }
    } close{Reference<css::util::XCloseable>(loadable, UNO_QUERY_THROW)};
    loadable->load(css::uno::Sequence<css::beans::PropertyValue>(arguments, std::size(arguments)));
    return textsOf(Reference<css::frame::XModel>(loadable, UNO_QUERY_THROW));
}

}  // namespace quorvane::automation::office
