#pragma once

#include "win/windows_api.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace quorvane::win {

// The paths of a file list (CF_HDROP) in the order the drag source gives them; empty when the
// data carries none.
std::vector<std::u16string> droppedPaths(IDataObject& data);

// The drop area's part in OLE drag and drop: a file list is offered a copy, when the source
// allows one, and nothing else is accepted; a drop hands its paths on and returns at once, so
// that the drag source never waits for the runs.
class DropTarget final : public IDropTarget {
  public:
    using Accept = std::function<bool()>;
    using Dropped = std::function<void(std::vector<std::u16string>)>;

    // accepting says whether a drop would be taken now (not while runs work).
    DropTarget(Accept accepting, Dropped dropped)
        : accepting_(std::move(accepting)), dropped_(std::move(dropped)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point,
                                   DWORD* effect) override;

  private:
    ~DropTarget() = default;
    DWORD answer(DWORD allowed) const;

    std::atomic<ULONG> references_{1};
    Accept accepting_;
    Dropped dropped_;
    // Whether the drag that hovers carries a file list, asked once as it enters.
    bool fileList_ = false;
};

// Registers a drop target for a window for as long as it lives; throws std::system_error when
// the thread has no OLE.
class DropRegistration final {
  public:
    DropRegistration(HWND window, DropTarget::Accept accepting, DropTarget::Dropped dropped);
    ~DropRegistration();
    DropRegistration(const DropRegistration&) = delete;
    DropRegistration& operator=(const DropRegistration&) = delete;

    IDropTarget& target() const { return *target_; }

  private:
    HWND window_;
    DropTarget* target_;
};

}  // namespace quorvane::win
