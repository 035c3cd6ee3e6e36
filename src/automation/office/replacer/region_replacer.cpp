#include "automation/office/replacer/region_replacer.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/document/XDocumentProperties.hpp>
#include <com/sun/star/document/XDocumentPropertiesSupplier.hpp>
#include <com/sun/star/text/XFormField.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextTable.hpp>
#include <com/sun/star/xml/dom/XDocument.hpp>
#include <com/sun/star/xml/dom/XElement.hpp>

#include "automation/office/uno_support.h"

namespace quorvane::automation::office {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

std::u32string codePoints(std::u16string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            out += char32_t(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::u16string utf16(std::u32string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (const char32_t c : text) {
        if (c >= 0x10000) {
            out += char16_t(0xD800 + ((c - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return out;
}

// Simple case folding maps one code point to one of the same width: ＡＢＣ meets ａｂｃ, never abc.
char32_t fold(char32_t c) {
    return static_cast<char32_t>(u_foldCase(UChar32(c), U_FOLD_CASE_DEFAULT));
}

std::u32string folded(std::u32string text) {
    std::transform(text.begin(), text.end(), text.begin(), fold);
    return text;
}

// Marks that take no place in the text: a match runs on across them. An index or reference
// mark at a single point is different: it is a character of its own, which cursors step over
// like any other, so it ends a stretch as a field does.
bool takesNoPlace(const OUString& portionType, const Reference<css::beans::XPropertySet>& portion) {
    if (portionType == "Bookmark" || portionType == "SoftPageBreak" || portionType == "Redline")
        return true;
    if (portionType != "ReferenceMark" && portionType != "DocumentIndexMark")
        return false;
    bool point = false;
    portion->getPropertyValue("IsCollapsed") >>= point;
    return !point;
}

// Of the fieldmarks, only a text form field holds text someone typed; the others (fields the
// office does not know as its own) show a result that is computed. Their type is read through
// the only interface that has it, which its IDL calls deprecated.
bool isTextFormField(const Reference<css::beans::XPropertySet>& portion) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const Reference<css::text::XFormField> fieldmark(portion->getPropertyValue("Bookmark"),
                                                     UNO_QUERY);
    return fieldmark.is() && fieldmark->getFieldType() == "vnd.oasis.opendocument.field.FORMTEXT";
#pragma GCC diagnostic pop
}

// goRight takes a 16-bit count; a paragraph may be longer.
void moveRight(const Reference<css::text::XTextCursor>& cursor, std::size_t count, bool expand) {
    while (count > 0) {
        const auto step = static_cast<sal_Int16>(std::min<std::size_t>(count, 0x7FFF));
        cursor->goRight(step, expand);
        count -= static_cast<std::size_t>(step);
    }
}

// The entry named name of a grab bag, the office's keeping of what it does not model.
css::uno::Any grabBagEntry(const css::uno::Sequence<css::beans::PropertyValue>& bag,
                           const char* name) {
    for (const auto& entry : bag) {
        if (entry.Name.equalsAscii(name))
            return entry.Value;
    }
    return {};
}

css::uno::Sequence<css::beans::PropertyValue> grabBagOf(
    const Reference<css::beans::XPropertySet>& object) {
    css::uno::Sequence<css::beans::PropertyValue> bag;
    if (object->getPropertySetInfo()->hasPropertyByName("InteropGrabBag"))
        object->getPropertyValue("InteropGrabBag") >>= bag;
    return bag;
}

// Where a Word control's data lives: an element of one of the document's XML data stores, named
// by a path of plain steps such as /ns1:coreProperties[1]/ns0:creator[1], which is all Word writes.
struct Binding {
    struct Step {
        OUString uri;
        OUString name;
        int index;
    };
    OUString store;
    OUString xpath;
    // Empty when the path is more than plain steps.
    std::vector<Step> steps;
};

constexpr char kCoreStore[] = "{6C3C8BC8-F283-45AE-878A-BAB7291924A1}";
constexpr char kExtendedStore[] = "{6668398D-A668-4E3E-A5EB-62B293D839F1}";
constexpr char kDublinCore[] = "http://purl.org/dc/elements/1.1/";
constexpr char kCoreProperties[] =
    "http://schemas.openxmlformats.org/package/2006/metadata/core-properties";
constexpr char kCustomXml[] = "http://schemas.openxmlformats.org/officeDocument/2006/customXml";

// xmlns:ns0='uri' xmlns:ns1="uri" ...
std::map<OUString, OUString> prefixesOf(const OUString& mappings) {
    std::map<OUString, OUString> prefixes;
    sal_Int32 at = 0;
    while ((at = mappings.indexOf("xmlns:", at)) >= 0) {
        const sal_Int32 equals = mappings.indexOf('=', at);
        if (equals < 0 || equals + 1 >= mappings.getLength())
            break;
        const sal_Unicode quote = mappings[equals + 1];
        const sal_Int32 end = mappings.indexOf(quote, equals + 2);
        if (end < 0)
            break;
        prefixes[mappings.copy(at + 6, equals - at - 6).trim()] =
            mappings.copy(equals + 2, end - equals - 2);
        at = end + 1;
    }
    return prefixes;
}

std::vector<Binding::Step> stepsOf(const OUString& xpath,
                                   const std::map<OUString, OUString>& prefixes) {
    std::vector<Binding::Step> steps;
    if (!xpath.startsWith("/"))
        return {};
    sal_Int32 at = 1;
    while (at <= xpath.getLength()) {
        sal_Int32 end = xpath.indexOf('/', at);
        if (end < 0)
            end = xpath.getLength();
        OUString step = xpath.copy(at, end - at);
        at = end + 1;
        int index = 1;
        if (const sal_Int32 open = step.indexOf('['); open >= 0) {
            if (!step.endsWith("]"))
                return {};
            index = step.copy(open + 1, step.getLength() - open - 2).toInt32();
            step = step.copy(0, open);
        }
        const sal_Int32 colon = step.indexOf(':');
        const OUString prefix = colon < 0 ? OUString() : step.copy(0, colon);
        const OUString name = step.copy(colon + 1);
        const auto uri = prefixes.find(prefix);
        if (index < 1 || name.isEmpty() || name.indexOf('(') >= 0 || name.indexOf('@') >= 0 ||
            (colon >= 0 && uri == prefixes.end())) {
            return {};
        }
        steps.push_back({colon < 0 ? OUString() : uri->second, name, index});
    }
    return steps;
}

// The binding of a control, if it has one: a rich-text control has it among its properties, a
// plain-text one, which came as an input field, keeps it in the field's grab bag.
std::optional<Binding> bindingOf(const Reference<css::beans::XPropertySet>& control) {
    Binding binding;
    OUString mappings;
    if (control->getPropertySetInfo()->hasPropertyByName("DataBindingXpath")) {
        control->getPropertyValue("DataBindingStoreItemID") >>= binding.store;
        control->getPropertyValue("DataBindingXpath") >>= binding.xpath;
        control->getPropertyValue("DataBindingPrefixMappings") >>= mappings;
    } else {
        css::uno::Sequence<css::beans::PropertyValue> data;
        grabBagEntry(grabBagOf(control), "ooxml:CT_SdtPr_dataBinding") >>= data;
        grabBagEntry(data, "ooxml:CT_DataBinding_storeItemID") >>= binding.store;
        grabBagEntry(data, "ooxml:CT_DataBinding_xpath") >>= binding.xpath;
        grabBagEntry(data, "ooxml:CT_DataBinding_prefixMappings") >>= mappings;
    }
    if (binding.xpath.isEmpty())
        return std::nullopt;
    binding.steps = stepsOf(binding.xpath, prefixesOf(mappings));
    return binding;
}

// The core properties the office models, each under its own setter.
bool setCoreProperty(const Reference<css::document::XDocumentProperties>& properties,
                     const Binding::Step& step, const OUString& text) {
    if (step.uri.equalsAscii(kDublinCore)) {
        if (step.name == "creator")
            properties->setAuthor(text);
        else if (step.name == "title")
            properties->setTitle(text);
        else if (step.name == "subject")
            properties->setSubject(text);
        else if (step.name == "description")
            properties->setDescription(text);
        else
            return false;
        return true;
    }
    // One keyword holding the whole text: the office writes its keywords back joined by spaces,
    // and would lose other separators had the text been split.
    if (step.uri.equalsAscii(kCoreProperties) && step.name == "keywords") {
        properties->setKeywords(css::uno::Sequence<OUString>(&text, 1));
        return true;
    }
    return false;
}

// The office keeps the extended properties it has no setter for (Company, Manager) among the
// user-defined ones, under their element's name, and writes them back where they came from.
bool setExtendedProperty(const Reference<css::document::XDocumentProperties>& properties,
                         const Binding::Step& step, const OUString& text) {
    const Reference<css::beans::XPropertySet> defined(properties->getUserDefinedProperties(),
                                                      UNO_QUERY_THROW);
    if (!defined->getPropertySetInfo()->hasPropertyByName(step.name))
        return false;
    defined->setPropertyValue(step.name, css::uno::Any(text));
    return true;
}

// A custom XML part is kept by the office as a live DOM beside its item properties, which name
// its store; the office writes the DOM back as it finds it.
bool setCustomXml(const Reference<css::frame::XModel>& document, const Binding& binding,
                  const OUString& text) {
    const Reference<css::beans::XPropertySet> model(document, UNO_QUERY_THROW);
    const auto bag = grabBagOf(model);
    css::uno::Sequence<Reference<css::xml::dom::XDocument>> parts;
    css::uno::Sequence<Reference<css::xml::dom::XDocument>> properties;
    grabBagEntry(bag, "OOXCustomXml") >>= parts;
    grabBagEntry(bag, "OOXCustomXmlProps") >>= properties;
    for (sal_Int32 i = 0; i < std::min(parts.getLength(), properties.getLength()); ++i) {
        if (!properties[i].is() || !parts[i].is())
            continue;
        const auto item = properties[i]->getDocumentElement();
        if (!item.is() || !item->getAttributeNS(OUString::createFromAscii(kCustomXml), "itemID")
                               .equalsIgnoreAsciiCase(binding.store)) {
            continue;
        }
        Reference<css::xml::dom::XNode> node(parts[i], UNO_QUERY_THROW);
        for (const auto& step : binding.steps) {
            int seen = 0;
            auto child = node->getFirstChild();
            for (; child.is(); child = child->getNextSibling()) {
                if (child->getNodeType() == css::xml::dom::NodeType_ELEMENT_NODE &&
                    child->getLocalName() == step.name && child->getNamespaceURI() == step.uri &&
                    ++seen == step.index) {
                    break;
                }
            }
            if (!child.is())
                return false;
            node = child;
        }
        while (node->hasChildNodes())
            node->removeChild(node->getFirstChild());
        node->appendChild(
            Reference<css::xml::dom::XNode>(parts[i]->createTextNode(text), UNO_QUERY_THROW));
        return true;
    }
    return false;
}

}  // namespace

// A stretch of plain text portions in one paragraph or content control, where matches are
// looked for.
struct RegionReplacer::Segment {
    // The text the portions belong to: the region's, or a content control's own.
    Reference<css::text::XText> owner;
    // A collapsed cursor: a range that stays put while the text after it changes.
    Reference<css::text::XTextRange> start;
    std::u32string text;
};

std::vector<RegionOutlines::Entry>& RegionOutlines::of(const Reference<css::text::XText>& text) {
    const Reference<css::uno::XInterface> identity(text, UNO_QUERY_THROW);
    for (auto& [region, entries] : regions_) {
        if (region == identity)
            return entries;
    }
    std::vector<Entry> entries;
    // A drawing object hands out its paragraphs from a copy of its text that a change made
    // through a cursor leaves as it was (seen in Word documents read from RTF); reading the whole
    // text brings that copy up to date.
    if (supports(text, "com.sun.star.drawing.Text"))
        text->getString();
    const auto paragraphs =
        Reference<css::container::XEnumerationAccess>(text, UNO_QUERY_THROW)->createEnumeration();
    // An element is asked for a table only when it is not a paragraph: one call less.
    while (const auto element = nextOf(paragraphs)) {
        if (const Reference<css::text::XTextRange> paragraph(*element, UNO_QUERY); paragraph.is()) {
            entries.push_back({paragraph, paragraph->getString(), {}});
        } else if (const Reference<css::text::XTextTable> table(*element, UNO_QUERY); table.is()) {
            Entry entry;
            for (const auto& name : table->getCellNames()) {
                const Reference<css::text::XText> cell(table->getCellByName(name), UNO_QUERY);
                if (cell.is())
                    entry.cells.push_back(cell);
            }
            entries.push_back(std::move(entry));
        }
    }
    return regions_.emplace_back(identity, std::move(entries)).second;
}

void RegionOutlines::forget(const Reference<css::text::XText>& text) {
    const Reference<css::uno::XInterface> identity(text, UNO_QUERY_THROW);
    std::erase_if(regions_, [&](const auto& region) { return region.first == identity; });
}

RegionReplacer::RegionReplacer(Reference<css::frame::XModel> document, RegionOutlines& outlines,
                               std::u16string_view findText, std::u16string_view replacement,
                               bool matchCase, std::vector<std::u16string>& problems)
    : document_(std::move(document)),
      outlines_(outlines),
      find_(codePoints(findText)),
      replacement_(replacement),
      matchCase_(matchCase),
      problems_(problems) {
    if (!matchCase_)
        find_ = folded(std::move(find_));
}

bool RegionReplacer::mayMatch(const OUString& text) const {
    const std::u32string whole = codePoints(toU16(text));
    return (matchCase_ ? whole : folded(whole)).find(find_) != std::u32string::npos;
}

int RegionReplacer::replaceIn(const Reference<css::text::XText>& text) const {
    if (find_.empty())
        return 0;
    int count = 0;
    // A cell's outline may be read while this one is walked: entries are taken by index.
    const std::size_t size = outlines_.of(text).size();
    for (std::size_t i = 0; i < size; ++i) {
        const RegionOutlines::Entry entry = outlines_.of(text)[i];
        for (const auto& cell : entry.cells)
            count += replaceIn(cell);
        // Most paragraphs hold no match: their text, read once, spares walking them. (A region's
        // or cell's own string is no such shortcut: it misses text before a table that ends a
        // frame.) The text holds that of fields and content controls too.
        if (!entry.paragraph.is() || !mayMatch(entry.text))
            continue;
        if (const int replaced = replaceInParagraph(text, entry.paragraph); replaced > 0) {
            count += replaced;
            outlines_.of(text)[i].text = entry.paragraph->getString();
        }
    }
    // A line or paragraph break in the replacement may have made paragraphs of the one it went in.
    // A drawing object's paragraph keeps the extent it had when it was read, and would walk a
    // longer text only as far: the next pair would miss what this one wrote at its end.
    if (count > 0 && (std::u16string_view(replacement_).find_first_of(u"\n\r\v\u2029") !=
                          std::u16string_view::npos ||
                      supports(text, "com.sun.star.drawing.Text"))) {
        outlines_.forget(text);
    }
    return count;
}

bool RegionReplacer::mayMatchIn(const Reference<css::text::XText>& text) const {
    if (find_.empty())
        return false;
    // As in replaceIn, a cell's outline may be read while this one is looked at.
    const std::size_t size = outlines_.of(text).size();
    for (std::size_t i = 0; i < size; ++i) {
        const RegionOutlines::Entry entry = outlines_.of(text)[i];
        if ((entry.paragraph.is() && mayMatch(entry.text)) ||
            std::any_of(entry.cells.begin(), entry.cells.end(),
                        [&](const auto& cell) { return mayMatchIn(cell); })) {
            return true;
        }
    }
    return false;
}

int RegionReplacer::replaceInParagraph(const Reference<css::text::XText>& text,
                                       const Reference<css::text::XTextRange>& paragraph) const {
    std::vector<Segment> segments;
    int count = walkPortions(
        text, Reference<css::container::XEnumerationAccess>(paragraph, UNO_QUERY_THROW), segments);
    // From the end backwards, so that each replacement leaves the positions before it alone.
    for (auto s = segments.rbegin(); s != segments.rend(); ++s)
        count += replaceInSegment(*s);
    // A content control's text is whole only once all its segments are replaced.
    std::vector<Reference<css::text::XText>> changedControls;
    for (const Segment& segment : segments) {
        if (segment.owner != text && !matchesIn(segment.text).empty() &&
            std::find(changedControls.begin(), changedControls.end(), segment.owner) ==
                changedControls.end()) {
            changedControls.push_back(segment.owner);
        }
    }
    for (const auto& control : changedControls) {
        OUString controlText;
        const auto portions =
            Reference<css::container::XEnumerationAccess>(control, UNO_QUERY_THROW)
                ->createEnumeration();
        while (const auto portion = nextOf(portions))
            controlText += Reference<css::text::XTextRange>(*portion, UNO_QUERY_THROW)->getString();
        updateBoundData(Reference<css::beans::XPropertySet>(control, UNO_QUERY_THROW), controlText);
    }
    return count;
}

int RegionReplacer::walkPortions(const Reference<css::text::XText>& text,
                                 const Reference<css::container::XEnumerationAccess>& access,
                                 std::vector<Segment>& segments) const {
    struct Fieldmark {
        bool formText;
        bool pastSeparator;
    };
    // The fieldmarks this run has opened, innermost last.
    std::vector<Fieldmark> fieldmarks;
    const std::size_t firstSegment = segments.size();
    int count = 0;
    bool open = false;
    const auto portions = access->createEnumeration();
    while (const auto element = nextOf(portions)) {
        const Reference<css::text::XTextRange> portion(*element, UNO_QUERY_THROW);
        const Reference<css::beans::XPropertySet> properties(portion, UNO_QUERY_THROW);
        OUString type;
        properties->getPropertyValue("TextPortionType") >>= type;
        // A field's code and a computed field's result are not text someone wrote.
        const bool written =
            fieldmarks.empty() || (fieldmarks.back().formText && fieldmarks.back().pastSeparator);
        if (type == "Text" && written) {
            if (!open) {
                segments.push_back(
                    {text, text->createTextCursorByRange(portion->getStart()).get(), {}});
                open = true;
            }
            segments.back().text += codePoints(toU16(portion->getString()));
            continue;
        }
        if (type != "Text" && takesNoPlace(type, properties) && portion->getString().isEmpty())
            continue;
        open = false;
        if (type == "TextField" && written) {
            const Reference<css::beans::XPropertySet> field(
                properties->getPropertyValue("TextField"), UNO_QUERY);
            if (supports(field, "com.sun.star.text.textfield.Input"))
                count += replaceInField(field);
        } else if (type == "ContentControl" && written) {
            const css::uno::Any control = properties->getPropertyValue("ContentControl");
            count += walkPortions(
                Reference<css::text::XText>(control, UNO_QUERY_THROW),
                Reference<css::container::XEnumerationAccess>(control, UNO_QUERY_THROW), segments);
        } else if (type == "TextFieldStart") {
            fieldmarks.push_back({isTextFormField(properties), false});
        } else if (type == "TextFieldSeparator") {
            if (!fieldmarks.empty())
                fieldmarks.back().pastSeparator = true;
        } else if (type == "TextFieldEnd") {
            if (!fieldmarks.empty()) {
                fieldmarks.pop_back();
            } else if (!isTextFormField(properties)) {
                // The paragraph began inside the result of a computed field that spans several.
                segments.resize(firstSegment);
            }
        }
    }
    return count;
}

std::vector<std::size_t> RegionReplacer::matchesIn(const std::u32string& text) const {
    const std::u32string haystack = matchCase_ ? text : folded(text);
    std::vector<std::size_t> matches;
    for (auto at = haystack.find(find_); at != std::u32string::npos;
         at = haystack.find(find_, at + find_.size())) {
        matches.push_back(at);
    }
    return matches;
}

int RegionReplacer::replaceInField(const Reference<css::beans::XPropertySet>& field) const {
    // The field shows its content as one piece of text: it is replaced whole, and stays a field.
    OUString content;
    field->getPropertyValue("Content") >>= content;
    const std::u32string text = codePoints(toU16(content));
    const auto matches = matchesIn(text);
    if (matches.empty())
        return 0;
    std::u16string replaced;
    std::size_t from = 0;
    for (const std::size_t at : matches) {
        replaced += utf16(std::u32string_view(text).substr(from, at - from));
        replaced += replacement_;
        from = at + find_.size();
    }
    replaced += utf16(std::u32string_view(text).substr(from));
    field->setPropertyValue("Content", css::uno::Any(toOUString(replaced)));
    updateBoundData(field, toOUString(replaced));
    return static_cast<int>(matches.size());
}

void RegionReplacer::updateBoundData(const Reference<css::beans::XPropertySet>& control,
                                     const OUString& text) const {
    const auto binding = bindingOf(control);
    if (!binding)
        return;
    bool updated = false;
    if (!binding->steps.empty()) {
        const Reference<css::document::XDocumentPropertiesSupplier> supplier(document_,
                                                                             UNO_QUERY_THROW);
        const auto properties = supplier->getDocumentProperties();
        if (binding->store.equalsIgnoreAsciiCase(kCoreStore))
            updated = setCoreProperty(properties, binding->steps.back(), text);
        else if (binding->store.equalsIgnoreAsciiCase(kExtendedStore))
            updated = setExtendedProperty(properties, binding->steps.back(), text);
        else
            updated = setCustomXml(document_, *binding, text);
    }
    // The text stays replaced: it is what the user asked for, and what the office shows until
    // the data it is bound to is read again.
    if (!updated) {
        problems_.push_back(
            u"コンテンツ コントロールの結び付け先を更新できません（次に開くと置換前の文字列"
            u"に戻ることがあります）：" +
            toU16(binding->store) + u" " + toU16(binding->xpath) + u"：" + toU16(text));
    }
}

int RegionReplacer::replaceInSegment(const Segment& segment) const {
    const auto matches = matchesIn(segment.text);
    const OUString replacement = toOUString(replacement_);
    const auto& text = segment.owner;
    for (auto m = matches.rbegin(); m != matches.rend(); ++m) {
        // The new text goes in right after the match's first character, whose formatting it
        // takes; that character goes last. A cursor of the segment's own text keeps the new text
        // inside a content control even at its end. Setting a cursor's string leaves it on the
        // new text, so the same cursor then takes the first character.
        const auto cursor = text->createTextCursorByRange(segment.start);
        moveRight(cursor, *m + 1, false);
        moveRight(cursor, find_.size() - 1, true);
        cursor->setString(replacement);
        cursor->collapseToStart();
        cursor->goLeft(1, true);
        cursor->setString(OUString());
    }
    return static_cast<int>(matches.size());
}

}  // namespace quorvane::automation::office
