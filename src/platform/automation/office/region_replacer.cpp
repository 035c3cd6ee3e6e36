#include "platform/automation/office/region_replacer.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <vector>

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextTable.hpp>

#include "platform/automation/office/office_session.h"

namespace quorvane::platform::automation::office {

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

// Simple case folding maps one code point to one of the same width: ＡＢＣ meets ａｂｃ, never abc.
char32_t fold(char32_t c) {
    return static_cast<char32_t>(u_foldCase(UChar32(c), U_FOLD_CASE_DEFAULT));
}

std::u32string folded(std::u32string text) {
    std::transform(text.begin(), text.end(), text.begin(), fold);
    return text;
}

// Marks that take no place in the text: a match runs on across them.
bool takesNoPlace(const OUString& portionType) {
    return portionType == "Bookmark" || portionType == "ReferenceMark" ||
           portionType == "DocumentIndexMark" || portionType == "SoftPageBreak" ||
           portionType == "Redline";
}

// goRight takes a 16-bit count; a paragraph may be longer.
void moveRight(const Reference<css::text::XTextCursor>& cursor, std::size_t count, bool expand) {
    while (count > 0) {
        const auto step = static_cast<sal_Int16>(std::min<std::size_t>(count, 0x7FFF));
        cursor->goRight(step, expand);
        count -= static_cast<std::size_t>(step);
    }
}

}  // namespace

// A stretch of plain text portions in one paragraph, where matches are looked for.
struct RegionReplacer::Segment {
    // A collapsed cursor: a range that stays put while the text after it changes.
    Reference<css::text::XTextRange> start;
    std::u32string text;
};

RegionReplacer::RegionReplacer(std::u16string_view findText, std::u16string_view replacement,
                               bool matchCase)
    : find_(codePoints(findText)), replacement_(replacement), matchCase_(matchCase) {
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
    const Reference<css::container::XEnumerationAccess> access(text, UNO_QUERY_THROW);
    const auto paragraphs = access->createEnumeration();
    while (paragraphs->hasMoreElements()) {
        const css::uno::Any element = paragraphs->nextElement();
        const Reference<css::text::XTextTable> table(element, UNO_QUERY);
        if (table.is()) {
            for (const auto& name : table->getCellNames()) {
                const Reference<css::text::XText> cell(table->getCellByName(name), UNO_QUERY);
                if (cell.is())
                    count += replaceIn(cell);
            }
            continue;
        }
        const Reference<css::text::XTextRange> paragraph(element, UNO_QUERY);
        if (paragraph.is())
            count += replaceInParagraph(text, paragraph);
    }
    return count;
}

int RegionReplacer::replaceInParagraph(const Reference<css::text::XText>& text,
                                       const Reference<css::text::XTextRange>& paragraph) const {
    // Most paragraphs hold no match: reading the whole string once spares walking them. (A
    // region's or cell's own string is no such shortcut: it misses text before a table that
    // ends a frame.)
    if (!mayMatch(paragraph->getString()))
        return 0;

    std::vector<Segment> segments;
    bool open = false;
    const Reference<css::container::XEnumerationAccess> access(paragraph, UNO_QUERY_THROW);
    const auto portions = access->createEnumeration();
    while (portions->hasMoreElements()) {
        const Reference<css::text::XTextRange> portion(portions->nextElement(), UNO_QUERY_THROW);
        const Reference<css::beans::XPropertySet> properties(portion, UNO_QUERY_THROW);
        OUString type;
        properties->getPropertyValue("TextPortionType") >>= type;
        const OUString content = portion->getString();
        if (type == "Text") {
            if (!open) {
                segments.push_back({text->createTextCursorByRange(portion->getStart()).get(), {}});
                open = true;
            }
            segments.back().text += codePoints(toU16(content));
        } else if (!(content.isEmpty() && takesNoPlace(type))) {
            open = false;
        }
    }
    int count = 0;
    // From the end backwards, so that each replacement leaves the positions before it alone.
    for (auto s = segments.rbegin(); s != segments.rend(); ++s)
        count += replaceInSegment(text, *s);
    return count;
}

int RegionReplacer::replaceInSegment(const Reference<css::text::XText>& text,
                                     const Segment& segment) const {
    const std::u32string haystack = matchCase_ ? segment.text : folded(segment.text);
    std::vector<std::size_t> matches;
    for (auto at = haystack.find(find_); at != std::u32string::npos;
         at = haystack.find(find_, at + find_.size())) {
        matches.push_back(at);
    }
    const OUString replacement = toOUString(replacement_);
    for (auto m = matches.rbegin(); m != matches.rend(); ++m) {
        // The new text goes in right after the match's first character, whose formatting it
        // takes; that character goes last.
        const auto rest = text->createTextCursorByRange(segment.start);
        moveRight(rest, *m + 1, false);
        moveRight(rest, find_.size() - 1, true);
        rest->setString(replacement);
        const auto first = text->createTextCursorByRange(segment.start);
        moveRight(first, *m, false);
        moveRight(first, 1, true);
        first->setString(OUString());
    }
    return static_cast<int>(matches.size());
}

}  // namespace quorvane::platform::automation::office
