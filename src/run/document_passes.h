#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "automation/word_model.h"
#include "os/width_mapping.h"
#include "run/run_request.h"
#include "run/run_result.h"

namespace quorvane::run {

// The two width conversions of the body pass. Either may throw os::Error.
struct WidthForms {
    std::function<std::u16string(std::u16string_view)> toFull = os::toFullWidth;
    std::function<std::u16string(std::u16string_view)> toHalf = os::toHalfWidth;
};

// What one pair did to one document.
struct PassResult {
    bool opened = false;
    bool saved = false;
    // Why it could not be opened or saved, in the word processor's words; empty otherwise.
    std::u16string failure;
    // The word processor was lost meanwhile, with everything of the document not yet written.
    bool lost = false;
    bool found = false;
    // The body pass rewrote the find text to its width-converted form.
    bool widthsConverted = false;
    RegionCounts counts;
    std::u16string notice;
};

// Applies one find/replace pair to one document: its text boxes, then its headers and footers,
// then its body, each when the request asks for it. A failure of the word processor ends only the
// step at hand; the result tells whether the document was opened and saved.
class DocumentPasses final {
  public:
    DocumentPasses(const RunRequest& request, const automation::word::Application& application,
                   const WidthForms& widths);

    // Opens the document, replaces, closes it (the word processor keeps what changed). When
    // widths are not distinguished the body pass rewrites findText to the half-width form of its
    // full-width form, and the rest of the run searches for that.
    PassResult replaceInDocument(const std::u16string& path, std::u16string& findText,
                                 const std::u16string& replacement);

    // Tells the word processor, after the document's last pair, that the run is done with it:
    // a backend that held its changes back writes them now. Returns why they could not be
    // written, in which case the document got none of the pairs; empty otherwise. lost, when
    // given, tells whether they went with a word processor that was lost.
    std::u16string finishDocument(const std::u16string& path, bool* lost = nullptr);

  private:
    void replaceInTextBoxes(const automation::word::Collection<automation::word::Shape>& shapes,
                            const std::u16string& findText, const std::u16string& replacement,
                            PassResult& result);
    void replaceInHeadersAndFooters(
        const automation::word::Collection<automation::word::Section>& sections,
        const std::u16string& findText, const std::u16string& replacement, PassResult& result);
    void replaceInBody(const automation::word::Find& body, std::u16string& findText,
                       const std::u16string& replacement, PassResult& result);

    const RunRequest& request_;
    const automation::word::Application& application_;
    const WidthForms& widths_;
};

}  // namespace quorvane::run
