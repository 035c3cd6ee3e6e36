// The fake word processor as an out-of-process COM server, the way the real one is reached:
// started by COM with -Embedding, one process per instance, gone after the last reference.
#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <string_view>

#include "automation/automation_error.h"
#include "automation/fake/fake_word_processor.h"
#include "automation/member_name.h"
#include "automation/word_model.h"
#include "dispatch_server.h"
#include "fake_server.h"

namespace {

using quorvane::automation::Variant;
using quorvane::automation::com::ComPtr;

std::atomic<bool> served{false};

// Ends the process in the middle of Open, as a word processor that crashes on a document.
class Dying final : public quorvane::automation::Object {
  public:
    explicit Dying(std::shared_ptr<Object> inner) : inner_(std::move(inner)) {}
    Variant get(std::u16string_view member) override { return wrap(inner_->get(member)); }
    void put(std::u16string_view member, const Variant& value) override {
        inner_->put(member, value);
    }
    Variant call(std::u16string_view member, const std::vector<Variant>& positional,
                 const std::vector<quorvane::automation::NamedArgument>& named) override {
        if (quorvane::automation::sameName(member, u"Open"))
            ExitProcess(3);
        return wrap(inner_->call(member, positional, named));
    }
    std::vector<Variant> enumerate() override { return inner_->enumerate(); }

    static Variant wrap(Variant value) {
        return value.isObject() ? Variant(std::make_shared<Dying>(value.toObject())) : value;
    }

  private:
    std::shared_ptr<Object> inner_;
};

class ClassFactory final : public IClassFactory {
  public:
    explicit ClassFactory(bool dying) : dying_(dying) {}

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
            auto application = processor_.create(quorvane::automation::word::kApplicationClass);
            if (dying_)
                application = Dying::wrap(application);
            const ComPtr<IDispatch> dispatch = quorvane::contract::serve(application.toObject());
            served = true;
            return dispatch->QueryInterface(iid, out);
        } catch (const quorvane::automation::AutomationError&) {
            return E_FAIL;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    bool dying_;
    quorvane::automation::fake::FakeWordProcessor processor_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool embedding = false;
    bool dying = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view argument(argv[i]);
        embedding |= argument == L"-Embedding" || argument == L"/Embedding";
        dying |= argument == L"--die-on-open";
    }
    if (!embedding)
        return 2;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    ClassFactory factory(dying);
    const GUID& servedClass =
        dying ? quorvane::test::kDyingServerClass : quorvane::test::kFakeServerClass;
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(servedClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE,
                                     &cookie))) {
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
