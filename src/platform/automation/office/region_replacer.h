#pragma once

#include <string>
#include <string_view>

#include <com/sun/star/text/XText.hpp>
#include <rtl/ustring.hxx>

namespace quorvane::platform::automation::office {

// Replace-all inside one text region (a body, header, footer or shape text) and the tables it
// holds, the way the word processor's Find does it: literal text, widths always distinguished,
// matches within one paragraph and never across a field or footnote anchor, the replacement
// taking the formatting of the match's first character.
class RegionReplacer final {
  public:
    RegionReplacer(std::u16string_view findText, std::u16string_view replacement, bool matchCase);

    // Returns how many occurrences were replaced.
    int replaceIn(const css::uno::Reference<css::text::XText>& text) const;

  private:
    struct Segment;
    // Whether text holds the find text: a match found while walking lies within it.
    bool mayMatch(const ::rtl::OUString& text) const;
    int replaceInParagraph(const css::uno::Reference<css::text::XText>& text,
                           const css::uno::Reference<css::text::XTextRange>& paragraph) const;
    int replaceInSegment(const css::uno::Reference<css::text::XText>& text,
                         const Segment& segment) const;

    std::u32string find_;
    std::u16string replacement_;
    bool matchCase_;
};

}  // namespace quorvane::platform::automation::office
