#include "run/document_passes.h"

#include "automation/resume_next.h"
#include "os/log.h"

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

PassResult DocumentPasses::replaceInDocument(const std::u16string& path, std::u16string& findText,
                                             const std::u16string& replacement) {
    PassResult result;
    std::optional<word::Document> document;
    result.opened = resumeNext([&] { document = application_.documents().open(path); },
                               [&](const AutomationError& e) {
                                   result.failure = u"開けませんでした：" + e.message();
                                   result.lost = lostWith(e);
                               });
    if (!document)
        return result;
    resumeNext([&] { replaceInTextBoxes(document->shapes(), findText, replacement, result); });
    resumeNext(
        [&] { replaceInHeadersAndFooters(document->sections(), findText, replacement, result); });
    resumeNext([&] { replaceInBody(document->content().find(), findText, replacement, result); });
    result.saved = resumeNext([&] { result.notice = document->close(); },
                              [&](const AutomationError& e) {
                                  result.failure = u"保存できませんでした：" + e.message();
                                  result.lost = lostWith(e);
                              });
    return result;
}

std::u16string DocumentPasses::finishDocument(const std::u16string& path, bool* lost) {
    std::u16string failure;
    resumeNext([&] { application_.documents().finish(path); },
               [&](const AutomationError& e) {
                   failure = u"保存できませんでした：" + e.message();
                   if (lost)
                       *lost = lostWith(e);
               });
    return failure;
}

void DocumentPasses::replaceInTextBoxes(const word::Collection<word::Shape>& shapes,
                                        const std::u16string& findText,
                                        const std::u16string& replacement, PassResult& result) {
    if (!request_.regions.textBoxes)
        return;
    resumeNext([&] {
        for (const word::Shape& shape : shapes.items()) {
            resumeNext([&] {
                count(shape.textFrameRange().find().replaceAllNamed(findText, replacement),
                      result.counts.textBoxes, result.found);
            });
        }
    });
}

void DocumentPasses::replaceInHeadersAndFooters(const word::Collection<word::Section>& sections,
                                                const std::u16string& findText,
                                                const std::u16string& replacement,
                                                PassResult& result) {
    if (!request_.regions.headersAndFooters)
        return;
    const auto replaceInEach = [&](const word::Collection<word::HeaderFooter>& members) {
        for (const word::HeaderFooter& member : members.items()) {
            resumeNext([&] {
                count(member.range().find().replaceAllNamed(findText, replacement),
                      result.counts.headersAndFooters, result.found);
            });
        }
    };
    resumeNext([&] {
        for (const word::Section& section : sections.items()) {
            resumeNext([&] { replaceInEach(section.headers()); });
            resumeNext([&] { replaceInEach(section.footers()); });
        }
    });
}

void DocumentPasses::replaceInBody(const word::Find& body, std::u16string& findText,
                                   const std::u16string& replacement, PassResult& result) {
    if (!request_.regions.body)
        return;
    const auto replace = [&] {
        resumeNext([&] {
            count(body.replaceAll(findText, replacement, request_.matchCase), result.counts.body,
                  result.found);
        });
    };
    if (request_.distinguishWidths) {
        replace();
        return;
    }
    // Both width forms are replaced, full width first. The converted text is written back, so
    // the rest of the run searches for it in every region.
    findText = converted(findText, widths_.toFull);
    replace();
    findText = converted(findText, widths_.toHalf);
    result.widthsConverted = true;
    replace();
}

}  // namespace quorvane::run
