#pragma once

#include <string>
#include <string_view>

#include "common/form_state.h"
#include "common/target_list.h"

namespace quorvane {

// Decides which file a run edits: with copying chosen, a copy in the destination folder (in a
// sub-folder named after a dropped folder), otherwise the file itself.
class CopyStaging final {
  public:
    CopyStaging(const FormState& form, const TargetList& targets);

    // The path to edit: the copy's path, the empty string when the copy failed, or the argument
    // itself when copying is not chosen.
    std::u16string fileconv(const std::u16string& ファイル名) const;

    // Path pieces found by scanning for the separator from the end.
    static std::u16string OP_file(std::u16string_view ファイル名);
    static std::u16string OP_folderfile(std::u16string_view ファイル名);
    static std::u16string OP_folder(std::u16string_view フォルダー名);

    // Creates one folder; an existing folder or any other failure is not an error here (the
    // first copy into a folder that is not there fails and ends the run).
    static void 新フォルダー作成(std::u16string_view newfolder);

  private:
    const FormState& form_;
    const TargetList& targets_;
};

}  // namespace quorvane
