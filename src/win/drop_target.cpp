#include "win/drop_target.h"

#include <shellapi.h>

#include <system_error>

namespace quorvane::win {
namespace {

FORMATETC fileListFormat() {
    return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

bool offersFileList(IDataObject* data) {
    FORMATETC format = fileListFormat();
    return data && data->QueryGetData(&format) == S_OK;
}

// The medium of a GetData call, released when done with.
class Medium final {
  public:
    explicit Medium(IDataObject& data) {
        FORMATETC format = fileListFormat();
        ok_ = SUCCEEDED(data.GetData(&format, &medium_)) && medium_.tymed == TYMED_HGLOBAL;
    }
    ~Medium() {
        if (ok_)
            ReleaseStgMedium(&medium_);
    }
    Medium(const Medium&) = delete;
    Medium& operator=(const Medium&) = delete;
    HDROP drop() const { return ok_ ? static_cast<HDROP>(medium_.hGlobal) : nullptr; }

  private:
    STGMEDIUM medium_{};
    bool ok_ = false;
};

}  // namespace

std::vector<std::u16string> droppedPaths(IDataObject& data) {
    std::vector<std::u16string> paths;
    const Medium medium(data);
    const HDROP drop = medium.drop();
    if (!drop)
        return paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0), L'\0');
        DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
        paths.emplace_back(path.begin(), path.end());
    }
    return paths;
}

HRESULT DropTarget::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDropTarget) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG DropTarget::AddRef() {
    return ++references_;
}

ULONG DropTarget::Release() {
    const ULONG left = --references_;
    if (left == 0)
        delete this;
    return left;
}

DWORD DropTarget::answer(DWORD allowed) const {
    // Only a copy is ever offered: the run never moves or links what was dropped.
    return fileList_ && accepting_() ? allowed & DROPEFFECT_COPY : DROPEFFECT_NONE;
}

HRESULT DropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
    fileList_ = offersFileList(data);
    *effect = answer(*effect);
    return S_OK;
}

HRESULT DropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
    *effect = answer(*effect);
    return S_OK;
}

HRESULT DropTarget::DragLeave() {
    fileList_ = false;
    return S_OK;
}

HRESULT DropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
    fileList_ = offersFileList(data);
    *effect = answer(*effect);
    fileList_ = false;
    if (*effect == DROPEFFECT_NONE)
        return S_OK;
    std::vector<std::u16string> paths = droppedPaths(*data);
    if (paths.empty())
        *effect = DROPEFFECT_NONE;
    else
        dropped_(std::move(paths));
    return S_OK;
}

DropRegistration::DropRegistration(HWND window, DropTarget::Accept accepting,
                                   DropTarget::Dropped dropped)
    : window_(window), target_(new DropTarget(std::move(accepting), std::move(dropped))) {
    // Fails only where OLE was not started on the thread: a window without its one way to
    // start work must not come up as if it had it.
    if (const HRESULT result = RegisterDragDrop(window_, target_); FAILED(result)) {
        target_->Release();
        throw std::system_error(static_cast<int>(result), std::system_category(),
                                "RegisterDragDrop");
    }
}

DropRegistration::~DropRegistration() {
    RevokeDragDrop(window_);
    target_->Release();
}

}  // namespace quorvane::win
