// The fake word processor as an out-of-process COM server, the way the real one is reached:
// started by COM with -Embedding, one process per instance, gone after the last reference.
#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <string_view>

#include "automation/automation_error.h"
#include "automation/fake/fake_word_processor.h"
#include "automation/word_model.h"
#include "dispatch_server.h"
#include "fake_server.h"

namespace {

using quorvane::automation::com::ComPtr;

std::atomic<bool> served{false};

class ClassFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Lives as long as the process.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        try {
            const auto application =
                processor_.create(quorvane::automation::word::kApplicationClass);
            const ComPtr<IDispatch> dispatch = quorvane::contract::serve(application.toObject());
            served = true;
            return dispatch->QueryInterface(iid, out);
        } catch (const quorvane::automation::AutomationError&) {
            return E_FAIL;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    quorvane::automation::fake::FakeWordProcessor processor_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool embedding = false;
    for (int i = 1; i < argc; ++i)
        embedding |= std::wstring_view(argv[i]) == L"-Embedding" ||
                     std::wstring_view(argv[i]) == L"/Embedding";
    if (!embedding)
        return 2;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    ClassFactory factory;
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(quorvane::test::kFakeServerClass, &factory,
                                     CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie))) {
        CoUninitialize();
        return 1;
    }
    // Ends once the client has let go of everything it was given.
    SetTimer(nullptr, 0, 50, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && served && quorvane::contract::liveObjects() == 0)
            break;
        DispatchMessageW(&message);
    }
    CoRevokeClassObject(cookie);
    CoUninitialize();
    return 0;
}
