#pragma once

#include <string>
#include <string_view>

#include "os/error.h"
#include "run/run_request.h"

namespace quorvane::run {

// Decides which file a run edits: when copies are asked for, a copy in the destination folder (in
// a sub-folder named after a dropped folder, keeping the layout of its sub-folders), otherwise the
// file itself.
class CopyStaging final {
  public:
    CopyStaging(const RunRequest& request, std::u16string droppedPath, bool droppedFolder);

    // Creates the sub-folder of the destination named after the dropped folder, when copies are
    // made. An existing folder, or any other failure, is not an error here: the first copy into
    // a folder that is not there fails and ends the run.
    void createDestinationFolder() const;

    // The path to edit: the copy's path, or the source itself when copies are not made; refused,
    // with the reason, when the copy failed.
    struct Staged {
        os::Status status = os::Status::done();
        std::u16string path;
    };
    Staged stage(const std::u16string& source) const;
    // The path stage would give, without copying anything.
    std::u16string destinationOf(const std::u16string& source) const;

    // Where a document of the dropped path lies below a folder that keeps the dropped path's
    // layout: the file's name for a dropped file; for a dropped folder, the folder's name, then
    // the path inside it.
    std::u16string relativePath(const std::u16string& source) const;

    // The text after the last separator; empty when the path has none.
    static std::u16string lastComponent(std::u16string_view path);

  private:
    const RunRequest& request_;
    std::u16string droppedPath_;
    bool droppedFolder_;
};

}  // namespace quorvane::run
