#include "win/folder_list.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <system_error>

namespace quorvane::win {
namespace {

namespace fs = std::filesystem;

HICON stockIcon(SHSTOCKICONID id) {
    SHSTOCKICONINFO info{};
    info.cbSize = sizeof info;
    return SUCCEEDED(SHGetStockIconInfo(id, SHGSI_ICON | SHGSI_SMALLICON, &info)) ? info.hIcon
                                                                                  : nullptr;
}

bool hidden(const fs::path& folder) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

// The visible sub-folders, or nothing and an error when the folder cannot be listed.
std::vector<fs::path> subFolders(const fs::path& folder, std::error_code& error) {
    std::vector<fs::path> result;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code ignored;  // an entry that vanished or cannot be examined is not listed
        if (it->is_directory(ignored) && !hidden(it->path()))
            result.push_back(it->path());
    }
    // In the order Explorer shows them: numbers by their value.
    std::sort(result.begin(), result.end(), [](const fs::path& a, const fs::path& b) {
        return StrCmpLogicalW(a.filename().c_str(), b.filename().c_str()) < 0;
    });
    return result;
}

}  // namespace

FolderList::FolderList(HWND list)
    : list_(list), openIcon_(stockIcon(SIID_FOLDEROPEN)), closedIcon_(stockIcon(SIID_FOLDER)) {}

bool FolderList::setPath(const fs::path& folder) {
    std::error_code error;
    const fs::path canonical = fs::canonical(folder, error);
    if (error || !fs::is_directory(canonical, error))
        return false;
    const std::vector<fs::path> children = subFolders(canonical, error);
    if (error)
        return false;

    std::vector<Row> rows{{canonical.root_path(), 0, true}};
    for (const fs::path& part : canonical.relative_path()) {
        if (!part.empty())
            rows.push_back({rows.back().folder / part, static_cast<int>(rows.size()), true});
    }
    const int current = static_cast<int>(rows.size()) - 1;
    for (const fs::path& child : children)
        rows.push_back({child, current + 1, false});

    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    for (const Row& row : rows) {
        const std::wstring name =
            row.depth == 0 ? row.folder.wstring() : row.folder.filename().wstring();
        SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(current), 0);
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
    rows_ = std::move(rows);
    path_ = canonical;
    return true;
}

fs::path FolderList::entry(int index) const {
    return index >= 0 && index < static_cast<int>(rows_.size())
               ? rows_[static_cast<std::size_t>(index)].folder
               : path_;
}

void FolderList::draw(const DRAWITEMSTRUCT& item) const {
    if (item.itemID >= rows_.size())
        return;
    const Row& row = rows_[item.itemID];
    const bool selected = item.itemState & ODS_SELECTED;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const int height = item.rcItem.bottom - item.rcItem.top;
    const int icon = std::min(height - 2, GetSystemMetrics(SM_CXSMICON));
    RECT text = item.rcItem;
    text.left += 2 + row.depth * icon / 2;
    if (HICON glyph = row.open ? openIcon_.get() : closedIcon_.get()) {
        DrawIconEx(item.hDC, text.left, text.top + (height - icon) / 2, glyph, icon, icon, 0,
                   nullptr, DI_NORMAL);
    }
    text.left += icon + 3;
    const std::wstring name =
        row.depth == 0 ? row.folder.wstring() : row.folder.filename().wstring();
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextW(item.hDC, name.c_str(), static_cast<int>(name.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (item.itemState & ODS_FOCUS)
        DrawFocusRect(item.hDC, &item.rcItem);
}

}  // namespace quorvane::win
