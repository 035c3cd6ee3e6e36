#pragma once

#include <QComboBox>
#include <filesystem>
#include <vector>

#include "qt/volume_source.h"

namespace quorvane::qt {

// The drop-down of the machine's drives, that is its mounted volumes. The list is read again
// each time it opens, so that media inserted meanwhile appear.
class DriveList final : public QComboBox {
    Q_OBJECT

  public:
    explicit DriveList(const VolumeSource& volumes, QWidget* parent = nullptr);

    // The root of the chosen drive.
    std::filesystem::path drive() const;
    // Chooses the drive that holds folder, without telling anyone.
    void selectDriveOf(const std::filesystem::path& folder);
    // The drive chosen before the user's latest choice, until that choice is kept.
    const std::filesystem::path& keptDrive() const noexcept { return kept_; }
    // Keeps the choice the user just made, or goes back to the drive chosen before it.
    void keepChoice();
    void revertChoice();

    void showPopup() override;

  signals:
    // The user chose another drive.
    void driveChosen();

  private:
    void reload();
    void select(const std::filesystem::path& root);

    const VolumeSource& source_;
    std::vector<Volume> volumes_;
    std::filesystem::path kept_;
};

}  // namespace quorvane::qt
