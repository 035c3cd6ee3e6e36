#pragma once

#include <oaidl.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>

#include "automation/variant.h"

namespace quorvane::automation::fake {

// Serves an object of the object model through a real IDispatch, as a word processor's server
// does: DISPIDs handed out by GetIDsOfNames for members and argument names alike, Invoke with
// named and reversed positional arguments and DISPID_PROPERTYPUT, failures as DISP_E_EXCEPTION
// with a description, collections through _NewEnum. Objects it returns are served the same way.
// Without an enumerator, collections answer Count and Item instead, as some servers' do.
struct DispatchOptions {
    bool enumerator = true;
};

Microsoft::WRL::ComPtr<IDispatch> serve(std::shared_ptr<automation::Object> object,
                                        DispatchOptions options = {});

// Objects and enumerators served and not yet released: a server process ends at none.
int liveObjects();
void objectServed() noexcept;
void objectReleased() noexcept;

// IUnknown of an object handed to COM clients, counted in liveObjects() while it lives.
template <typename Interface>
class Served : public Interface {
  public:
    Served() { objectServed(); }
    virtual ~Served() { objectReleased(); }
    Served(const Served&) = delete;
    Served& operator=(const Served&) = delete;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == __uuidof(Interface)) {
            *out = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

  private:
    // A new object has no reference until its first ComPtr takes one. mingw-w64's
    // ComPtr::Attach adds a reference of its own, so a new object is never attached.
    std::atomic<ULONG> references_{0};
};

// A factory whose objects come from inner and go through serve() and back through the COM
// backend's own ComObject, so that every call crosses IDispatch.
class DispatchingFactory final : public automation::ObjectFactory {
  public:
    explicit DispatchingFactory(automation::ObjectFactory& inner, DispatchOptions options = {})
        : inner_(inner), options_(options) {}
    automation::Variant create(std::u16string_view className) override;

  private:
    automation::ObjectFactory& inner_;
    DispatchOptions options_;
};

}  // namespace quorvane::automation::fake
