#pragma once

#include "win/windows_api.h"

#include <filesystem>
#include <vector>

namespace quorvane::win {

// Dir1, the classic folder list over a list box: the folders from the drive's root down to the
// current folder, opened, then the current folder's sub-folders, each indented by its depth.
class FolderList final {
  public:
    explicit FolderList(HWND list);
    FolderList(const FolderList&) = delete;
    FolderList& operator=(const FolderList&) = delete;

    HWND handle() const { return list_; }
    const std::filesystem::path& path() const { return path_; }
    // Makes folder the current one; false, with the list unchanged, when it cannot be listed.
    bool setPath(const std::filesystem::path& folder);
    // The folder of an entry, as a double-click opens it.
    std::filesystem::path entry(int index) const;

    void draw(const DRAWITEMSTRUCT& item) const;

  private:
    struct Row {
        std::filesystem::path folder;
        int depth;
        bool open;
    };

    HWND list_;
    std::filesystem::path path_;
    std::vector<Row> rows_;
    os::IconHandle openIcon_;
    os::IconHandle closedIcon_;
};

}  // namespace quorvane::win
