#pragma once

#include <string>

#include "batch/copy_staging.h"
#include "common/automation_handles.h"
#include "common/form_state.h"
#include "common/pair_texts.h"
#include "common/run_report.h"
#include "common/target_list.h"
#include "platform/automation/variant.h"
#include "platform/message_box.h"
#include "replace/document_passes.h"

namespace quorvane {

// One run per dropped path: confirmation when originals are edited, the pairs from the form, the
// target list, copies when asked, one word processor for the whole run, and every non-blank pair
// applied to every target.
class RunDriver final {
  public:
    static constexpr std::u16string_view kTitle = u"Quorvane";
    static constexpr std::u16string_view kConfirmText =
        u"元ファイルを置換します（ファイルの取扱メニュー参照）。\n続行しますか？";
    static constexpr std::u16string_view kCopyFailedText =
        u"ファイルコピー失敗：同一のファイル名があるかパスが無効。\n"
        u"ファイルの取扱メニューから別フォルダーを選択するか、または元ファイルを置換してください。";
    static constexpr std::u16string_view kWordProcessorClass = u"Word.Application";

    RunDriver(const FormState& form, platform::MessageBox& messages,
              platform::automation::ObjectFactory& factory);

    // One complete run for strFN. Throws RunError when the path cannot be examined or listed or
    // the word processor cannot be started; the word processor never outlives the call.
    void ファイル名取得(std::u16string strFN);

    // Told of each target as the run reaches it; may be null.
    void setProgress(RunProgress* progress) { progress_ = progress; }

    const PairTexts& pairTexts() const noexcept { return pairs_; }
    const TargetList& targetList() const noexcept { return targets_; }
    // Documents of the last run that could not be opened or saved.
    const RunReport& report() const noexcept { return report_; }

  private:
    void run(const std::u16string& path);
    // Every non-blank pair on one document; typed holds the pairs as the form gave them.
    void applyPairs(const std::u16string& document, const PairTexts& typed);
    // Logs what became of one document from the report entries it added from firstEntry on.
    void logOutcome(const std::u16string& document, std::size_t firstEntry) const;
    void readPairs();
    void buildTargetList(const std::u16string& path);

    const FormState& form_;
    platform::MessageBox& messages_;
    platform::automation::ObjectFactory& factory_;
    RunProgress* progress_ = nullptr;

    PairTexts pairs_;
    TargetList targets_;
    AutomationHandles handles_;
    RunReport report_;
    CopyStaging staging_;
    DocumentPasses passes_;
};

}  // namespace quorvane
