#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/automation_handles.h"
#include "common/form_state.h"
#include "common/run_report.h"
#include "platform/automation/variant.h"
#include "platform/width_mapping.h"

namespace quorvane {

// The two width conversions of the body pass. Either may throw platform::Error.
struct WidthForms {
    std::function<std::u16string(std::u16string_view)> toFull = platform::toFullWidth;
    std::function<std::u16string(std::u16string_view)> toHalf = platform::toHalfWidth;
};

// Applies one find/replace pair to one document: its text boxes, then its headers and footers,
// then its body, each when its check box asks for it. Failures of the word processor end only
// the step at hand; a document that cannot be opened or saved is recorded in the report.
class DocumentPasses final {
  public:
    using Variant = platform::automation::Variant;

    DocumentPasses(const FormState& form, AutomationHandles& handles, RunReport& report,
                   WidthForms widths = {});

    // Opens ファイル名 in wdApp, replaces, closes it (the word processor saves it) and releases
    // it. The body pass may rewrite 置換前文字列 to its width-converted form. Returns whether the
    // pair reached the document: it was opened, and closed with its changes saved.
    bool chikan(const std::u16string& ファイル名, std::u16string& 置換前文字列,
                const std::u16string& 置換後文字列);

    void 図形置換(const Variant& 図形, const std::u16string& 置換前文字列,
                  const std::u16string& 置換後文字列);
    void ヘッダーフッターの置換(const Variant& セクション, const std::u16string& 置換前文字列,
                                const std::u16string& 置換後文字列);
    void 文書の置換(const Variant& 文書, std::u16string& 置換前文字列,
                    const std::u16string& 置換後文字列);

  private:
    void record(const std::u16string& path, std::u16string reason,
                DocumentFailure::Kind kind = DocumentFailure::Kind::Failure);

    const FormState& form_;
    AutomationHandles& handles_;
    RunReport& report_;
    WidthForms widths_;
};

}  // namespace quorvane
