#include "automation/office/replacer/document_regions.h"

#include <algorithm>
#include <map>

#include <com/sun/star/beans/UnknownPropertyException.hpp>
#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/drawing/XDrawPageSupplier.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextFrame.hpp>

#include "automation/office/uno_support.h"

namespace quorvane::automation::office {

using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using ::rtl::OUString;

namespace {

bool hasProperty(const Reference<css::beans::XPropertySet>& properties, const char* name) {
    return properties.is() &&
           properties->getPropertySetInfo()->hasPropertyByName(OUString::createFromAscii(name));
}

// The text a shape shows: a text box keeps it in the frame attached to it.
TextRef textOfShape(const Reference<css::uno::XInterface>& shape) {
    const Reference<css::beans::XPropertySet> properties(shape, UNO_QUERY);
    if (hasProperty(properties, "TextBox") && hasProperty(properties, "TextBoxContent")) {
        bool textBox = false;
        properties->getPropertyValue("TextBox") >>= textBox;
        if (textBox) {
            const Reference<css::text::XTextFrame> frame(
                properties->getPropertyValue("TextBoxContent"), UNO_QUERY);
            if (frame.is())
                return frame->getText();
        }
    }
    if (supports(shape, "com.sun.star.drawing.GraphicObjectShape") ||
        supports(shape, "com.sun.star.text.TextGraphicObject")) {
        return {};
    }
    return TextRef(shape, UNO_QUERY);
}

void collectShapes(const Reference<css::container::XIndexAccess>& shapes,
                   std::vector<TextRef>& texts, std::vector<TextRef>& seen) {
    for (sal_Int32 i = 0; i < shapes->getCount(); ++i) {
        const Reference<css::uno::XInterface> shape(shapes->getByIndex(i), UNO_QUERY);
        if (supports(shape, "com.sun.star.drawing.GroupShape")) {
            collectShapes(Reference<css::container::XIndexAccess>(shape, UNO_QUERY_THROW), texts,
                          seen);
            continue;
        }
        const TextRef text = textOfShape(shape);
        if (text.is()) {
            if (std::find(seen.begin(), seen.end(), text) != seen.end())
                continue;
            seen.push_back(text);
        }
        texts.push_back(text);
    }
}

// Writer has one draw page, still reached through the interface its IDL calls deprecated.
Reference<css::container::XIndexAccess> drawPageOf(const Reference<css::frame::XModel>& model) {
    const Reference<css::drawing::XDrawPageSupplier> supplier(model, UNO_QUERY_THROW);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return Reference<css::container::XIndexAccess>(supplier->getDrawPage(), UNO_QUERY_THROW);
#pragma GCC diagnostic pop
}

}  // namespace

std::vector<TextRef> shapeTexts(const Reference<css::frame::XModel>& model) {
    std::vector<TextRef> found;
    std::vector<TextRef> seen;
    collectShapes(drawPageOf(model), found, seen);
    return found;
}

namespace {

// A document has a score of page styles: everything needed of a style is read with one call. The
// names are sorted, as getPropertyValues wants them; Text, TextFirst and TextLeft follow their
// IsOn.
constexpr const char* kFollowStyle = "FollowStyle";
constexpr const char* kFooterNames[] = {"FooterIsOn", "FooterText", "FooterTextFirst",
                                        "FooterTextLeft"};
constexpr const char* kHeaderNames[] = {"HeaderIsOn", "HeaderText", "HeaderTextFirst",
                                        "HeaderTextLeft"};

struct PageStyle {
    OUString follow;
    SectionTexts texts;
};

// Default (right), first and left texts of a header or footer that is switched on, each once.
std::vector<TextRef> distinctTexts(const Sequence<Any>& values, sal_Int32 isOn, sal_Int32 count) {
    std::vector<TextRef> texts;
    bool on = false;
    values[isOn] >>= on;
    if (!on)
        return texts;
    for (sal_Int32 i = isOn + 1; i < isOn + count; ++i) {
        const TextRef text(values[i], UNO_QUERY);
        if (text.is() && std::find(texts.begin(), texts.end(), text) == texts.end()) {
            texts.push_back(text);
        }
    }
    return texts;
}

std::map<OUString, PageStyle> readPageStyles(const Reference<css::container::XNameAccess>& styles,
                                             const Sequence<OUString>& names) {
    std::map<OUString, PageStyle> read;
    if (!names.hasElements())
        return read;
    // Offices before first-page headers have no TextFirst; each style has the same properties.
    const Reference<css::beans::XPropertySet> first(styles->getByName(names[0]), UNO_QUERY_THROW);
    const sal_Int32 perKind = hasProperty(first, "HeaderTextFirst") ? 4 : 3;
    std::vector<OUString> wanted{OUString::createFromAscii(kFollowStyle)};
    for (const auto* kind : {kFooterNames, kHeaderNames}) {
        for (sal_Int32 i = 0; i < 4; ++i) {
            if (perKind == 4 || i != 2)
                wanted.push_back(OUString::createFromAscii(kind[i]));
        }
    }
    const Sequence<OUString> request(wanted.data(), static_cast<sal_Int32>(wanted.size()));
    for (const auto& name : names) {
        const Reference<css::beans::XMultiPropertySet> style(styles->getByName(name),
                                                             UNO_QUERY_THROW);
        // A built-in style the document does not have is only listed: asking it anything else
        // makes Writer create it (SwDocStyleSheet::GetItemSet fills it physically), which costs a
        // millisecond a style and writes it into every .odt saved. Created, it would hold no
        // header or footer.
        bool physical = true;
        Reference<css::beans::XPropertySet>(style, UNO_QUERY_THROW)
            ->getPropertyValue("IsPhysical") >>= physical;
        if (!physical)
            continue;
        const Sequence<Any> values = style->getPropertyValues(request);
        PageStyle& page = read[name];
        values[0] >>= page.follow;
        page.texts.footers = distinctTexts(values, 1, perKind);
        page.texts.headers = distinctTexts(values, 1 + perKind, perKind);
    }
    return read;
}

// Page styles the body uses, in order of use and with the styles they lead on to, then the rest.
std::vector<OUString> pageStylesInOrder(const Reference<css::frame::XModel>& model,
                                        const Sequence<OUString>& names,
                                        const std::map<OUString, PageStyle>& styles) {
    std::vector<OUString> order;
    const auto add = [&](OUString name) {
        while (!name.isEmpty() && styles.contains(name) &&
               std::find(order.begin(), order.end(), name) == order.end()) {
            order.push_back(name);
            name = styles.at(name).follow;
        }
    };
    const Reference<css::text::XTextDocument> document(model, UNO_QUERY_THROW);
    const Reference<css::container::XEnumerationAccess> body(document->getText(), UNO_QUERY_THROW);
    const auto paragraphs = body->createEnumeration();
    OUString previous;
    while (const auto element = nextOf(paragraphs)) {
        const Reference<css::beans::XPropertySet> paragraph(*element, UNO_QUERY);
        if (!paragraph.is())
            continue;
        OUString name;
        try {
            paragraph->getPropertyValue("PageStyleName") >>= name;
        } catch (const css::beans::UnknownPropertyException&) {
            // A table: it lies on the pages of the paragraphs around it.
            continue;
        }
        if (name != previous)
            add(name);
        previous = name;
    }
    for (const auto& name : names)
        add(name);
    return order;
}

}  // namespace

std::vector<SectionTexts> sectionTexts(const Reference<css::frame::XModel>& model) {
    const Reference<css::style::XStyleFamiliesSupplier> supplier(model, UNO_QUERY_THROW);
    const Reference<css::container::XNameAccess> styles(
        supplier->getStyleFamilies()->getByName("PageStyles"), UNO_QUERY_THROW);
    const auto names = styles->getElementNames();
    auto read = readPageStyles(styles, names);
    std::vector<SectionTexts> sections;
    for (const auto& name : pageStylesInOrder(model, names, read)) {
        SectionTexts& texts = read.at(name).texts;
        if (!texts.headers.empty() || !texts.footers.empty())
            sections.push_back(std::move(texts));
    }
    return sections;
}

}  // namespace quorvane::automation::office
