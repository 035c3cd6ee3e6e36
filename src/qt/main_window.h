#pragma once

#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "automation/variant.h"
#include "form/layout.h"
#include "form/window_rules.h"
#include "os/message_box.h"
#include "qt/volume_source.h"
#include "run/run_driver.h"
#include "run/run_request.h"

class QCheckBox;
class QDragMoveEvent;
class QDropEvent;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTabWidget;

namespace quorvane::qt {

class BusyRun;
class DriveList;
class FolderList;

// The program's one window. The pair texts live on the first page of MultiPage1; the controls of
// the other two pages belong to the window itself and lie over the page area, shown and hidden by
// the page rules. Files and folders dropped on Image1 start one run each, once the drop event has
// returned, so that the program they were dragged from is not held up. Each run gets a request
// built from the controls when it starts; the window blocks input while runs work, so the
// request shows the user what a reading at every use would.
class MainWindow final : public QWidget {
    Q_OBJECT

  public:
    MainWindow(automation::ObjectFactory& factory, os::MessageBox& messages,
               const VolumeSource& volumes, QWidget* parent = nullptr);
    ~MainWindow() override;

    // What a run started now would do, as the controls say.
    run::RunRequest runRequest() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    void createDropArea();
    // The pages, and on the first one the pair boxes, which it returns in tab order.
    std::vector<QWidget*> createPages();
    void createPageControls();
    QCheckBox* createCheck(const form::ControlLayout& layout);
    void openStartFolder();
    void applyStartUpState();
    void applyPageRule();
    void applyCopyOptionRule();
    void openChosenDrive();
    void answerDrag(QDragMoveEvent& event);
    void acceptDrop(QDropEvent& event);

    bool copying() const;
    void runEach(const std::vector<std::u16string>& paths);
    void tell(const QString& text, int flags);

    os::MessageBox& messages_;
    const VolumeSource& volumes_;
    run::RunDriver driver_;
    // From an accepted drop until its last run has ended.
    std::unique_ptr<BusyRun> busy_;

    QLabel* dropArea_ = nullptr;
    QTabWidget* pages_ = nullptr;
    FolderList* folders_ = nullptr;
    DriveList* drives_ = nullptr;
    QRadioButton* copyOption_ = nullptr;
    QRadioButton* originalsOption_ = nullptr;
    QCheckBox* bodyCheck_ = nullptr;
    QCheckBox* textBoxesCheck_ = nullptr;
    QCheckBox* headersFootersCheck_ = nullptr;
    QCheckBox* matchCaseCheck_ = nullptr;
    QCheckBox* widthsCheck_ = nullptr;
    form::FolderPerDrive folderPerDrive_;
};

}  // namespace quorvane::qt
