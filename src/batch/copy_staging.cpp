#include "batch/copy_staging.h"

#include "platform/file_system.h"

namespace quorvane {

using platform::kPathSeparator;

namespace {

// The text after the n-th separator counted from the end; empty when there are fewer.
std::u16string afterSeparatorFromEnd(std::u16string_view path, int n) {
    int seen = 0;
    for (std::size_t i = path.size(); i > 0; --i) {
        if (path[i - 1] == kPathSeparator && ++seen == n)
            return std::u16string(path.substr(i));
    }
    return {};
}

}  // namespace

CopyStaging::CopyStaging(const FormState& form, const TargetList& targets)
    : form_(form), targets_(targets) {}

std::u16string CopyStaging::fileconv(const std::u16string& ファイル名) const {
    if (form_.option1Value() != FormState::kSelected)
        return ファイル名;
    const std::u16string tail = targets_.folderFlag == TargetList::kFolder
                                    ? OP_folderfile(ファイル名)
                                    : OP_file(ファイル名);
    const std::u16string destination = form_.dir1Path() + kPathSeparator + tail;
    return platform::copyFile(ファイル名, destination) ? destination : std::u16string();
}

std::u16string CopyStaging::OP_file(std::u16string_view ファイル名) {
    return afterSeparatorFromEnd(ファイル名, 1);
}

std::u16string CopyStaging::OP_folderfile(std::u16string_view ファイル名) {
    return afterSeparatorFromEnd(ファイル名, 2);
}

std::u16string CopyStaging::OP_folder(std::u16string_view フォルダー名) {
    return afterSeparatorFromEnd(フォルダー名, 1);
}

void CopyStaging::新フォルダー作成(std::u16string_view newfolder) {
    (void)platform::createFolder(newfolder);
}

}  // namespace quorvane
