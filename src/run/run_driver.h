#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/variant.h"
#include "os/message_box.h"
#include "run/document_passes.h"
#include "run/document_prescan.h"
#include "run/run_request.h"
#include "run/run_result.h"

namespace quorvane::run {

class BackupFolder;
class CopyStaging;

// Told of each document as a run reaches it, so that a long run can show where it is.
class RunProgress {
  public:
    virtual ~RunProgress() = default;
    // index counts from 0; count is the number of documents of the run.
    virtual void documentStarted(std::int32_t index, std::int32_t count,
                                 const std::u16string& path) = 0;
};

// The documents a run takes from a dropped folder, in its order: the ordinary files directly inside
// it as the system lists them; with its sub-folders, each folder's own documents in name order,
// then its sub-folders', one after another in name order (hidden ones and links to folders left
// out). A sub-folder that cannot be listed is listed itself, with the reason; the dropped folder
// (top) throws os::Error.
struct ListedDocument {
    std::u16string path;
    // Why a sub-folder could not be listed.
    std::optional<std::u16string> failure;
};
std::vector<ListedDocument> documentsInFolder(const std::u16string& folder, bool recursive,
                                              bool top = true);

// One run per dropped path: confirmation when originals are edited, the documents of the path,
// copies when asked, one word processor for the whole run, and every non-blank pair applied to
// every document.
class RunDriver final {
  public:
    static constexpr std::u16string_view kTitle = u"Quorvane";
    static constexpr std::u16string_view kConfirmText =
        u"元ファイルを置換します（ファイルの取扱メニュー参照）。\n続行しますか？";
    static constexpr std::u16string_view kCopyFailedText =
        u"ファイルコピー失敗：同一のファイル名があるかパスが無効。\n"
        u"ファイルの取扱メニューから別フォルダーを選択するか、または元ファイルを置換してください。";

    RunDriver(os::MessageBox& messages, automation::ObjectFactory& factory, WidthForms widths = {},
              MatchScreen screen = mayHoldMatch);

    // One complete run for the dropped path. Throws RunError, carrying what was done so far,
    // when the path cannot be examined or listed or the word processor cannot be started; the
    // word processor never outlives the call.
    RunResult run(const RunRequest& request, const std::u16string& droppedPath,
                  RunProgress* progress = nullptr);

    // Runs that edit originals keep each one in backups before it is first written, from the
    // next run on; null keeps none.
    void keepBackupsIn(BackupFolder* backups) noexcept { backups_ = backups; }

  private:
    class RunApplication;
    // The documents from first on, over as many word processors as the request allows, the
    // run's own among them. Returns whether a copy failed, which ended the run there.
    bool runInParallel(const RunRequest& request, const CopyStaging& staging,
                       const RunApplication& application,
                       const std::array<std::u16string, RunRequest::kPairs>& findTexts,
                       std::int32_t first, RunResult& result, RunProgress* progress);
    // A copy failed: the word processor is quit, the user told, and the run ends there.
    RunResult endByCopyFailure(RunApplication& application, RunResult result);

    os::MessageBox& messages_;
    automation::ObjectFactory& factory_;
    WidthForms widths_;
    MatchScreen screen_;
    BackupFolder* backups_ = nullptr;
};

}  // namespace quorvane::run
