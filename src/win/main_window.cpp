#include "win/main_window.h"

#include <commctrl.h>
#include <ole2.h>
#include <uxtheme.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "form/run_drop.h"
#include "form/window_rules.h"
#include "os/file_system.h"
#include "win/busy_run.h"
#include "win/drive_list.h"
#include "win/drop_target.h"
#include "win/folder_list.h"
#include "win/resource_ids.h"

namespace quorvane::win {
namespace {

namespace fs = std::filesystem;
using os::MessageBox;

constexpr wchar_t kClass[] = L"QuorvaneForm1";
constexpr wchar_t kPictureClass[] = L"QuorvanePicture";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// Posted by a drop, so that its runs start once the drop has returned to the drag source.
constexpr UINT kRunDrop = WM_APP + 1;
constexpr int kFirstId = 100;
constexpr int kFirstPage1Id = 200;

using enum form::WindowControl;

std::wstring wide(std::u16string_view text) {
    return {text.begin(), text.end()};
}

LRESULT CALLBACK paintPicture(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message != WM_PAINT)
        return DefWindowProcW(window, message, w, l);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT area;
    GetClientRect(window, &area);
    if (auto* picture = reinterpret_cast<HBITMAP>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
        BITMAP size{};
        GetObjectW(picture, sizeof size, &size);
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ previous = SelectObject(source, picture);
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, 0, 0, area.right, area.bottom, source, 0, 0, size.bmWidth, size.bmHeight,
                   SRCCOPY);
        SelectObject(source, previous);
        DeleteDC(source);
    }
    EndPaint(window, &paint);
    return 0;
}

void registerClasses(WNDPROC procedure) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW form{};
    form.cbSize = sizeof form;
    form.lpfnWndProc = procedure;
    form.hInstance = instance;
    form.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(QUORVANE_ICON));
    form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = kClass;
    RegisterClassExW(&form);  // fails harmlessly when a window before this one registered it
    WNDCLASSEXW picture = form;
    picture.lpfnWndProc = paintPicture;
    picture.hIcon = nullptr;
    picture.lpszClassName = kPictureClass;
    RegisterClassExW(&picture);
}

struct ControlKind {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

ControlKind kindOf(std::size_t control) {
    constexpr DWORD child = WS_CHILD | WS_VISIBLE;
    switch (control) {
        case DropArea:
            return {kPictureClass, child, 0};
        case Pages:
            return {WC_TABCONTROLW, child | WS_TABSTOP | WS_CLIPSIBLINGS | TCS_BOTTOM, 0};
        case Folders:
            return {WC_LISTBOXW,
                    child | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                        LBS_OWNERDRAWFIXED | LBS_HASSTRINGS,
                    WS_EX_CLIENTEDGE};
        case Drives:
            return {WC_COMBOBOXW, child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
        case CopyOption:
            return {WC_BUTTONW, child | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 0};
        case OriginalsOption:
            return {WC_BUTTONW, child | WS_TABSTOP | BS_AUTORADIOBUTTON, 0};
        default:  // the check boxes; the first one ends the option buttons' group
            return {WC_BUTTONW,
                    child | WS_TABSTOP | BS_AUTOCHECKBOX | (control == BodyCheck ? WS_GROUP : 0u),
                    0};
    }
}

HFONT fontFor(std::u16string_view face, int hundredthsOfPoint, int dpi) {
    return CreateFontW(-MulDiv(hundredthsOfPoint, dpi, 7200), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                       FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, wide(face).c_str());
}

// The window's own font: the system's message font at the window's resolution.
HFONT windowFont(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                    static_cast<UINT>(dpi))) {
        return fontFor(form::kPGothic, 900, dpi);
    }
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

// Captions are laid out to the pixel; a font a little wider than the one they were set for must
// not cut their last characters.
int textWidth(HWND control, HFONT font, std::u16string_view caption) {
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, font);
    const std::wstring text = wide(caption);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return static_cast<int>(size.cx);
}

}  // namespace

MainWindow::MainWindow(automation::ObjectFactory& factory, os::MessageBox& messages, int dpi)
    : messages_(messages), driver_(messages, factory), fixedDpi_(dpi) {
    registerClasses(&MainWindow::procedure);
    picture_.reset(static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                   MAKEINTRESOURCEW(QUORVANE_PICTURE), IMAGE_BITMAP,
                                                   0, 0, LR_CREATEDIBSECTION)));
    if (!CreateWindowExW(0, kClass, wide(run::RunDriver::kTitle).c_str(), kStyle, CW_USEDEFAULT,
                         CW_USEDEFAULT, 320, 360, nullptr, nullptr, GetModuleHandleW(nullptr),
                         this)) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "CreateWindowExW");
    }
    try {
        dpi_ = fixedDpi_ ? fixedDpi_ : static_cast<int>(GetDpiForWindow(window_));
        createControls();
        layOut();
        applyStartUpState();
        drop_ = std::make_unique<DropRegistration>(
            controls_[DropArea], [this] { return !busy_; },
            [this](std::vector<std::u16string> paths) { accept(std::move(paths)); });
    } catch (...) {
        // The window would otherwise outlive its object and call into it.
        DestroyWindow(window_);
        throw;
    }
}

MainWindow::~MainWindow() {
    drop_.reset();
    if (window_)
        DestroyWindow(window_);
}

void MainWindow::createControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const ControlKind kind = kindOf(i);
        controls_[i] = CreateWindowExW(
            kind.exStyle, kind.className, wide(form::kWindowControls[i].caption).c_str(),
            kind.style, 0, 0, 0, 0, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + i)), instance, nullptr);
    }
    SetWindowLongPtrW(controls_[DropArea], GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(picture_.get()));

    HWND tabs = controls_[Pages];
    // The themed tab control draws tabs along the bottom upside down: it keeps the classic look.
    SetWindowTheme(tabs, L"", L"");
    for (std::size_t i = 0; i < form::kPageCaptions.size(); ++i) {
        std::wstring caption = wide(form::kPageCaptions[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }

    createFirstPageControls();
    // Below every control that lies over it, or it would paint over them and take their clicks.
    SetWindowPos(tabs, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    folders_ = std::make_unique<FolderList>(controls_[Folders]);
    drives_ = std::make_unique<DriveList>(controls_[Drives]);
    openStartFolder();
}

void MainWindow::createFirstPageControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (std::size_t i = 0; i < page1_.size(); ++i) {
        const bool box = i < form::kTextBoxes;
        page1_[i] = CreateWindowExW(
            box ? WS_EX_CLIENTEDGE : 0, box ? WC_EDITW : WC_STATICW,
            wide(form::kPage1Controls[i].caption).c_str(),
            WS_CHILD | WS_VISIBLE | (box ? WS_TABSTOP | ES_AUTOHSCROLL : SS_NOPREFIX), 0, 0, 0, 0,
            window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstPage1Id + i)), instance,
            nullptr);
        // A pair may be a whole passage: the usual limit would cut it without a word.
        if (box)
            SendMessageW(page1_[i], EM_SETLIMITTEXT, 0, 0);
    }
}

// The folder list starts where the program was started; a folder that has vanished since falls
// back to the user's own folder.
void MainWindow::openStartFolder() {
    std::error_code error;
    const fs::path start = fs::current_path(error);
    if (error || !folders_->setPath(start)) {
        if (const wchar_t* profile = _wgetenv(L"USERPROFILE"))
            folders_->setPath(profile);
    }
    drives_->selectDriveOf(folders_->path());
}

// Sizes and fonts for the window's resolution, which changes when it moves to another monitor.
void MainWindow::layOut() {
    // The controls let go of the old fonts before they are deleted, as this function ends.
    const std::array<os::GdiObject<HFONT>, 4> previous =
        std::exchange(fonts_, {os::GdiObject<HFONT>(windowFont(dpi_)),
                               os::GdiObject<HFONT>(fontFor(form::kGothic, 900, dpi_)),
                               os::GdiObject<HFONT>(fontFor(form::kGothic, 825, dpi_)),
                               os::GdiObject<HFONT>(fontFor(form::kPGothic, 900, dpi_))});
    sizeFrame();
    placeWindowControls();
    placeFirstPageControls();
    InvalidateRect(window_, nullptr, TRUE);
}

void MainWindow::sizeFrame() {
    RECT frame{0, 0, form::pixels(form::kClientWidth, dpi_),
               form::pixels(form::kClientHeight, dpi_)};
    // The frame is the system's, drawn for the monitor's resolution whatever the content's.
    AdjustWindowRectExForDpi(&frame, kStyle, FALSE, 0, GetDpiForWindow(window_));
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_[0].get()), FALSE);
}

void MainWindow::placeWindowControls() {
    auto px = [this](int twips) { return form::pixels(twips, dpi_); };
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const form::ControlLayout& layout = form::kWindowControls[i];
        const form::Rect& r = layout.twips;
        const HFONT font = fonts_[static_cast<std::size_t>(layout.font)].get();
        SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        // A drop-down's height is that of its open list; its closed box is sized below.
        const int height = i == Drives ? px(r.height) * 8 : px(r.height);
        const int box = GetSystemMetricsForDpi(SM_CXMENUCHECK, static_cast<UINT>(dpi_)) + 6;
        const int width =
            layout.caption.empty()
                ? px(r.width)
                : std::max(px(r.width), box + textWidth(controls_[i], font, layout.caption));
        MoveWindow(controls_[i], px(r.left), px(r.top), width, height, TRUE);
    }
    // The closed drop-down is its edit field and a frame of three pixels above and below.
    SendMessageW(controls_[Drives], CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                 px(form::kWindowControls[Drives].twips.height) - 6);
    SendMessageW(controls_[Folders], LB_SETITEMHEIGHT, 0, std::max(px(240), px(16) + 1));
}

// The first page's controls lie on the page area of Pages, above its tabs.
void MainWindow::placeFirstPageControls() {
    auto px = [this](int twips) { return form::pixels(twips, dpi_); };
    HWND tabs = controls_[Pages];
    RECT page{};
    GetClientRect(tabs, &page);
    SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
    const form::Rect& multiPage = form::kWindowControls[Pages].twips;
    const int left = px(multiPage.left) + page.left;
    const int top = px(multiPage.top) + page.top;
    for (std::size_t i = 0; i < page1_.size(); ++i) {
        const form::ControlLayout& layout = form::kPage1Controls[i];
        const form::Rect& r = layout.twips;
        const HFONT font = fonts_[static_cast<std::size_t>(layout.font)].get();
        SendMessageW(page1_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        const int width = i < form::kTextBoxes
                              ? px(r.width)
                              : std::max(px(r.width), textWidth(page1_[i], font, layout.caption));
        MoveWindow(page1_[i], left + px(r.left), top + px(r.top), width, px(r.height), TRUE);
    }
}

void MainWindow::applyStartUpState() {
    SendMessageW(controls_[Pages], TCM_SETCURSEL, 0, 0);
    SendMessageW(controls_[CopyOption], BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(controls_[OriginalsOption], BM_SETCHECK, BST_UNCHECKED, 0);
    for (std::size_t i = BodyCheck; i < controls_.size(); ++i)
        SendMessageW(controls_[i], BM_SETCHECK, BST_CHECKED, 0);
    applyPageRule();
}

bool MainWindow::checked(std::size_t control) const {
    return SendMessageW(controls_[control], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool MainWindow::copying() const {
    return checked(CopyOption);
}

int MainWindow::page() const {
    return static_cast<int>(SendMessageW(controls_[Pages], TCM_GETCURSEL, 0, 0));
}

void MainWindow::applyPageRule() {
    const form::Visibility shown = form::visibleOnPage(page(), copying());
    for (std::size_t i = 0; i < shown.size(); ++i)
        ShowWindow(controls_[form::kFirstPageControl + i], shown[i] ? SW_SHOWNA : SW_HIDE);
    // The page control shows the first page's own controls with their page.
    for (HWND control : page1_)
        ShowWindow(control, page() == 0 ? SW_SHOWNA : SW_HIDE);
}

void MainWindow::applyCopyOptionRule() {
    // The lists belong to copying; both option buttons follow this one rule.
    ShowWindow(controls_[Folders], copying() ? SW_SHOWNA : SW_HIDE);
    ShowWindow(controls_[Drives], copying() ? SW_SHOWNA : SW_HIDE);
}

void MainWindow::openChosenDrive() {
    const fs::path root = drives_->drive();
    if (root.empty() || root == drives_->keptDrive())
        return;
    if (folderPerDrive_.change(drives_->keptDrive(), folders_->path(), root,
                               [&](const fs::path& folder) { return folders_->setPath(folder); })) {
        drives_->keepChoice();
        return;
    }
    const std::u16string name = drives_->caption();
    drives_->revertChoice();
    tell(form::unreadableDrive(name), MessageBox::kExclamation);
}

void MainWindow::openFolder(int index) {
    const fs::path folder = folders_->entry(index);
    if (!folders_->setPath(folder))
        tell(form::unopenableFolder(os::fromNativePath(folder)), MessageBox::kExclamation);
}

HWND MainWindow::control(std::u16string_view name) const {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (form::kWindowControls[i].name == name)
            return controls_[i];
    }
    for (std::size_t i = 0; i < page1_.size(); ++i) {
        if (form::kPage1Controls[i].name == name)
            return page1_[i];
    }
    return nullptr;
}

IDropTarget& MainWindow::dropTarget() const {
    return drop_->target();
}

HWND MainWindow::messageOwner() const {
    return busy_ ? busy_->owner() : window_;
}

bool MainWindow::preTranslate(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || busy_ || !window_ ||
        (msg.hwnd != window_ && !IsChild(window_, msg.hwnd))) {
        return false;
    }
    std::vector<HWND> order;
    for (std::u16string_view name : form::kTabOrder)
        order.push_back(control(name));
    const auto at = std::find_if(order.begin(), order.end(), [&](HWND control) {
        return control == msg.hwnd || IsChild(control, msg.hwnd);
    });
    const std::size_t count = order.size();
    const std::size_t step = GetKeyState(VK_SHIFT) < 0 ? count - 1 : 1;
    std::size_t i =
        at == order.end() ? count - step % count : static_cast<std::size_t>(at - order.begin());
    for (std::size_t tried = 0; tried < count; ++tried) {
        i = (i + step) % count;
        if (IsWindowVisible(order[i]) && IsWindowEnabled(order[i])) {
            SetFocus(order[i]);
            SendMessageW(order[i], EM_SETSEL, 0, -1);
            break;
        }
    }
    return true;
}

void MainWindow::accept(std::vector<std::u16string> paths) {
    // The window is busy from here on, so nothing changes the settings before the first run and
    // a second drop is refused.
    pending_ = std::move(paths);
    busy_ = std::make_unique<BusyRun>(window_);
    PostMessageW(window_, kRunDrop, 0, 0);
}

void MainWindow::runEach(const std::vector<std::u16string>& paths) {
    struct Done {
        std::unique_ptr<BusyRun>& busy;
        HWND window;
        ~Done() {
            const bool closeRequested = busy->closeRequested();
            busy.reset();
            if (closeRequested)
                PostMessageW(window, WM_CLOSE, 0, 0);
        }
    } done{busy_, window_};
    form::runDrop(
        driver_, paths, [this] { return runRequest(); }, busy_.get(),
        [this](const form::Message& message) { tell(message.text, message.flags); });
}

void MainWindow::tell(const std::u16string& text, int flags) {
    messages_.show(text, run::RunDriver::kTitle, flags);
}

run::RunRequest MainWindow::runRequest() const {
    form::ControlValues values;
    values.copying = copying();
    values.folder = os::fromNativePath(folders_->path());
    for (std::size_t i = 0; i < values.texts.size(); ++i) {
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(page1_[i])), L'\0');
        GetWindowTextW(page1_[i], text.data(), static_cast<int>(text.size() + 1));
        values.texts[i].assign(text.begin(), text.end());
    }
    values.regions = {checked(BodyCheck), checked(TextBoxesCheck), checked(HeadersFootersCheck)};
    values.matchCase = checked(MatchCaseCheck);
    values.distinguishWidths = checked(WidthsCheck);
    return form::requestFrom(values);
}

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, w, l);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        return DefWindowProcW(window, message, w, l);
    }
    return self->handle(message, w, l);
}

void MainWindow::onCommand(HWND from, WORD code) {
    if ((from == controls_[CopyOption] || from == controls_[OriginalsOption]) &&
        code == BN_CLICKED) {
        // Both buttons follow the same rule: it looks at CopyOption whichever was clicked.
        applyCopyOptionRule();
    } else if (from == controls_[Drives]) {
        if (code == CBN_DROPDOWN)
            drives_->reload();
        else if (code == CBN_SELENDOK ||
                 (code == CBN_SELCHANGE && !SendMessageW(from, CB_GETDROPPEDSTATE, 0, 0)))
            openChosenDrive();
    } else if (from == controls_[Folders] && code == LBN_DBLCLK) {
        openFolder(static_cast<int>(SendMessageW(from, LB_GETCURSEL, 0, 0)));
    }
}

HBRUSH MainWindow::colorPageArea(HDC dc) const {
    // Labels, option buttons and check boxes lie on the page area: its face is the window's own
    // unless a theme still draws the tab control, whose pane is white.
    const int face = GetWindowTheme(controls_[Pages]) ? COLOR_WINDOW : COLOR_BTNFACE;
    SetBkColor(dc, GetSysColor(face));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    return GetSysColorBrush(face);
}

void MainWindow::moveToDpi(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    layOut();
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT MainWindow::handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(l);
            if (header->hwndFrom == controls_[Pages] && header->code == TCN_SELCHANGE)
                applyPageRule();
            return 0;
        }
        case WM_COMMAND:
            onCommand(reinterpret_cast<HWND>(l), HIWORD(w));
            return 0;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
            if (item->hwndItem == controls_[Folders]) {
                folders_->draw(*item);
                return TRUE;
            }
            break;
        }
        case kRunDrop:
            runEach(std::exchange(pending_, {}));
            return 0;
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(colorPageArea(reinterpret_cast<HDC>(w)));
        case WM_SETCURSOR:
            if (busy_) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_DPICHANGED:
            if (!fixedDpi_)
                moveToDpi(HIWORD(w), *reinterpret_cast<const RECT*>(l));
            return 0;
        case WM_DESTROY:
            // Drops end with the window, not with the object that outlives it.
            drop_.reset();
            return 0;
        case WM_CLOSE:
            if (busy_) {
                busy_->requestClose();
            } else {
                DestroyWindow(window_);
                PostQuitMessage(0);
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, w, l);
}

}  // namespace quorvane::win
