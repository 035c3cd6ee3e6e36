#pragma once

#include "win/windows_api.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <ole2.h>

#include <memory>
#include <string_view>

#include "automation/fake/fake_word_processor.h"
#include "test_support.h"
#include "win/main_window.h"

namespace quorvane::test {

// A MainWindow shown on a thread with OLE, driven through the messages the system would send.
class WindowFixture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    static void TearDownTestSuite() { OleUninitialize(); }

    void open(automation::ObjectFactory& factory, int dpi = 96) {
        form = std::make_unique<win::MainWindow>(factory, messages, dpi);
        ShowWindow(form->handle(), SW_SHOWNOACTIVATE);
    }
    HWND at(std::u16string_view name) const { return form->control(name); }
    bool shown(std::u16string_view name) const { return IsWindowVisible(at(name)); }
    bool checked(std::u16string_view name) const {
        return SendMessageW(at(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void click(std::u16string_view name) const { SendMessageW(at(name), BM_CLICK, 0, 0); }
    // As a click on a tab: the selection changes, then the window is told.
    void selectPage(int page) const {
        HWND tabs = at(u"MultiPage1");
        SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
        NMHDR change{tabs, static_cast<UINT_PTR>(GetDlgCtrlID(tabs)), TCN_SELCHANGE};
        SendMessageW(form->handle(), WM_NOTIFY, change.idFrom, reinterpret_cast<LPARAM>(&change));
    }
    void type(std::u16string_view name, std::u16string_view text) const {
        SetWindowTextW(at(name), std::wstring(text.begin(), text.end()).c_str());
    }
    // Delivers what is posted to the window, as its message loop would.
    static void pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }

    ScriptedMessageBox messages;
    std::unique_ptr<win::MainWindow> form;
};

}  // namespace quorvane::test
