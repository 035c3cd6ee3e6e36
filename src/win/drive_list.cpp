#include "win/drive_list.h"

#include <algorithm>
#include <cwctype>

namespace quorvane::win {
namespace {

namespace fs = std::filesystem;

// "c: [label]", as the classic drive list shows a drive.
std::wstring captionOf(const fs::path& root) {
    std::wstring caption{static_cast<wchar_t>(std::towlower(root.native()[0])), L':'};
    wchar_t label[MAX_PATH + 1] = {};
    // A drive without a medium must not bring up the system's "insert a disk" box.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    if (GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr,
                              0) &&
        label[0]) {
        caption += std::wstring(L" [") + label + L']';
    }
    SetErrorMode(previous);
    return caption;
}

}  // namespace

void DriveList::reload() {
    roots_.clear();
    std::wstring buffer(GetLogicalDriveStringsW(0, nullptr), L'\0');
    buffer.resize(GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data()));
    for (const wchar_t* root = buffer.c_str(); *root; root += wcslen(root) + 1)
        roots_.emplace_back(root);
    SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
    for (const fs::path& root : roots_) {
        const std::wstring caption = captionOf(root);
        SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(caption.c_str()));
    }
    select(kept_);
}

fs::path DriveList::drive() const {
    const auto index = SendMessageW(combo_, CB_GETCURSEL, 0, 0);
    return index < 0 || index >= static_cast<LRESULT>(roots_.size())
               ? fs::path()
               : roots_[static_cast<std::size_t>(index)];
}

std::u16string DriveList::caption() const {
    const fs::path root = drive();
    if (root.empty())
        return {};
    const std::wstring caption = captionOf(root);
    return {caption.begin(), caption.end()};
}

void DriveList::selectDriveOf(const fs::path& folder) {
    const std::wstring root = folder.root_name().wstring();
    const auto it = std::find_if(roots_.begin(), roots_.end(), [&](const fs::path& candidate) {
        return _wcsicmp(candidate.root_name().c_str(), root.c_str()) == 0;
    });
    if (it != roots_.end()) {
        kept_ = *it;
        select(kept_);
    }
}

void DriveList::select(const fs::path& root) {
    const auto it = std::find(roots_.begin(), roots_.end(), root);
    SendMessageW(
        combo_, CB_SETCURSEL,
        it == roots_.end() ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(it - roots_.begin()), 0);
}

}  // namespace quorvane::win
