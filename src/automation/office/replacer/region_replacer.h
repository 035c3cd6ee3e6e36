#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/text/XText.hpp>
#include <rtl/ustring.hxx>

namespace quorvane::automation::office {

// The paragraphs of the regions of one document with their text, read on the first search in a
// region and kept as long as the document is loaded. Each pair searches every region again, and
// most paragraphs hold none of the pairs: from the second pair on, only the paragraphs whose text
// may match are read from the document again. Only replacements change the loaded document, and
// each one brings its paragraph's text up to date.
class RegionOutlines final {
  public:
    struct Entry {
        // Empty for a table, whose cells are regions of their own.
        css::uno::Reference<css::text::XTextRange> paragraph;
        ::rtl::OUString text;
        std::vector<css::uno::Reference<css::text::XText>> cells;
    };
    // The entries of text, read from the document the first time.
    std::vector<Entry>& of(const css::uno::Reference<css::text::XText>& text);
    // Reads text again next time: a replacement may have split its paragraphs.
    void forget(const css::uno::Reference<css::text::XText>& text);

  private:
    std::vector<std::pair<css::uno::Reference<css::uno::XInterface>, std::vector<Entry>>> regions_;
};

// Replace-all inside one text region (a body, header, footer or shape text) and the tables it
// holds, the way the word processor's Find does it: literal text, widths always distinguished,
// matches within one paragraph and never across a field or footnote anchor, the replacement
// taking the formatting of the match's first character. Text people fill in is replaced where it
// stands: content controls, input fields and text form fields, which stay what they are. The
// results of computed fields (page numbers, dates, references) are not. A control bound to the
// document's data (a Word control showing the author, say) takes that data along, since the
// data, not the control's text, is what the document shows when it is opened again.
class RegionReplacer final {
  public:
    // document is the one whose regions are replaced, the owner of the data controls are bound to.
    // What the user should know of the replacements (a control whose data could not follow) is
    // added to problems.
    RegionReplacer(css::uno::Reference<css::frame::XModel> document, RegionOutlines& outlines,
                   std::u16string_view findText, std::u16string_view replacement, bool matchCase,
                   std::vector<std::u16string>& problems);

    // Returns how many occurrences were replaced.
    int replaceIn(const css::uno::Reference<css::text::XText>& text) const;
    // False when replaceIn(text) would replace nothing: no paragraph of text or of its tables
    // holds the find text. Reads only what replaceIn reads first, and keeps it for it.
    bool mayMatchIn(const css::uno::Reference<css::text::XText>& text) const;

  private:
    struct Segment;
    // Where matches were found, in code points of text.
    std::vector<std::size_t> matchesIn(const std::u32string& text) const;
    // Whether text holds the find text: a match found while walking lies within it.
    bool mayMatch(const ::rtl::OUString& text) const;
    int replaceInParagraph(const css::uno::Reference<css::text::XText>& text,
                           const css::uno::Reference<css::text::XTextRange>& paragraph) const;
    // Gathers the segments of a run of portions (a paragraph's or a content control's, whose
    // text is text) and replaces inside the input fields among them.
    int walkPortions(const css::uno::Reference<css::text::XText>& text,
                     const css::uno::Reference<css::container::XEnumerationAccess>& portions,
                     std::vector<Segment>& segments) const;
    int replaceInField(const css::uno::Reference<css::beans::XPropertySet>& field) const;
    // Sets the data a control (a content control, or an input field that came from one) is bound
    // to, if it is, to the control's new text.
    void updateBoundData(const css::uno::Reference<css::beans::XPropertySet>& control,
                         const ::rtl::OUString& text) const;
    int replaceInSegment(const Segment& segment) const;

    css::uno::Reference<css::frame::XModel> document_;
    RegionOutlines& outlines_;
    std::u32string find_;
    std::u16string replacement_;
    bool matchCase_;
    std::vector<std::u16string>& problems_;
};

}  // namespace quorvane::automation::office
