#pragma once

#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

namespace quorvane::automation::office {

// The office writes an input field into a Word document (.docx) once for every run of script in
// its text: an input field that holds Japanese, or any other East Asian or complex script beside
// the markers around it, comes back as its text repeated a handful of times and torn apart. It
// reads Word's plain-text content controls and FILLIN fields as input fields, so every such control
// holding Japanese would be garbled by a save. Before a document is written as .docx, each input
// field at risk becomes a content control holding the same text, with the data it is bound to and
// its placeholder; what a content control of the office cannot hold (the plain-text setting, the
// title, the FILLIN prompt) is lost. Runs inside the office.
struct ConvertedInputFields {
    // Fields that came from Word's content controls, and those that were fields of their own.
    int controls = 0;
    int fields = 0;
};
bool hasInputFields(const css::uno::Reference<css::frame::XModel>& document);
ConvertedInputFields keepInputFieldsWhole(
    const css::uno::Reference<css::uno::XComponentContext>& context,
    const css::uno::Reference<css::frame::XModel>& document);

}  // namespace quorvane::automation::office
