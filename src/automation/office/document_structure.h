#pragma once

#include <string>
#include <vector>

#include <com/sun/star/text/XText.hpp>

namespace quorvane::automation::office {

// How a loaded document's texts map onto Word's object model, as the program and the replacer it
// runs in the office both hold them (replacer/document_regions.h finds them).

using TextRef = css::uno::Reference<css::text::XText>;

// Word's sections are page styles here: the distinct header and footer texts of one style.
struct SectionTexts {
    std::vector<TextRef> headers;
    std::vector<TextRef> footers;
};

// Text that a saved file lacks, of one region of the document.
struct LostText {
    // The region, as the user reads it ("ヘッダー・フッター").
    std::u16string region;
    // Each text of the region that is missing, whole.
    std::vector<std::u16string> texts;
};

}  // namespace quorvane::automation::office
