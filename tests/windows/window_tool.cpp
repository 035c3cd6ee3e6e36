// Works the installed or built window from outside, as a user would, for the installer test and
// the screenshots: waits for the window by its title, then closes it, shows its next page, or
// prints its frame as WxH+X+Y.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string_view>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3)
        return 2;
    HWND window = nullptr;
    for (int i = 0; i < 600 && !window; ++i) {
        window = FindWindowW(L"QuorvaneForm1", argv[1]);
        if (!window)
            Sleep(100);
    }
    if (!window) {
        std::fprintf(stderr, "no window titled %ls\n", argv[1]);
        return 1;
    }
    const std::wstring_view command = argv[2];
    if (command == L"close") {
        PostMessageW(window, WM_CLOSE, 0, 0);
    } else if (command == L"next-page") {
        // The tab control turns the key into a page change, as a click on the next tab would.
        HWND tabs = FindWindowExW(window, nullptr, WC_TABCONTROLW, nullptr);
        SendMessageW(tabs, WM_KEYDOWN, VK_RIGHT, 0);
        SendMessageW(tabs, WM_KEYUP, VK_RIGHT, 0);
    } else if (command == L"rect") {
        RECT r;
        GetWindowRect(window, &r);
        std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    } else {
        return 2;
    }
    return 0;
}
