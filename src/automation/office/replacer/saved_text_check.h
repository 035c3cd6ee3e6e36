#pragma once

#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ustring.hxx>

#include "automation/office/replacer/lost_text.h"

namespace quorvane::automation::office {

// The office can lose text when it writes a format that is not its own (a Word 97 header, a
// section's first-page header in RTF), without an error. Before a saved file takes the document's
// place, it is read back and its text set against the text the document held when it was
// written. Runs inside the office.

// What a reader sees of the loaded document.
DocumentTexts textsOf(const css::uno::Reference<css::frame::XModel>& document);

// Reads the file at url, written with the filter and its options, and closes it again. It is loaded
// as a model alone, without a window or a layout: nothing here needs the pages.
DocumentTexts textsOfFile(const css::uno::Reference<css::uno::XComponentContext>& context,
                          const ::rtl::OUString& url, const ::rtl::OUString& filter,
                          const ::rtl::OUString& filterOptions);

// The text of a Word document (.docx and its kin) the office wrote, read from the package's XML
// as Word reads it rather than loaded again: a tenth of the time, and closer to what the user will
// see. Each region comes as one text.
DocumentTexts textsOfWordPackage(const css::uno::Reference<css::uno::XComponentContext>& context,
                                 const ::rtl::OUString& url);

}  // namespace quorvane::automation::office
