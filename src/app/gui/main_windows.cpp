#include "win/windows_api.h"

#include <commctrl.h>
#include <ole2.h>

#include <exception>

#include "automation/com/com_factory.h"
#include "automation/com/word_factory.h"
#include "os/log.h"
#include "os/text_encoding.h"
#include "win/main_window.h"
#include "win/win32_message_box.h"

namespace {

// OLE on the thread, which drag and drop needs over plain COM, for as long as this lives.
class OleSession final {
  public:
    OleSession() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleSession() {
        if (ok_)
            OleUninitialize();
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;

  private:
    bool ok_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    using namespace quorvane;
    const INITCOMMONCONTROLSEX controls{
        sizeof(INITCOMMONCONTROLSEX), ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    os::log::start(os::log::defaultFile(), false);
    const win::MainWindow* shown = nullptr;
    win::Win32MessageBox messages([&shown] { return shown ? shown->messageOwner() : nullptr; });
    try {
        const OleSession ole;
        const automation::com::ComApartment apartment;
        automation::com::ComObjectFactory com;
        automation::com::WordFactory word(com);
        win::MainWindow form(word, messages);
        shown = &form;
        ShowWindow(form.handle(), show);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (form.preTranslate(message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        shown = nullptr;
        return 0;
    } catch (const std::exception& e) {
        // Unwinding here is what quits the word processor; a terminate would leave it running.
        shown = nullptr;
        os::log::problem(e.what());
        messages.show(u"予期しないエラーで中断しました：" + os::fromUtf8(e.what()), u"Quorvane",
                      os::MessageBox::kCritical);
        return 1;
    }
}
