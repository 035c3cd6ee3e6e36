#pragma once

#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ustring.hxx>

#include "automation/office/lost_text.h"

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

}  // namespace quorvane::automation::office
