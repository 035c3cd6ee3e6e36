#include "automation/com/com_factory.h"

#include <oaidl.h>
#include <objbase.h>
#include <wrl/client.h>

#include <memory>

#include "automation/automation_error.h"
#include "automation/com/com_messages.h"
#include "automation/com/com_object.h"
#include "automation/member_name.h"
#include "automation/word_model.h"
#include "os/log.h"

namespace quorvane::automation::com {
namespace {

bool isWord(std::u16string_view className) {
    return sameName(className, word::kApplicationClass);
}

[[noreturn]] void fail(std::u16string_view className, std::u16string message, HRESULT result) {
    os::log::problem(message + u"（" + std::u16string(className) + u"、" + describeFailure(result) +
                     u"）");
    throw AutomationError(std::move(message));
}

}  // namespace

// Lives as long as its apartment, which owns it; COM's references do not count.
struct ComApartment::Filter final : IMessageFilter {
    explicit Filter(std::chrono::milliseconds limit) : limit(limit) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
            *out = static_cast<IMessageFilter*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
        return SERVERCALL_ISHANDLED;
    }
    // Milliseconds to wait before the next try, or -1 to give up.
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsed, DWORD rejection) override {
        if (rejection == SERVERCALL_RETRYLATER && elapsed < limit.count())
            return 100;
        return static_cast<DWORD>(-1);
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
        return PENDINGMSG_WAITDEFPROCESS;
    }

    std::chrono::milliseconds limit;
    IMessageFilter* previous = nullptr;
};

ComApartment::ComApartment(std::chrono::milliseconds busyLimit)
    : filter_(std::make_unique<Filter>(busyLimit)) {
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(result)) {
        throw AutomationError(messages::comNotInitialized(describeFailure(result)));
    }
    if (FAILED(CoRegisterMessageFilter(filter_.get(), &filter_->previous)))
        os::log::problem(u"メッセージフィルターを登録できません");
}

ComApartment::~ComApartment() {
    IMessageFilter* ours = nullptr;
    CoRegisterMessageFilter(filter_->previous, &ours);
    if (filter_->previous)
        filter_->previous->Release();
    CoUninitialize();
}

Variant ComObjectFactory::create(std::u16string_view className) {
    const std::u16string name(className);
    CLSID clsid{};
    const HRESULT lookup = CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(name.c_str()), &clsid);
    if (FAILED(lookup)) {
        fail(className,
             isWord(className) ? messages::wordNotInstalled() : messages::serverNotRegistered(name),
             lookup);
    }
    Microsoft::WRL::ComPtr<IDispatch> dispatch;
    HRESULT created = S_OK;
    bool stuck = false;
    os::KernelHandle process = processStartedBy(
        clsid,
        [&] {
            created =
                CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&dispatch));
        },
        callLimit_, stuck);
    const std::u16string server = messages::serverName(name, isWord(className));
    if (stuck)
        fail(className, messages::serverStuckStarting(server), created);
    if (FAILED(created))
        fail(className, messages::serverNotStarted(server, describeFailure(created)), created);
    std::shared_ptr<ServerWatchdog> watchdog;
    if (process) {
        watchdog = std::make_shared<ServerWatchdog>(std::move(process), server, callLimit_);
    }
    return Variant(std::make_shared<ComObject>(std::move(dispatch), std::move(watchdog)));
}

}  // namespace quorvane::automation::com
