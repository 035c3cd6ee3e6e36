#pragma once

#include <QRadioButton>
#include <QTabWidget>
#include <memory>
#include <vector>

#include "automation/fake/fake_word_processor.h"
#include "ui/drive_list.h"
#include "ui/folder_list.h"
#include "ui/form1.h"
#include "ui/volume_source.h"
#include "unit/test_support.h"

namespace quorvane::test {

class FixedVolumes final : public ui::VolumeSource {
  public:
    std::vector<ui::Volume> list;
    std::vector<ui::Volume> volumes() const override { return list; }
};

// A shown window over a temporary folder, with the fake word processor and scripted boxes.
struct WindowFixture {
    TempDir dir;
    automation::fake::FakeWordProcessor word;
    ScriptedMessageBox messages;
    FixedVolumes volumes;
    std::unique_ptr<ui::Form1> form;

    void open() { open(word); }
    void open(automation::ObjectFactory& factory) {
        form = std::make_unique<ui::Form1>(factory, messages, volumes);
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
    ui::FolderList* dir1() const { return control<ui::FolderList>("Dir1"); }
    ui::DriveList* drive1() const { return control<ui::DriveList>("Drive1"); }
};

}  // namespace quorvane::test
