#pragma once

#include <functional>
#include <optional>
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
    // The pair reached the file: every search ran and the document was closed with its changes.
    bool saved = false;
    // Why it could not be opened, searched or saved, in the word processor's words.
    std::optional<std::u16string> failure;
    // The word processor was lost meanwhile, with everything of the document not yet written.
    bool lost = false;
    bool found = false;
    // The body pass rewrote the find text to its width-converted form.
    bool widthsConverted = false;
    RegionCounts counts;
    // What the user should know of the document's save, such as a save in another format.
    std::optional<std::u16string> notice;
};

// Applies one find/replace pair to one document: its text boxes (those of the headers and
// footers too), then its headers and footers, then its body, each when the request asks for it.
// A failure of the word processor to reach a region ends only the step at hand; a search it
// refuses fails the pair on the document. The result tells whether the document was opened and
// the pair saved in it.
//
// In a dry run the document is opened read-only at its first pair and stays open for the others,
// so that each pair meets what the ones before it replaced, as when they are saved in turn; the
// run finishing it discards every change.
class DocumentPasses final {
  public:
    DocumentPasses(const RunRequest& request, const automation::word::Application& application,
                   const WidthForms& widths);
    // A document a dry run still holds is discarded.
    ~DocumentPasses();
    DocumentPasses(const DocumentPasses&) = delete;
    DocumentPasses& operator=(const DocumentPasses&) = delete;

    // Opens the document, replaces, closes it (the word processor keeps what changed). When
    // widths are not distinguished the body pass rewrites findText to the half-width form of its
    // full-width form, and the rest of the run searches for that.
    PassResult replaceInDocument(const std::u16string& path, std::u16string& findText,
                                 const std::u16string& replacement);

    // Tells the word processor, after the document's last pair, that the run is done with it:
    // a backend that held its changes back writes them now.
    struct Finished {
        // Why they could not be written, in which case the document got none of the pairs.
        std::optional<std::u16string> failure;
        // They went with a word processor that was lost.
        bool lost = false;
        // The file written was read back and held all the document's text.
        bool checked = false;
    };
    Finished finishDocument(const std::u16string& path);

    // What the body pass searches for with widths alike: the find text's full-width form, then the
    // half-width form of that, which it leaves in findText for the rest of the run.
    std::u16string fullWidthForm(const std::u16string& findText) const;
    std::u16string halfWidthForm(const std::u16string& findText) const;

  private:
    // One pair on one document: what it did, and the first search the word processor refused.
    struct Pass {
        PassResult result;
        std::u16string searchFailure;
    };

    static void search(Pass& pass, std::optional<std::int32_t>& region,
                       const std::function<automation::word::ExecuteResult()>& execute);
    void replaceInTextBoxes(const automation::word::Document& document,
                            const std::u16string& findText, const std::u16string& replacement,
                            Pass& pass);
    void replaceInShapes(const automation::word::Collection<automation::word::Shape>& shapes,
                         const std::u16string& findText, const std::u16string& replacement,
                         Pass& pass);
    void replaceInHeadersAndFooters(
        const automation::word::Collection<automation::word::Section>& sections,
        const std::u16string& findText, const std::u16string& replacement, Pass& pass);
    void replaceInBody(const automation::word::Document& document, std::u16string& findText,
                       const std::u16string& replacement, Pass& pass);

    // Closes the document a dry run holds open, dropping its changes.
    void discardHeld();

    const RunRequest& request_;
    const automation::word::Application& application_;
    const WidthForms& widths_;
    // The document a dry run holds open across its pairs, and its path.
    std::optional<automation::word::Document> held_;
    std::u16string heldPath_;
};

}  // namespace quorvane::run
