#include "qt/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace quorvane::qt {
namespace {

QMessageBox::Icon iconOf(int flags) {
    switch (flags & 0x70) {
        case os::MessageBox::kCritical:
            return QMessageBox::Critical;
        case os::MessageBox::kQuestion:
            return QMessageBox::Question;
        case os::MessageBox::kExclamation:
            return QMessageBox::Warning;
        case os::MessageBox::kInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// A box asked during a run must not show the busy cursor: the run is waiting for the user.
class ArrowCursor final {
  public:
    ArrowCursor() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~ArrowCursor() { QApplication::restoreOverrideCursor(); }
    ArrowCursor(const ArrowCursor&) = delete;
    ArrowCursor& operator=(const ArrowCursor&) = delete;
};

}  // namespace

int QtMessageBox::show(std::u16string_view text, std::u16string_view title, int flags) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdU16String(std::u16string(title)));
    box.setText(QString::fromStdU16String(std::u16string(text)));
    box.setIcon(iconOf(flags));

    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    if ((flags & 0x0f) == kYesNo) {
        yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
    } else {
        QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
    }

    const ArrowCursor cursor;
    box.exec();
    if (yes)
        return box.clickedButton() == yes ? kYes : kNo;
    return kOk;
}

}  // namespace quorvane::qt
