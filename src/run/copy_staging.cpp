#include "run/copy_staging.h"

#include <system_error>

#include "os/file_system.h"
#include "os/log.h"

namespace quorvane::run {

using os::kPathSeparator;

CopyStaging::CopyStaging(const RunRequest& request, std::u16string droppedPath, bool droppedFolder)
    : request_(request), droppedPath_(std::move(droppedPath)), droppedFolder_(droppedFolder) {}

void CopyStaging::createDestinationFolder() const {
    if (request_.mode != RunRequest::Mode::CopyFirst)
        return;
    const std::u16string folder =
        request_.destinationFolder + kPathSeparator + lastComponent(droppedPath_);
    if (const std::error_code cause = os::createFolder(folder);
        cause && cause != std::errc::file_exists) {
        os::log::detail(u"コピー先のフォルダーを作れませんでした：" + folder + u"：" +
                        os::describe(cause));
    }
}

std::u16string CopyStaging::relativePath(const std::u16string& source) const {
    // A folder's documents are listed as the folder's path, a separator and the path inside it.
    if (droppedFolder_ && source.starts_with(droppedPath_))
        return lastComponent(droppedPath_) + source.substr(droppedPath_.size());
    return lastComponent(source);
}

std::u16string CopyStaging::destinationOf(const std::u16string& source) const {
    if (request_.mode != RunRequest::Mode::CopyFirst)
        return source;
    return request_.destinationFolder + kPathSeparator + relativePath(source);
}

CopyStaging::Staged CopyStaging::stage(const std::u16string& source) const {
    if (request_.mode != RunRequest::Mode::CopyFirst)
        return {os::Status::done(), source};
    std::u16string destination = destinationOf(source);
    // The sub-folders between the dropped folder's and the document's, made as they are reached.
    const std::size_t top =
        request_.destinationFolder.size() + 1 + lastComponent(droppedPath_).size();
    for (std::size_t at = destination.find(kPathSeparator, top + 1);
         droppedFolder_ && at != std::u16string::npos;
         at = destination.find(kPathSeparator, at + 1)) {
        (void)os::createFolder(std::u16string_view(destination).substr(0, at));
    }
    os::Status copied = os::copyFile(source, destination);
    return {std::move(copied), std::move(destination)};
}

std::u16string CopyStaging::lastComponent(std::u16string_view path) {
    const auto last = path.rfind(kPathSeparator);
    return last == std::u16string_view::npos ? std::u16string()
                                             : std::u16string(path.substr(last + 1));
}

}  // namespace quorvane::run
