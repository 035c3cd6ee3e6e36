#include "win/busy_run.h"

#include <commctrl.h>

#include <filesystem>
#include <string>

#include "form/window_rules.h"
#include "os/error.h"

namespace quorvane::win {
namespace {

constexpr wchar_t kClass[] = L"QuorvaneBusy";

void registerClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_WAIT);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClass;
    RegisterClassExW(&windowClass);  // fails harmlessly when already registered
}

// Lets the windows paint and answer what other threads and processes send, but takes no input.
void keepPainting() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        DispatchMessageW(&message);
    }
}

}  // namespace

BusyRun::BusyRun(HWND window) : window_(window) {
    registerClass();
    const UINT dpi = GetDpiForWindow(window);
    auto px = [dpi](int pixels) { return MulDiv(pixels, static_cast<int>(dpi), 96); };
    RECT frame{};
    GetWindowRect(window, &frame);
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    progress_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kClass, title, WS_POPUP | WS_CAPTION,
                                frame.left + px(20), frame.top + px(120), px(300), px(100), window,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    line_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ENDELLIPSIS, px(12),
                            px(10), px(270), px(20), progress_, nullptr, nullptr, nullptr);
    bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, px(12), px(36), px(270),
                           px(18), progress_, nullptr, nullptr, nullptr);
    SendMessageW(line_, WM_SETFONT, SendMessageW(window, WM_GETFONT, 0, 0), FALSE);
    EnableWindow(window_, FALSE);
    ShowWindow(progress_, SW_SHOWNA);
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

BusyRun::~BusyRun() {
    // Input that reached the queue during the run is dropped: no click made then lands now.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT)) {
    }
    EnableWindow(window_, TRUE);
    DestroyWindow(progress_);
    SetForegroundWindow(window_);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void BusyRun::requestClose() {
    closeRequested_ = true;
    SetWindowTextW(line_,
                   std::wstring(form::kClosingLine.begin(), form::kClosingLine.end()).c_str());
    UpdateWindow(progress_);
}

void BusyRun::documentStarted(std::int32_t index, std::int32_t count, const std::u16string& path) {
    if (closeRequested_)
        throw os::Error(std::u16string(form::kClosedMidRun));
    const std::u16string name =
        std::filesystem::path(std::wstring(path.begin(), path.end())).filename().u16string();
    const std::u16string line = form::progressLine(index, count, name);
    SetWindowTextW(line_, std::wstring(line.begin(), line.end()).c_str());
    SendMessageW(bar_, PBM_SETRANGE32, 0, count);
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(index), 0);
    UpdateWindow(progress_);
    UpdateWindow(window_);
    keepPainting();
}

}  // namespace quorvane::win
