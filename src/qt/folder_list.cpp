#include "qt/folder_list.h"

#include <QCollator>
#include <QStorageInfo>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <system_error>
#include <vector>

#include "os/file_system.h"

namespace quorvane::qt {
namespace {

namespace fs = std::filesystem;

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kIndentPixels = 8;

// Indents each entry, icon and all, by its depth below the volume's root.
class IndentingDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(option.rect.left() + kIndentPixels * index.data(kDepthRole).toInt());
        QStyledItemDelegate::paint(painter, indented, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) +
               QSize(kIndentPixels * index.data(kDepthRole).toInt(), 0);
    }
};

// Program strings keep names that are not UTF-8 as lone surrogates, so a path survives its trip
// through the list's items unchanged.
QString toQString(const fs::path& path) {
    return QString::fromStdU16String(os::fromNativePath(path));
}

fs::path toPath(const QString& text) {
    return os::toNativePath(text.toStdU16String());
}

// The visible sub-folders, or nothing and an error when the folder cannot be listed.
std::vector<fs::path> subFolders(const fs::path& folder, std::error_code& error) {
    std::vector<fs::path> result;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code ignored;  // an entry that vanished or cannot be examined is not listed
        if (it->is_directory(ignored) && !it->path().filename().native().starts_with('.')) {
            result.push_back(it->path());
        }
    }
    return result;
}

}  // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new IndentingDelegate(this));
    connect(this, &QListWidget::itemActivated, this, &FolderList::open);
}

bool FolderList::setPath(const fs::path& folder) {
    std::error_code error;
    const fs::path canonical = fs::canonical(folder, error);
    if (error || !fs::is_directory(canonical, error))
        return false;
    std::vector<fs::path> children = subFolders(canonical, error);
    if (error)
        return false;

    QCollator collator;
    collator.setNumericMode(true);
    std::sort(children.begin(), children.end(), [&](const fs::path& a, const fs::path& b) {
        return collator.compare(toQString(a.filename()), toQString(b.filename())) < 0;
    });

    // The chain starts at the root of the volume that holds the folder.
    const fs::path root = toPath(QStorageInfo(toQString(canonical)).rootPath());
    std::vector<fs::path> chain{root};
    for (const fs::path& part : canonical.lexically_relative(root)) {
        if (part != ".")
            chain.push_back(chain.back() / part);
    }

    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    auto add = [this](const QIcon& icon, int depth, const QString& name, const fs::path& path) {
        auto* item = new QListWidgetItem(icon, name, this);
        item->setData(kPathRole, toQString(path));
        item->setData(kDepthRole, depth);
        return item;
    };
    QListWidgetItem* current = nullptr;
    for (std::size_t depth = 0; depth < chain.size(); ++depth) {
        const fs::path& step = chain[depth];
        current = add(openIcon, static_cast<int>(depth),
                      depth == 0 ? toQString(step) : toQString(step.filename()), step);
    }
    for (const fs::path& child : children) {
        add(closedIcon, static_cast<int>(chain.size()), toQString(child.filename()), child);
    }
    setCurrentItem(current);
    path_ = canonical;
    return true;
}

void FolderList::open(QListWidgetItem* item) {
    const QString folder = item->data(kPathRole).toString();
    if (!setPath(toPath(folder)))
        emit openRefused(folder);
}

}  // namespace quorvane::qt
