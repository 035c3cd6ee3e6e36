#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/variant.h"
#include "form/layout.h"
#include "form/window_rules.h"
#include "os/message_box.h"
#include "run/run_driver.h"
#include "run/run_request.h"
#include "win/windows_api.h"

namespace quorvane::win {

class BusyRun;
class DropRegistration;
class DriveList;
class FolderList;

// The program's one window, in Win32 and the common controls. The pair texts lie on the first
// page of MultiPage1; the controls of the other two pages belong to the window and lie over the
// page area, shown and hidden by the page rules. Files and folders dropped on Image1 start one
// run each once the drop has returned, so that the program they were dragged from is not held up.
class MainWindow final {
  public:
    // dpi 0 lays the window out for the monitor it is on, and again when it moves to another.
    MainWindow(automation::ObjectFactory& factory, os::MessageBox& messages, int dpi = 0);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND handle() const { return window_; }
    // A control by its name (Image1, MultiPage1, TextBox1, Check5, ...), null for another name.
    HWND control(std::u16string_view name) const;
    IDropTarget& dropTarget() const;
    // Where message boxes belong now: the progress window while runs work, else the window.
    HWND messageOwner() const;
    // What a run started now would do, as the controls say.
    run::RunRequest runRequest() const;
    // Handles the keys the window answers itself (Tab and Shift+Tab in the window's order);
    // true when msg needs no further dispatch.
    bool preTranslate(const MSG& msg);

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT handle(UINT message, WPARAM w, LPARAM l);
    // A click or choice in one of the controls.
    void onCommand(HWND from, WORD code);
    // Sets the colours of a label or button on the page area; returns its background brush.
    HBRUSH colorPageArea(HDC dc) const;
    // The window moved to a screen of another resolution, which suggests where it goes.
    void moveToDpi(int dpi, const RECT& suggested);
    void createControls();
    void createFirstPageControls();
    void openStartFolder();
    void layOut();
    void sizeFrame();
    void placeWindowControls();
    void placeFirstPageControls();
    void applyStartUpState();
    void applyPageRule();
    void applyCopyOptionRule();
    void openChosenDrive();
    void openFolder(int index);
    void accept(std::vector<std::u16string> paths);
    void runEach(const std::vector<std::u16string>& paths);
    void tell(const std::u16string& text, int flags);
    bool checked(std::size_t control) const;
    bool copying() const;
    int page() const;

    os::MessageBox& messages_;
    run::RunDriver driver_;
    const int fixedDpi_;
    int dpi_ = 96;
    HWND window_ = nullptr;
    std::array<HWND, form::kWindowControls.size()> controls_{};
    std::array<HWND, form::kPage1Controls.size()> page1_{};
    std::array<os::GdiObject<HFONT>, 4> fonts_;
    os::GdiObject<HBITMAP> picture_;
    std::unique_ptr<FolderList> folders_;
    std::unique_ptr<DriveList> drives_;
    std::unique_ptr<DropRegistration> drop_;
    // The paths of the drop taken, until the runs start right after it.
    std::vector<std::u16string> pending_;
    std::unique_ptr<BusyRun> busy_;
    form::FolderPerDrive folderPerDrive_;
};

}  // namespace quorvane::win
