#include "replace/document_passes.h"

#include <algorithm>

#include "platform/automation/resume_next.h"
#include "platform/error.h"
#include "platform/log.h"

namespace quorvane {

using platform::automation::AutomationError;
using platform::automation::resumeNext;

namespace {

constexpr std::int32_t kReplaceAll = 2;

// Execute with every argument named: the form used for text boxes, headers and footers.
void replaceNamed(const DocumentPasses::Variant& find, const std::u16string& findText,
                  const std::u16string& replacement) {
    find.call(u"Execute", {},
              {{u"FindText", findText}, {u"ReplaceWith", replacement}, {u"Replace", kReplaceAll}});
}

}  // namespace

DocumentPasses::DocumentPasses(const FormState& form, AutomationHandles& handles, RunReport& report,
                               WidthForms widths)
    : form_(form), handles_(handles), report_(report), widths_(std::move(widths)) {}

bool DocumentPasses::chikan(const std::u16string& ファイル名, std::u16string& 置換前文字列,
                            const std::u16string& 置換後文字列) {
    Variant& wdDoc = handles_.wdDoc;
    const bool opened = resumeNext(
        [&] { wdDoc = handles_.wdApp.get(u"Documents").call(u"Open", {ファイル名}); },
        [&](const AutomationError& e) { record(ファイル名, u"開けませんでした：" + e.message()); });
    resumeNext([&] { 図形置換(wdDoc.get(u"Shapes"), 置換前文字列, 置換後文字列); });
    resumeNext([&] { ヘッダーフッターの置換(wdDoc.get(u"Sections"), 置換前文字列, 置換後文字列); });
    resumeNext([&] { 文書の置換(wdDoc.get(u"Content").get(u"Find"), 置換前文字列, 置換後文字列); });
    const bool saved = resumeNext(
        [&] {
            // A backend tells of a save the user should know about, such as one in a newer
            // format, as the result of Close.
            const Variant notice = wdDoc.call(u"Close");
            if (notice.type() == Variant::Type::String && !notice.toString().empty())
                record(ファイル名, notice.toString(), DocumentFailure::Kind::Notice);
        },
        [&](const AutomationError& e) {
            // A document that never opened has nothing to close; its failure is recorded.
            if (opened)
                record(ファイル名, u"保存できませんでした：" + e.message());
        });
    wdDoc = Variant::nothing;
    return opened && saved;
}

void DocumentPasses::図形置換(const Variant& 図形, const std::u16string& 置換前文字列,
                              const std::u16string& 置換後文字列) {
    if (form_.checkValue(2) != FormState::kChecked)
        return;
    resumeNext([&] {
        for (const Variant& shape : 図形.enumerate()) {
            resumeNext([&] {
                replaceNamed(shape.get(u"TextFrame").get(u"TextRange").get(u"Find"), 置換前文字列,
                             置換後文字列);
            });
        }
    });
}

void DocumentPasses::ヘッダーフッターの置換(const Variant& セクション,
                                            const std::u16string& 置換前文字列,
                                            const std::u16string& 置換後文字列) {
    if (form_.checkValue(3) != FormState::kChecked)
        return;
    const auto replaceEach = [&](const Variant& collection) {
        for (const Variant& member : collection.enumerate()) {
            resumeNext([&] {
                replaceNamed(member.get(u"Range").get(u"Find"), 置換前文字列, 置換後文字列);
            });
        }
    };
    resumeNext([&] {
        for (const Variant& section : セクション.enumerate()) {
            resumeNext([&] { replaceEach(section.get(u"Headers")); });
            resumeNext([&] { replaceEach(section.get(u"Footers")); });
        }
    });
}

void DocumentPasses::文書の置換(const Variant& 文書, std::u16string& 置換前文字列,
                                const std::u16string& 置換後文字列) {
    if (form_.checkValue(1) != FormState::kChecked)
        return;
    // MatchCase is read from its check box at every Execute.
    const auto replace = [&] {
        resumeNext([&] {
            文書.call(u"Execute", {置換前文字列},
                      {{u"ReplaceWith", 置換後文字列},
                       {u"MatchCase", form_.checkValue(4) == FormState::kChecked},
                       {u"Replace", kReplaceAll}});
        });
    };
    if (form_.checkValue(5) == FormState::kUnchecked) {
        // Widths are not distinguished: replace the full-width form, then the half-width form.
        // The converted text is written back, so the rest of the run searches for it too.
        // A conversion that fails leaves the text as it is: searching for it as typed still
        // replaces what the user asked for, where ending the run would leave documents undone.
        const auto convert = [&](const auto& mapping) {
            try {
                置換前文字列 = mapping(置換前文字列);
            } catch (const platform::Error& e) {
                platform::log::problem(
                    u"検索文字列の全角半角の変換に失敗しました（変換せずに検索します）：" +
                    e.message());
            }
        };
        convert(widths_.toFull);
        replace();
        convert(widths_.toHalf);
        replace();
    } else {
        replace();
    }
}

void DocumentPasses::record(const std::u16string& path, std::u16string reason,
                            DocumentFailure::Kind kind) {
    // Each pair opens the document again: one line per document and cause is enough.
    const bool known = std::any_of(report_.begin(), report_.end(), [&](const DocumentFailure& f) {
        return f.path == path && f.reason == reason;
    });
    if (!known)
        report_.push_back({path, std::move(reason), kind});
}

}  // namespace quorvane
