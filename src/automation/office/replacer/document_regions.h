#pragma once

#include <vector>

#include <com/sun/star/frame/XModel.hpp>

#include "automation/office/document_structure.h"

namespace quorvane::automation::office {

// The text of every shape on the draw page (groups opened), each text once, in draw-page order; a
// null reference for a shape that shows no text, such as a picture.
std::vector<TextRef> shapeTexts(const css::uno::Reference<css::frame::XModel>& model);

// The sections of each page style that has any header or footer text, in the order the body uses
// the styles, then the rest.
std::vector<SectionTexts> sectionTexts(const css::uno::Reference<css::frame::XModel>& model);

}  // namespace quorvane::automation::office
