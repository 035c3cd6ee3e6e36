#pragma once

#include <QObject>
#include <memory>

#include "run/run_driver.h"

class QDialog;
class QLabel;
class QProgressBar;
class QWidget;

namespace quorvane::qt {

// The window while the runs of one drop work: busy cursor, a window-modal progress line that
// names the document at hand, painting kept alive, and no user input reaching the window, so
// that a long run neither looks like a crash nor has its settings changed under it.
class BusyRun final : public QObject, public run::RunProgress {
  public:
    explicit BusyRun(QWidget& window);
    ~BusyRun() override;
    BusyRun(const BusyRun&) = delete;
    BusyRun& operator=(const BusyRun&) = delete;

    // Throws os::Error once the window was asked to close: the run then ends before this
    // document, with the documents before it done.
    void documentStarted(std::int32_t index, std::int32_t count,
                         const std::u16string& path) override;
    bool closeRequested() const { return closeRequested_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& window_;
    std::unique_ptr<QDialog> dialog_;
    QLabel* line_;
    QProgressBar* bar_;
    bool closeRequested_ = false;
};

}  // namespace quorvane::qt
