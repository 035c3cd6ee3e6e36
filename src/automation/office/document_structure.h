#pragma once

#include <vector>

#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/text/XText.hpp>

namespace quorvane::automation::office {

using TextRef = css::uno::Reference<css::text::XText>;

// How a loaded document's texts map onto Word's object model. Both run inside the office, in the
// replacer's library (see region_replacer_job.h).

// The text of every shape on the draw page (groups opened), each text once, in draw-page order; a
// null reference for a shape that shows no text, such as a picture.
std::vector<TextRef> shapeTexts(const css::uno::Reference<css::frame::XModel>& model);

// Word's sections are page styles here: the distinct header and footer texts of each style that
// has any, in the order the body uses the styles, then the rest.
struct SectionTexts {
    std::vector<TextRef> headers;
    std::vector<TextRef> footers;
};
std::vector<SectionTexts> sectionTexts(const css::uno::Reference<css::frame::XModel>& model);

}  // namespace quorvane::automation::office
