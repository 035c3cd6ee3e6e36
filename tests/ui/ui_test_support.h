#pragma once

#include <QRadioButton>
#include <QTabWidget>
#include <memory>
#include <vector>

#include "automation/fake/fake_word_processor.h"
#include "qt/drive_list.h"
#include "qt/folder_list.h"
#include "qt/main_window.h"
#include "qt/volume_source.h"
#include "unit/test_support.h"

namespace quorvane::test {

class FixedVolumes final : public qt::VolumeSource {
  public:
    std::vector<qt::Volume> list;
    std::vector<qt::Volume> volumes() const override { return list; }
};

// A shown window over a temporary folder, with the fake word processor and scripted boxes.
struct WindowFixture {
    TempDir dir;
    automation::fake::FakeWordProcessor word;
    ScriptedMessageBox messages;
    FixedVolumes volumes;
    std::unique_ptr<qt::MainWindow> form;

    void open() { open(word); }
    void open(automation::ObjectFactory& factory) {
        form = std::make_unique<qt::MainWindow>(factory, messages, volumes);
        form->show();
    }

    template <typename T = QWidget>
    T* control(const char* name) const {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
    QTabWidget* multiPage1() const { return control<QTabWidget>("MultiPage1"); }
    QRadioButton* option(int n) const {
        return control<QRadioButton>(n == 1 ? "Option1" : "Option2");
    }
    qt::FolderList* dir1() const { return control<qt::FolderList>("Dir1"); }
    qt::DriveList* drive1() const { return control<qt::DriveList>("Drive1"); }
};

}  // namespace quorvane::test
