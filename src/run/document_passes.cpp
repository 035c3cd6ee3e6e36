#include "run/document_passes.h"

#include "automation/resume_next.h"
#include "os/log.h"
#include "run/run_messages.h"

namespace quorvane::run {

namespace word = automation::word;
using automation::AutomationError;
using automation::resumeNext;

namespace {

void count(const word::ExecuteResult& answer, std::optional<std::int32_t>& region, bool& found) {
    found = found || answer.found;
    if (answer.replaced)
        region = region.value_or(0) + *answer.replaced;
}

bool lostWith(const AutomationError& error) {
    return dynamic_cast<const automation::WordProcessorLostError*>(&error) != nullptr;
}

// A conversion that fails leaves the text as it is: searching for it as typed still replaces
// what the user asked for, where ending the run would leave documents undone.
std::u16string converted(const std::u16string& text,
                         const std::function<std::u16string(std::u16string_view)>& convert) {
    try {
        return convert(text);
    } catch (const os::Error& e) {
        os::log::problem(u"検索文字列の全角半角の変換に失敗しました（変換せずに検索します）：" +
                         e.message());
        return text;
    }
}

}  // namespace

DocumentPasses::DocumentPasses(const RunRequest& request, const word::Application& application,
                               const WidthForms& widths)
    : request_(request), application_(application), widths_(widths) {}

DocumentPasses::~DocumentPasses() {
    discardHeld();
}

void DocumentPasses::discardHeld() {
    if (!held_)
        return;
    const word::Document document = *held_;
    held_.reset();
    heldPath_.clear();
    // Whatever becomes of it, nothing of it was to be written.
    resumeNext([&] { document.discard(); },
               [&](const AutomationError& e) {
                   os::log::detail(u"試行で開いた文書を閉じられませんでした：" + e.message());
               });
}

PassResult DocumentPasses::replaceInDocument(const std::u16string& path, std::u16string& findText,
                                             const std::u16string& replacement) {
    Pass pass;
    PassResult& result = pass.result;
    std::optional<word::Document> document;
    if (held_ && heldPath_ == path) {
        document = held_;
    } else {
        discardHeld();
        resumeNext([&] { document = application_.documents().open(path, request_.dryRun); },
                   [&](const AutomationError& e) {
                       result.failure = messages::notOpened(e.message());
                       result.lost = lostWith(e);
                   });
    }
    if (!document)
        return result;
    result.opened = true;
    if (request_.dryRun) {
        held_ = document;
        heldPath_ = path;
    }
    const std::u16string asGiven = findText;
    resumeNext([&] { replaceInTextBoxes(*document, findText, replacement, pass); });
    resumeNext(
        [&] { replaceInHeadersAndFooters(document->sections(), findText, replacement, pass); });
    resumeNext([&] { replaceInBody(*document, findText, replacement, pass); });
    // A dry run keeps the document open for the next pair: nothing is to be saved.
    result.saved = request_.dryRun || resumeNext([&] { result.notice = document->close(); },
                                                 [&](const AutomationError& e) {
                                                     result.failure =
                                                         messages::notSaved(e.message());
                                                     result.lost = lostWith(e);
                                                 });
    if (!pass.searchFailure.empty()) {
        result.saved = false;
        result.failure = messages::pairNotApplied(asGiven, replacement, pass.searchFailure);
    }
    return result;
}

DocumentPasses::Finished DocumentPasses::finishDocument(const std::u16string& path) {
    Finished finished;
    if (request_.dryRun) {
        if (heldPath_ == path)
            discardHeld();
        return finished;
    }
    resumeNext([&] { finished.checked = application_.documents().finish(path); },
               [&](const AutomationError& e) {
                   finished.failure = messages::notSaved(e.message());
                   finished.lost = lostWith(e);
               });
    return finished;
}

// One Execute. A refusal is the pair's failure on the document, never a quiet "nothing found".
void DocumentPasses::search(Pass& pass, std::optional<std::int32_t>& region,
                            const std::function<word::ExecuteResult()>& execute) {
    resumeNext([&] { count(execute(), region, pass.result.found); },
               [&](const AutomationError& e) {
                   // A word processor lost under the search took the whole document with it: that,
                   // not the search, is what the document is reported for.
                   if (lostWith(e))
                       pass.result.lost = true;
                   else if (pass.searchFailure.empty())
                       pass.searchFailure = e.message();
               });
}

void DocumentPasses::replaceInTextBoxes(const word::Document& document,
                                        const std::u16string& findText,
                                        const std::u16string& replacement, Pass& pass) {
    if (!request_.regions.textBoxes)
        return;
    resumeNext([&] { replaceInShapes(document.shapes(), findText, replacement, pass); });
    // The shapes of headers and footers are not the document's but every header's, all of them
    // in each. Text boxes all the same, they are searched with the others.
    resumeNext([&] {
        const auto sections = document.sections().items();
        if (sections.empty())
            return;
        const auto headers = sections.front().headers().items();
        if (!headers.empty())
            replaceInShapes(headers.front().shapes(), findText, replacement, pass);
    });
}

void DocumentPasses::replaceInShapes(const word::Collection<word::Shape>& shapes,
                                     const std::u16string& findText,
                                     const std::u16string& replacement, Pass& pass) {
    for (const word::Shape& shape : shapes.items()) {
        // A shape without text, such as a picture, is passed over.
        resumeNext([&] {
            const std::int32_t type = shape.type();
            if (type == word::kGroupShape || type == word::kCanvasShape) {
                replaceInShapes(
                    type == word::kGroupShape ? shape.groupItems() : shape.canvasItems(), findText,
                    replacement, pass);
                return;
            }
            const word::TextFrame frame = shape.textFrame();
            if (!frame.hasText())
                return;
            search(pass, pass.result.counts.textBoxes,
                   [&] { return frame.textRange().find().replaceAllNamed(findText, replacement); });
        });
    }
}

void DocumentPasses::replaceInHeadersAndFooters(const word::Collection<word::Section>& sections,
                                                const std::u16string& findText,
                                                const std::u16string& replacement, Pass& pass) {
    if (!request_.regions.headersAndFooters)
        return;
    // Each kind of header (and of footer) in its place in the list of each section. One linked
    // to the previous section's is that one's text: it is searched where the links begin, or,
    // where that one is switched off, at the first section that shows it.
    std::vector<bool> headersSearched;
    std::vector<bool> footersSearched;
    const auto replaceInEach = [&](const word::Collection<word::HeaderFooter>& members,
                                   std::vector<bool>& searched) {
        std::size_t kind = 0;
        for (const word::HeaderFooter& member : members.items()) {
            if (searched.size() <= kind)
                searched.push_back(false);
            resumeNext([&] {
                if (!member.linkedToPrevious())
                    searched[kind] = false;
                if (searched[kind] || !member.exists())
                    return;
                searched[kind] = true;
                search(pass, pass.result.counts.headersAndFooters, [&] {
                    return member.range().find().replaceAllNamed(findText, replacement);
                });
            });
            ++kind;
        }
    };
    resumeNext([&] {
        for (const word::Section& section : sections.items()) {
            resumeNext([&] { replaceInEach(section.headers(), headersSearched); });
            resumeNext([&] { replaceInEach(section.footers(), footersSearched); });
        }
    });
}

void DocumentPasses::replaceInBody(const word::Document& document, std::u16string& findText,
                                   const std::u16string& replacement, Pass& pass) {
    if (!request_.regions.body)
        return;
    // A Find of its own for each search: a range's Find redefines its range to what it found.
    const auto replace = [&] {
        search(pass, pass.result.counts.body, [&] {
            return document.content().find().replaceAll(findText, replacement, request_.matchCase);
        });
    };
    if (request_.distinguishWidths) {
        replace();
        return;
    }
    // Both width forms are replaced, full width first. The converted text is written back, so
    // the rest of the run searches for it in every region.
    findText = fullWidthForm(findText);
    replace();
    findText = halfWidthForm(findText);
    pass.result.widthsConverted = true;
    replace();
}

std::u16string DocumentPasses::fullWidthForm(const std::u16string& findText) const {
    return converted(findText, widths_.toFull);
}

std::u16string DocumentPasses::halfWidthForm(const std::u16string& findText) const {
    return converted(findText, widths_.toHalf);
}

}  // namespace quorvane::run
