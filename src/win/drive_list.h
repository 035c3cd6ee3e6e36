#pragma once

#include "win/windows_api.h"

#include <filesystem>
#include <string>
#include <vector>

namespace quorvane::win {

// Drive1, the drop-down of the machine's drive letters with their volume labels. The drive kept
// is the one the folder list shows; a choice that cannot be opened goes back to it.
class DriveList final {
  public:
    explicit DriveList(HWND combo) : combo_(combo) { reload(); }

    HWND handle() const { return combo_; }
    // Lists the drives again, as they are now (a medium inserted, a share connected).
    void reload();
    std::filesystem::path drive() const;
    std::u16string caption() const;
    const std::filesystem::path& keptDrive() const { return kept_; }
    void selectDriveOf(const std::filesystem::path& folder);
    void keepChoice() { kept_ = drive(); }
    void revertChoice() { select(kept_); }

  private:
    void select(const std::filesystem::path& root);

    HWND combo_;
    std::vector<std::filesystem::path> roots_;
    std::filesystem::path kept_;
};

}  // namespace quorvane::win
