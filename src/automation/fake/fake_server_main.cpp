// The fake word processor as an out-of-process COM server, the way the real one is reached:
// started by COM with -Embedding, one process per instance, gone after the last reference.
#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <string_view>
#include <tuple>

#include "automation/automation_error.h"
#include "automation/fake/dispatch_server.h"
#include "automation/fake/fake_server.h"
#include "automation/fake/fake_word_processor.h"
#include "automation/member_name.h"
#include "automation/word_model.h"

namespace {

using Microsoft::WRL::ComPtr;
using quorvane::automation::Variant;

std::atomic<bool> served{false};

enum class Fault { None, DieOnOpen, HangOnOpen, Busy, HangOnCreate };

// Ends the process in the middle of Open, as a word processor that crashes on a document, or
// never answers it, as one that hangs.
class Faulty final : public quorvane::automation::Object {
  public:
    Faulty(std::shared_ptr<Object> inner, Fault fault) : inner_(std::move(inner)), fault_(fault) {}
    Variant get(std::u16string_view member) override { return wrap(inner_->get(member)); }
    void put(std::u16string_view member, const Variant& value) override {
        inner_->put(member, value);
    }
    Variant call(std::u16string_view member, const std::vector<Variant>& positional,
                 const std::vector<quorvane::automation::NamedArgument>& named) override {
        if (quorvane::automation::sameName(member, u"Open") && fault_ == Fault::DieOnOpen)
            ExitProcess(3);
        if (quorvane::automation::sameName(member, u"Open") && fault_ == Fault::HangOnOpen)
            Sleep(INFINITE);
        return wrap(inner_->call(member, positional, named));
    }
    std::vector<Variant> enumerate() override { return inner_->enumerate(); }

    Variant wrap(Variant value) const {
        return value.isObject() ? Variant(std::make_shared<Faulty>(value.toObject(), fault_))
                                : value;
    }

  private:
    std::shared_ptr<Object> inner_;
    Fault fault_;
};

// The application's IDispatch, rejecting its first calls as a server does while a dialog is
// open. Wine never asks a server's message filter about incoming calls, so the rejection is
// the answer of Invoke itself.
class Busy final : public quorvane::automation::fake::Served<IDispatch> {
  public:
    explicit Busy(ComPtr<IDispatch> inner) : inner_(std::move(inner)) {}

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return inner_->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return inner_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return inner_->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argument) override {
        if (rejected_ < quorvane::automation::fake::kBusyRejections) {
            ++rejected_;
            return RPC_E_CALL_REJECTED;
        }
        return inner_->Invoke(id, iid, locale, flags, parameters, result, exception, argument);
    }

  private:
    ComPtr<IDispatch> inner_;
    int rejected_ = 0;
};

class ClassFactory final : public IClassFactory {
  public:
    explicit ClassFactory(Fault fault) : fault_(fault) {}

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
        // A word processor stuck in its start, as behind a dialog nobody sees.
        if (fault_ == Fault::HangOnCreate)
            Sleep(INFINITE);
        try {
            auto application = processor_.create(quorvane::automation::word::kApplicationClass);
            if (fault_ == Fault::DieOnOpen || fault_ == Fault::HangOnOpen)
                application = Faulty(nullptr, fault_).wrap(application);
            ComPtr<IDispatch> dispatch = quorvane::automation::fake::serve(application.toObject());
            if (fault_ == Fault::Busy)
                dispatch = ComPtr<IDispatch>(new Busy(std::move(dispatch)));
            served = true;
            return dispatch->QueryInterface(iid, out);
        } catch (const quorvane::automation::AutomationError&) {
            return E_FAIL;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    Fault fault_;
    quorvane::automation::fake::FakeWordProcessor processor_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool embedding = false;
    Fault fault = Fault::None;
    const GUID* servedClass = &quorvane::automation::fake::kFakeServerClass;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view argument(argv[i]);
        embedding |= argument == L"-Embedding" || argument == L"/Embedding";
        for (const auto& [option, kind, id] :
             {std::tuple{L"--die-on-open", Fault::DieOnOpen,
                         &quorvane::automation::fake::kDyingServerClass},
              std::tuple{L"--hang-on-open", Fault::HangOnOpen,
                         &quorvane::automation::fake::kHangingServerClass},
              std::tuple{L"--busy", Fault::Busy, &quorvane::automation::fake::kBusyServerClass},
              std::tuple{L"--hang-on-create", Fault::HangOnCreate,
                         &quorvane::automation::fake::kStuckServerClass}}) {
            if (argument == option) {
                fault = kind;
                servedClass = id;
            }
        }
    }
    if (!embedding)
        return 2;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    ClassFactory factory(fault);
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(*servedClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE,
                                     &cookie))) {
        CoUninitialize();
        return 1;
    }
    // Ends once the client has let go of everything it was given.
    SetTimer(nullptr, 0, 50, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && served && quorvane::automation::fake::liveObjects() == 0)
            break;
        DispatchMessageW(&message);
    }
    CoRevokeClassObject(cookie);
    CoUninitialize();
    return 0;
}
