#include "qt/drive_list.h"

#include <QSignalBlocker>
#include <algorithm>

#include "os/file_system.h"

namespace quorvane::qt {
namespace {

namespace fs = std::filesystem;

QString caption(const Volume& volume) {
    const QString root = QString::fromStdU16String(os::fromNativePath(volume.root));
    return volume.name.isEmpty() ? root : root + QStringLiteral(" [") + volume.name + u']';
}

// Whether folder lies on the volume mounted at root.
bool holds(const fs::path& root, const fs::path& folder) {
    const auto relative = folder.lexically_relative(root);
    return !relative.empty() && *relative.begin() != "..";
}

}  // namespace

DriveList::DriveList(const VolumeSource& volumes, QWidget* parent)
    : QComboBox(parent), source_(volumes) {
    reload();
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && volumes_[static_cast<std::size_t>(index)].root != kept_) {
            emit driveChosen();
        }
    });
}

fs::path DriveList::drive() const {
    const int index = currentIndex();
    return index < 0 ? fs::path() : volumes_[static_cast<std::size_t>(index)].root;
}

void DriveList::selectDriveOf(const fs::path& folder) {
    // The innermost mount wins: a folder on a USB stick lies under "/" as well.
    const Volume* best = nullptr;
    for (const Volume& volume : volumes_) {
        if (holds(volume.root, folder) &&
            (!best || volume.root.native().size() > best->root.native().size())) {
            best = &volume;
        }
    }
    if (best) {
        kept_ = best->root;
        select(kept_);
    }
}

void DriveList::keepChoice() {
    kept_ = drive();
}

void DriveList::revertChoice() {
    select(kept_);
}

void DriveList::showPopup() {
    reload();
    QComboBox::showPopup();
}

void DriveList::reload() {
    volumes_ = source_.volumes();
    const QSignalBlocker blocker(this);
    clear();
    for (const Volume& volume : volumes_)
        addItem(caption(volume));
    select(kept_);
}

void DriveList::select(const fs::path& root) {
    const auto it = std::find_if(volumes_.begin(), volumes_.end(),
                                 [&](const Volume& volume) { return volume.root == root; });
    const QSignalBlocker blocker(this);
    setCurrentIndex(it == volumes_.end() ? -1 : static_cast<int>(it - volumes_.begin()));
}

}  // namespace quorvane::qt
