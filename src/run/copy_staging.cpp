#include "run/copy_staging.h"

#include "os/file_system.h"

namespace quorvane::run {

using os::kPathSeparator;

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

CopyStaging::CopyStaging(const RunRequest& request, bool droppedFolder)
    : request_(request), droppedFolder_(droppedFolder) {}

void CopyStaging::createDestinationFolder(std::u16string_view droppedFolder) const {
    if (request_.mode != RunRequest::Mode::CopyFirst)
        return;
    (void)os::createFolder(request_.destinationFolder + kPathSeparator +
                           lastComponent(droppedFolder));
}

std::optional<std::u16string> CopyStaging::stage(const std::u16string& source,
                                                 std::u16string* failure) const {
    if (request_.mode != RunRequest::Mode::CopyFirst)
        return source;
    const std::u16string tail = droppedFolder_ ? lastTwoComponents(source) : lastComponent(source);
    std::u16string destination = request_.destinationFolder + kPathSeparator + tail;
    if (!os::copyFile(source, destination, failure))
        return std::nullopt;
    return destination;
}

std::u16string CopyStaging::lastComponent(std::u16string_view path) {
    return afterSeparatorFromEnd(path, 1);
}

std::u16string CopyStaging::lastTwoComponents(std::u16string_view path) {
    return afterSeparatorFromEnd(path, 2);
}

}  // namespace quorvane::run
