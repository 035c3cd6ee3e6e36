#include "document_reader.h"

#include <com/sun/star/awt/FontWeight.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/drawing/XDrawPageSupplier.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/text/XParagraphCursor.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XSearchable.hpp>

#include <stdexcept>

#include "automation/office/uno_support.h"

namespace quorvane::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace automation::office;
using css::beans::PropertyValue;
using css::beans::XPropertySet;
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

// Lines of the drawing shapes that are neither frames nor text boxes with a frame of their own.
void plainShapeLines(const Reference<css::container::XIndexAccess>& shapes,
                     std::vector<std::u16string>& out) {
    for (sal_Int32 i = 0; i < shapes->getCount(); ++i) {
        const Reference<css::uno::XInterface> shape(shapes->getByIndex(i), UNO_QUERY);
        if (supports(shape, "com.sun.star.drawing.GroupShape")) {
            plainShapeLines(Reference<css::container::XIndexAccess>(shape, UNO_QUERY_THROW), out);
            continue;
        }
        const Reference<XPropertySet> properties(shape, UNO_QUERY);
        bool textBox = false;
        if (properties.is() && properties->getPropertySetInfo()->hasPropertyByName("TextBox"))
            properties->getPropertyValue("TextBox") >>= textBox;
        const Reference<css::text::XText> text(shape, UNO_QUERY);
        if (textBox || !text.is() || supports(shape, "com.sun.star.text.TextFrame"))
            continue;
        const std::u16string all = toU16(text->getString());
        for (std::size_t start = 0, end = 0; end != std::u16string::npos; start = end + 1) {
            end = all.find_first_of(u"\r\n", start);
            out.push_back(all.substr(start, end - start));
        }
    }
}

// Calls found(paragraph, range) for every occurrence of word that the document-wide search finds.
void eachFound(const Reference<css::frame::XModel>& model, const std::u16string& word,
               const std::function<void(const std::u16string&,
                                        const Reference<css::text::XTextRange>&)>& found) {
    const Reference<css::util::XSearchable> searchable(model, UNO_QUERY_THROW);
    const auto descriptor = searchable->createSearchDescriptor();
    descriptor->setSearchString(toOUString(word));
    descriptor->setPropertyValue("SearchCaseSensitive", css::uno::Any(true));
    const auto all = searchable->findAll(descriptor);
    for (sal_Int32 i = 0; all.is() && i < all->getCount(); ++i) {
        const Reference<css::text::XTextRange> range(all->getByIndex(i), UNO_QUERY_THROW);
        const Reference<css::text::XParagraphCursor> cursor(
            range->getText()->createTextCursorByRange(range->getStart()), UNO_QUERY_THROW);
        cursor->gotoStartOfParagraph(false);
        cursor->gotoEndOfParagraph(true);
        found(toU16(cursor->getString()), range);
    }
}

}  // namespace

DocumentReader::DocumentReader(bool allowMacros)
    : office_(OfficeProcess::Settings{{}, {60s}, allowMacros, {}}), allowMacros_(allowMacros) {}

void DocumentReader::read(const fs::path& document, const std::function<void(const Model&)>& use) {
    const Reference<css::frame::XComponentLoader> loader(office_.desktop(), UNO_QUERY_THROW);
    // The events of a document's view come only with a view that shows.
    const PropertyValue args[] = {
        property("Hidden", !allowMacros_), property("ReadOnly", true),
        property("MacroExecutionMode", allowMacros_
                                           ? css::document::MacroExecMode::ALWAYS_EXECUTE_NO_WARN
                                           : css::document::MacroExecMode::NEVER_EXECUTE)};
    const Model model(loader->loadComponentFromURL(urlOf(document), "_blank", 0, Sequence(args, 3)),
                      UNO_QUERY);
    if (!model.is())
        throw std::runtime_error("cannot load " + document.string());
    use(model);
    Reference<css::util::XCloseable>(model, UNO_QUERY_THROW)->close(true);
}

std::map<std::u16string, int> DocumentReader::count(const fs::path& document,
                                                    const std::u16string& word) {
    std::map<std::u16string, int> counts;
    std::vector<std::u16string> lines;
    read(document, [&](const Model& model) {
        eachFound(model, word,
                  [&](const auto& paragraph, const auto&) { ++counts[labelOf(paragraph)]; });
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        plainShapeLines(
            Reference<css::container::XIndexAccess>(
                Reference<css::drawing::XDrawPageSupplier>(model, UNO_QUERY_THROW)->getDrawPage(),
                UNO_QUERY_THROW),
            lines);
#pragma GCC diagnostic pop
    });
    for (const auto& line : lines) {
        for (auto at = line.find(word); at != std::u16string::npos;
             at = line.find(word, at + word.size()))
            ++counts[labelOf(line)];
    }
    return counts;
}

std::u16string DocumentReader::paragraph(const fs::path& document, const std::u16string& word,
                                         const std::u16string& label) {
    std::u16string result;
    read(document, [&](const Model& model) {
        eachFound(model, word, [&](const auto& paragraph, const auto&) {
            if (result.empty() && labelOf(paragraph) == label)
                result = paragraph;
        });
    });
    return result;
}

bool DocumentReader::bold(const fs::path& document, const std::u16string& word,
                          const std::u16string& label) {
    bool all = true;
    bool any = false;
    read(document, [&](const Model& model) {
        eachFound(model, word, [&](const auto& paragraph, const auto& range) {
            if (labelOf(paragraph) != label)
                return;
            any = true;
            for (std::size_t i = 0; i < word.size(); ++i) {
                const auto cursor = range->getText()->createTextCursorByRange(range->getStart());
                cursor->goRight(static_cast<sal_Int16>(i), false);
                cursor->goRight(1, true);
                float weight = 0;
                Reference<XPropertySet>(cursor, UNO_QUERY_THROW)->getPropertyValue("CharWeight") >>=
                    weight;
                all = all && weight >= css::awt::FontWeight::BOLD;
            }
        });
    });
    return any && all;
}

std::u16string DocumentReader::filter(const fs::path& document) {
    std::u16string name;
    read(document, [&](const Model& model) {
        for (const auto& a : model->getArgs()) {
            OUString value;
            if (a.Name == "FilterName" && (a.Value >>= value))
                name = toU16(value);
        }
    });
    return name;
}

void DocumentReader::convert(const fs::path& source, const fs::path& target,
                             const std::u16string& filter) {
    read(source, [&](const Model& model) {
        const PropertyValue args[] = {property("FilterName", toOUString(filter)),
                                      property("Overwrite", true)};
        Reference<css::frame::XStorable>(model, UNO_QUERY_THROW)
            ->storeToURL(urlOf(target), Sequence(args, 2));
    });
}

}  // namespace quorvane::testing
