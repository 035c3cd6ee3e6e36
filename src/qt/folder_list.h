#pragma once

#include <QListWidget>
#include <filesystem>

namespace quorvane::qt {

// The classic folder list: the folders from the volume's root down to the open folder, each one
// step further in, then the open folder's sub-folders. Opening an entry (double-click or Enter)
// makes it the open folder, and the open folder is the list's path.
class FolderList final : public QListWidget {
    Q_OBJECT

  public:
    explicit FolderList(QWidget* parent = nullptr);

    // Opens a folder. False, with the list unchanged, when it cannot be read.
    bool setPath(const std::filesystem::path& folder);
    const std::filesystem::path& path() const noexcept { return path_; }

  signals:
    // An entry the user opened could not be read; the list stays on its folder.
    void openRefused(const QString& folder);

  private:
    void open(QListWidgetItem* item);

    std::filesystem::path path_;
};

}  // namespace quorvane::qt
