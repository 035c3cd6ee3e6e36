#include "qt/busy_run.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "form/window_rules.h"
#include "os/error.h"

namespace quorvane::qt {
namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::InputMethod:
            return true;
        default:
            return false;
    }
}

}  // namespace

BusyRun::BusyRun(QWidget& window) : window_(window), dialog_(std::make_unique<QDialog>(&window)) {
    dialog_->setWindowTitle(window.windowTitle());
    dialog_->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    dialog_->setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(dialog_.get());
    line_ = new QLabel(dialog_.get());
    line_->setMinimumWidth(260);
    bar_ = new QProgressBar(dialog_.get());
    layout->addWidget(line_);
    layout->addWidget(bar_);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(this);
}

BusyRun::~BusyRun() {
    // Input that arrived during the run is still queued: deliver it now, while the filter still
    // swallows it, so that no click made during the run lands afterwards.
    QCoreApplication::processEvents();
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
}

void BusyRun::documentStarted(std::int32_t index, std::int32_t count, const std::u16string& path) {
    if (closeRequested_)
        throw os::Error(std::u16string(form::kClosedMidRun));
    const QString name = QFileInfo(QString::fromStdU16String(path)).fileName();
    const QString shown = line_->fontMetrics().elidedText(name, Qt::ElideMiddle, 180);
    line_->setText(
        QString::fromStdU16String(form::progressLine(index, count, shown.toStdU16String())));
    bar_->setRange(0, count);
    bar_->setValue(index);
    dialog_->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool BusyRun::eventFilter(QObject* watched, QEvent* event) {
    // Closing the window mid-run would leave the rest of the drop running without a window: the
    // close waits for the document at hand.
    if (watched == &window_ && event->type() == QEvent::Close) {
        closeRequested_ = true;
        line_->setText(QString::fromStdU16String(std::u16string(form::kClosingLine)));
        event->ignore();
        return true;
    }
    if (!watched->isWidgetType() || !isUserInput(event->type()))
        return false;
    const QWidget* top = static_cast<QWidget*>(watched)->window();
    if (top != &window_ && top != dialog_.get())
        return false;
    event->ignore();
    return true;
}

}  // namespace quorvane::qt
