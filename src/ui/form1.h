#pragma once

#include <QWidget>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "automation/variant.h"
#include "os/message_box.h"
#include "run/run_driver.h"
#include "run/run_request.h"
#include "ui/volume_source.h"

class QCheckBox;
class QDragMoveEvent;
class QDropEvent;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTabWidget;

namespace quorvane::ui {

class BusyRun;
class DriveList;
class FolderList;

// The program's one window. The pair texts live on the first page of MultiPage1; the controls of
// the other two pages belong to the window itself and lie over the page area, shown and hidden by
// the page rules. Files and folders dropped on Image1 start one run each, once the drop event has
// returned, so that the program they were dragged from is not held up. Each run gets a request
// built from the controls when it starts; the window blocks input while runs work, so the
// request shows the user what a reading at every use would.
class Form1 final : public QWidget {
    Q_OBJECT

  public:
    Form1(automation::ObjectFactory& factory, os::MessageBox& messages, const VolumeSource& volumes,
          QWidget* parent = nullptr);
    ~Form1() override;

    // What a run started now would do, as the controls say.
    run::RunRequest runRequest() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
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

    QLabel* image1_ = nullptr;
    QTabWidget* multiPage1_ = nullptr;
    FolderList* dir1_ = nullptr;
    DriveList* drive1_ = nullptr;
    QRadioButton* option1_ = nullptr;
    QRadioButton* option2_ = nullptr;
    std::vector<QCheckBox*> checks_;
    // The folder Dir1 last had open on each drive, so that going back to a drive returns there.
    std::map<std::filesystem::path, std::filesystem::path> folderOnDrive_;
};

}  // namespace quorvane::ui
