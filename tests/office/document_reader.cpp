#include "document_reader.h"

#include <com/sun/star/awt/FontWeight.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/drawing/XDrawPageSupplier.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/text/XParagraphCursor.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextFieldsSupplier.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XSearchable.hpp>

#include <functional>
#include <stdexcept>

#include "automation/office/office_process.h"
#include "automation/office/office_session.h"

namespace quorvane::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace automation::office;
using css::beans::PropertyValue;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

OUString urlOf(const fs::path& path) {
    return OUString::createFromAscii(fileUrl(path).c_str());
}

std::u16string labelOf(const std::u16string& paragraph) {
    return paragraph.substr(0, paragraph.find(u' '));
}

bool supports(const Reference<css::uno::XInterface>& object, const char* service) {
    const Reference<css::lang::XServiceInfo> info(object, UNO_QUERY);
    return info.is() && info->supportsService(OUString::createFromAscii(service));
}

// Text of drawing shapes that are neither frames nor text boxes with a frame of their own.
void plainShapeTexts(const Reference<css::container::XIndexAccess>& shapes,
                     std::vector<std::u16string>& out) {
    for (sal_Int32 i = 0; i < shapes->getCount(); ++i) {
        const Reference<css::uno::XInterface> shape(shapes->getByIndex(i), UNO_QUERY);
        if (supports(shape, "com.sun.star.drawing.GroupShape")) {
            plainShapeTexts(Reference<css::container::XIndexAccess>(shape, UNO_QUERY_THROW), out);
            continue;
        }
        if (supports(shape, "com.sun.star.text.TextFrame"))
            continue;
        const Reference<css::beans::XPropertySet> properties(shape, UNO_QUERY);
        bool textBox = false;
        if (properties.is() && properties->getPropertySetInfo()->hasPropertyByName("TextBox"))
            properties->getPropertyValue("TextBox") >>= textBox;
        const Reference<css::text::XText> text(shape, UNO_QUERY);
        if (textBox || !text.is())
            continue;
        const std::u16string all = toU16(text->getString());
        for (std::size_t start = 0, end = 0; end != std::u16string::npos; start = end + 1) {
            end = all.find_first_of(u"\r\n", start);
            out.push_back(all.substr(start, end - start));
        }
    }
}

int occurrences(const std::u16string& text, const std::u16string& word) {
    int n = 0;
    for (auto at = text.find(word); at != std::u16string::npos;
         at = text.find(word, at + word.size()))
        ++n;
    return n;
}

}  // namespace

struct DocumentReader::Impl {
    explicit Impl(bool macros)
        : office(OfficeProcess::Settings{{}, {60s}, macros}), allowMacros(macros) {}

    OfficeProcess office;
    bool allowMacros;

    Reference<css::frame::XModel> load(const fs::path& path) {
        const Reference<css::frame::XComponentLoader> loader(office.desktop(), UNO_QUERY_THROW);
        // The events of a document's view come only with a view that shows.
        const PropertyValue args[] = {
            property("Hidden", !allowMacros), property("ReadOnly", true),
            property("MacroExecutionMode",
                     allowMacros ? css::document::MacroExecMode::ALWAYS_EXECUTE_NO_WARN
                                 : css::document::MacroExecMode::NEVER_EXECUTE)};
        Reference<css::frame::XModel> model(
            loader->loadComponentFromURL(urlOf(path), "_blank", 0,
                                         Sequence<PropertyValue>(args, 3)),
            UNO_QUERY);
        if (!model.is())
            throw std::runtime_error("cannot load " + path.string());
        return model;
    }

    static void close(const Reference<css::frame::XModel>& model) {
        Reference<css::util::XCloseable>(model, UNO_QUERY_THROW)->close(true);
    }

    // Calls visit(paragraph text, found range) for every occurrence of word.
    void eachFound(const fs::path& path, const std::u16string& word,
                   const std::function<void(const std::u16string&,
                                            const Reference<css::text::XTextRange>&)>& visit,
                   std::vector<std::u16string>* shapeLines = nullptr) {
        const auto model = load(path);
        const Reference<css::util::XSearchable> searchable(model, UNO_QUERY_THROW);
        const auto descriptor = searchable->createSearchDescriptor();
        descriptor->setSearchString(toOUString(word));
        Reference<css::beans::XPropertySet>(descriptor, UNO_QUERY_THROW)
            ->setPropertyValue("SearchCaseSensitive", css::uno::Any(true));
        const auto found = searchable->findAll(descriptor);
        for (sal_Int32 i = 0; found.is() && i < found->getCount(); ++i) {
            const Reference<css::text::XTextRange> range(found->getByIndex(i), UNO_QUERY_THROW);
            const Reference<css::text::XParagraphCursor> cursor(
                range->getText()->createTextCursorByRange(range->getStart()), UNO_QUERY_THROW);
            cursor->gotoStartOfParagraph(false);
            cursor->gotoEndOfParagraph(true);
            visit(toU16(cursor->getString()), range);
        }
        if (shapeLines) {
            const Reference<css::drawing::XDrawPageSupplier> supplier(model, UNO_QUERY_THROW);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
            plainShapeTexts(
                Reference<css::container::XIndexAccess>(supplier->getDrawPage(), UNO_QUERY_THROW),
                *shapeLines);
#pragma GCC diagnostic pop
        }
        close(model);
    }
};

DocumentReader::DocumentReader(bool allowMacros) : impl_(std::make_unique<Impl>(allowMacros)) {}
DocumentReader::~DocumentReader() = default;

std::map<std::u16string, int> DocumentReader::count(const fs::path& document,
                                                    const std::u16string& word) {
    std::map<std::u16string, int> counts;
    std::vector<std::u16string> shapeLines;
    impl_->eachFound(
        document, word,
        [&](const std::u16string& paragraph, const auto&) { ++counts[labelOf(paragraph)]; },
        &shapeLines);
    for (const auto& line : shapeLines) {
        if (const int n = occurrences(line, word))
            counts[labelOf(line)] += n;
    }
    return counts;
}

std::u16string DocumentReader::paragraph(const fs::path& document, const std::u16string& word,
                                         const std::u16string& label) {
    std::u16string result;
    impl_->eachFound(document, word, [&](const std::u16string& paragraph, const auto&) {
        if (result.empty() && labelOf(paragraph) == label)
            result = paragraph;
    });
    return result;
}

bool DocumentReader::bold(const fs::path& document, const std::u16string& word,
                          const std::u16string& label) {
    bool all = true;
    bool any = false;
    impl_->eachFound(
        document, word,
        [&](const std::u16string& paragraph, const Reference<css::text::XTextRange>& range) {
            if (labelOf(paragraph) != label)
                return;
            any = true;
            const auto text = range->getText();
            for (std::size_t i = 0; i < word.size(); ++i) {
                const auto cursor = text->createTextCursorByRange(range->getStart());
                cursor->goRight(static_cast<sal_Int16>(i), false);
                cursor->goRight(1, true);
                float weight = 0;
                Reference<css::beans::XPropertySet>(cursor, UNO_QUERY_THROW)
                    ->getPropertyValue("CharWeight") >>= weight;
                all = all && weight >= css::awt::FontWeight::BOLD;
            }
        });
    return any && all;
}

std::vector<std::u16string> DocumentReader::comments(const fs::path& document) {
    const auto model = impl_->load(document);
    std::vector<std::u16string> texts;
    const auto fields =
        Reference<css::text::XTextFieldsSupplier>(model, UNO_QUERY_THROW)->getTextFields();
    const auto each = fields->createEnumeration();
    while (each->hasMoreElements()) {
        const Reference<css::beans::XPropertySet> field(each->nextElement(), UNO_QUERY);
        if (!supports(field, "com.sun.star.text.textfield.Annotation"))
            continue;
        OUString content;
        field->getPropertyValue("Content") >>= content;
        texts.push_back(toU16(content));
    }
    Impl::close(model);
    return texts;
}

std::u16string DocumentReader::filter(const fs::path& document) {
    const auto model = impl_->load(document);
    std::u16string name;
    for (const auto& a : model->getArgs()) {
        OUString value;
        if (a.Name == "FilterName" && (a.Value >>= value))
            name = toU16(value);
    }
    Impl::close(model);
    return name;
}

void DocumentReader::convert(const fs::path& source, const fs::path& target,
                             const std::u16string& filter) {
    const auto model = impl_->load(source);
    const PropertyValue args[] = {property("FilterName", toOUString(filter)),
                                  property("Overwrite", true)};
    Reference<css::frame::XStorable>(model, UNO_QUERY_THROW)
        ->storeToURL(urlOf(target), Sequence<PropertyValue>(args, 2));
    Impl::close(model);
}

}  // namespace quorvane::testing
