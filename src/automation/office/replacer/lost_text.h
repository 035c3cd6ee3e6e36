#pragma once

#include <string>
#include <vector>

#include "automation/office/document_structure.h"

namespace quorvane::automation::office {

// The text a reader sees of a document, region by region: each body paragraph (table cells
// included) in order, and each header or footer, text box or shape, footnote or endnote, and
// comment as one text.
struct DocumentTexts {
    std::vector<std::u16string> body;
    std::vector<std::u16string> headersAndFooters;
    std::vector<std::u16string> textBoxes;
    std::vector<std::u16string> notes;
    std::vector<std::u16string> comments;
};

// Text of before that after no longer holds, one entry per region that lost any.
std::vector<LostText> lostText(const DocumentTexts& before, const DocumentTexts& after);

}  // namespace quorvane::automation::office
