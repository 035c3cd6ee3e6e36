#pragma once

#include <QWidget>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "batch/run_driver.h"
#include "common/form_state.h"
#include "platform/automation/variant.h"
#include "platform/message_box.h"
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
// returned, so that the program they were dragged from is not held up. The window is also the
// form state that the runs read, control by control, at the moment of use.
class Form1 final : public QWidget, public FormState {
    Q_OBJECT

  public:
    Form1(platform::automation::ObjectFactory& factory, platform::MessageBox& messages,
          const VolumeSource& volumes, QWidget* parent = nullptr);
    ~Form1() override;

    std::int16_t option1Value() const override;
    std::int16_t option2Value() const override;
    std::u16string dir1Path() const override;
    std::int16_t checkValue(int number) const override;
    std::u16string pageControlText(std::u16string_view page,
                                   std::u16string_view control) const override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    void Form_Load();
    void MultiPage1_Change();
    void Option1_Click();
    void Option2_Click();
    void Drive1_Change();
    void Image1_OLEDragOver(QDragMoveEvent& event);
    void Image1_OLEDragDrop(QDropEvent& event);

    void showListsForOption1();
    void runEach(const std::vector<std::u16string>& paths);
    void reportRun();
    void tell(const QString& text, int flags);

    platform::MessageBox& messages_;
    const VolumeSource& volumes_;
    RunDriver driver_;
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
