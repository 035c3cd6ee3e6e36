#include "automation/office/replacer/saved_text_check.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/XLoadable.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/text/XEndnotesSupplier.hpp>
#include <com/sun/star/text/XFootnotesSupplier.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextFieldsSupplier.hpp>
#include <com/sun/star/text/XTextTable.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/io/XInputStream.hpp>
#include <com/sun/star/xml/sax/InputSource.hpp>
#include <com/sun/star/xml/sax/Parser.hpp>
#include <com/sun/star/xml/sax/XDocumentHandler.hpp>
#include <cppuhelper/implbase1.hxx>

#include "automation/office/replacer/document_regions.h"
#include "automation/office/uno_support.h"

namespace quorvane::automation::office {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

// A paragraph's text as a reader sees it: its text, the fields' results and what content controls
// hold; not the anchors of notes, comments and frames, which a saved file writes as marks.
std::u16string textOfPortions(const Reference<css::container::XEnumerationAccess>& paragraph) {
    std::u16string text;
    const auto portions = paragraph->createEnumeration();
    while (const auto element = nextOf(portions)) {
        const Reference<css::text::XTextRange> portion(*element, UNO_QUERY);
        const Reference<css::beans::XPropertySet> properties(portion, UNO_QUERY);
        if (!portion.is() || !properties.is())
            continue;
        OUString type;
        properties->getPropertyValue("TextPortionType") >>= type;
        if (type == "Text" || type == "TextField") {
            text += toU16(portion->getString());
        } else if (type == "ContentControl") {
            text += textOfPortions(Reference<css::container::XEnumerationAccess>(
                properties->getPropertyValue("ContentControl"), UNO_QUERY_THROW));
        }
    }
    return text;
}

void paragraphsOf(const Reference<css::text::XText>& text, std::vector<std::u16string>& out) {
    const auto elements =
        Reference<css::container::XEnumerationAccess>(text, UNO_QUERY_THROW)->createEnumeration();
    while (const auto element = nextOf(elements)) {
        if (const Reference<css::text::XTextTable> table(*element, UNO_QUERY); table.is()) {
            for (const auto& name : table->getCellNames())
                paragraphsOf(
                    Reference<css::text::XText>(table->getCellByName(name), UNO_QUERY_THROW), out);
        } else if (const Reference<css::container::XEnumerationAccess> paragraph(*element,
                                                                                 UNO_QUERY);
                   paragraph.is()) {
            out.push_back(textOfPortions(paragraph));
        }
    }
}

std::u16string wholeText(const Reference<css::text::XText>& text) {
    std::vector<std::u16string> paragraphs;
    paragraphsOf(text, paragraphs);
    std::u16string whole;
    for (const auto& paragraph : paragraphs)
        whole += paragraph + u"\n";
    return whole;
}

void textsOfEach(const std::vector<TextRef>& texts, std::vector<std::u16string>& out) {
    for (const auto& text : texts) {
        if (text.is())
            out.push_back(wholeText(text));
    }
}

void notesOf(const Reference<css::container::XIndexAccess>& notes,
             std::vector<std::u16string>& out) {
    for (sal_Int32 i = 0; i < notes->getCount(); ++i) {
        const Reference<css::text::XText> note(notes->getByIndex(i), UNO_QUERY);
        if (note.is())
            out.push_back(wholeText(note));
    }
}

// Gathers the text of WordprocessingML parts, region by region, as Word reads it: the text runs,
// and the elements that stand for a character. Text boxes go to their own region wherever they
// are anchored.
class WordTextReader final : public cppu::WeakImplHelper1<css::xml::sax::XDocumentHandler> {
  public:
    explicit WordTextReader(std::u16string& region, std::u16string& textBoxes)
        : region_(region), textBoxes_(textBoxes) {}

    void SAL_CALL startDocument() override {}
    void SAL_CALL endDocument() override {}
    void SAL_CALL startElement(const OUString& name,
                               const Reference<css::xml::sax::XAttributeList>&) override {
        if (name == "w:txbxContent")
            ++inTextBox_;
        else if (name == "w:t" || name == "w:delText")
            inText_ = true;
        else if (name == "w:tab" || name == "w:ptab")
            target() += u'\t';
        else if (name == "w:br" || name == "w:cr")
            target() += u'\n';
        else if (name == "w:noBreakHyphen")
            target() += u'\u2011';
        else if (name == "w:softHyphen")
            target() += u'\u00AD';
    }
    void SAL_CALL endElement(const OUString& name) override {
        if (name == "w:txbxContent" && inTextBox_ > 0)
            --inTextBox_;
        else if (name == "w:t" || name == "w:delText")
            inText_ = false;
        else if (name == "w:p")
            target() += u'\n';
    }
    void SAL_CALL characters(const OUString& characters) override {
        if (inText_)
            target() += toU16(characters);
    }
    void SAL_CALL ignorableWhitespace(const OUString&) override {}
    void SAL_CALL processingInstruction(const OUString&, const OUString&) override {}
    void SAL_CALL setDocumentLocator(const Reference<css::xml::sax::XLocator>&) override {}

  private:
    std::u16string& target() { return inTextBox_ > 0 ? textBoxes_ : region_; }

    std::u16string& region_;
    std::u16string& textBoxes_;
    int inTextBox_ = 0;
    bool inText_ = false;
};

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
        if (!supports(Reference<css::uno::XInterface>(*field, UNO_QUERY),
                      "com.sun.star.text.textfield.Annotation"))
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

DocumentTexts textsOfWordPackage(const Reference<css::uno::XComponentContext>& context,
                                 const OUString& url) {
    const css::uno::Any location(url);
    const Reference<css::container::XNameAccess> package(
        context->getServiceManager()->createInstanceWithArgumentsAndContext(
            "com.sun.star.packages.zip.ZipFileAccess",
            css::uno::Sequence<css::uno::Any>(&location, 1), context),
        UNO_QUERY_THROW);
    DocumentTexts texts;
    std::u16string body;
    std::u16string headersAndFooters;
    std::u16string textBoxes;
    std::u16string notes;
    std::u16string comments;
    const auto parser = css::xml::sax::Parser::create(context);
    for (const auto& name : package->getElementNames()) {
        std::u16string* region = nullptr;
        if (name == "word/document.xml")
            region = &body;
        else if ((name.startsWith("word/header") || name.startsWith("word/footer")) &&
                 name.endsWith(".xml"))
            region = &headersAndFooters;
        else if (name == "word/footnotes.xml" || name == "word/endnotes.xml")
            region = &notes;
        else if (name == "word/comments.xml")
            region = &comments;
        if (!region)
            continue;
        css::xml::sax::InputSource source;
        source.aInputStream.set(package->getByName(name), UNO_QUERY_THROW);
        source.sSystemId = name;
        parser->setDocumentHandler(new WordTextReader(*region, textBoxes));
        parser->parseStream(source);
    }
    texts.body = {body};
    texts.headersAndFooters = {headersAndFooters};
    // A frame of the office may be written as a framed paragraph, in the text it stands in.
    texts.textBoxes = {textBoxes, body, headersAndFooters};
    texts.notes = {notes};
    texts.comments = {comments};
    return texts;
}

}  // namespace quorvane::automation::office
