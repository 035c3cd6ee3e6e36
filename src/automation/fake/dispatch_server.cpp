#include "automation/fake/dispatch_server.h"

#include <oleauto.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "automation/automation_error.h"
#include "automation/com/com_object.h"
#include "automation/com/com_variant.h"
#include "automation/fake/fake_word_processor.h"
#include "automation/member_name.h"

namespace quorvane::automation::fake {
namespace {

using automation::AutomationError;
using automation::NamedArgument;
using automation::Variant;
using Microsoft::WRL::ComPtr;

std::atomic<int> live{0};

_variant_t toServed(const Variant& value, DispatchOptions options) {
    if (!value.isObject())
        return automation::com::toComVariant(value);
    return _variant_t(serve(value.toObject(), options).Detach(), false);
}

class Enumerator final : public Served<IEnumVARIANT> {
  public:
    Enumerator(std::vector<Variant> members, DispatchOptions options)
        : members_(std::move(members)), options_(options) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        ULONG n = 0;
        for (; n < count && next_ < members_.size(); ++n)
            out[n] = toServed(members_[next_++], options_).Detach();
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        next_ = std::min(members_.size(), next_ + count);
        return next_ < members_.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT**) override { return E_NOTIMPL; }

  private:
    std::vector<Variant> members_;
    std::size_t next_ = 0;
    DispatchOptions options_;
};

class Server final : public Served<IDispatch> {
  public:
    Server(std::shared_ptr<automation::Object> object, DispatchOptions options)
        : object_(std::move(object)), options_(options) {}

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

    // Any name gets an id; whether the object has such a member shows when it is used.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        for (UINT i = 0; i < count; ++i) {
            const std::u16string name(reinterpret_cast<const char16_t*>(names[i]));
            auto found = std::find_if(names_.begin(), names_.end(), [&](const auto& known) {
                return automation::sameName(known, name);
            });
            if (found == names_.end())
                found = names_.insert(names_.end(), name);
            ids[i] = static_cast<DISPID>(found - names_.begin()) + 1;
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override {
        try {
            if (id == DISPID_NEWENUM) {
                if (!options_.enumerator)
                    return DISP_E_MEMBERNOTFOUND;
                ComPtr<IEnumVARIANT> enumerator(new Enumerator(object_->enumerate(), options_));
                if (result)
                    *result = _variant_t(enumerator.Detach(), false).Detach();
                return S_OK;
            }
            _variant_t answer = toServed(dispatch(id, flags, *parameters), options_);
            if (result)
                *result = answer.Detach();
            return S_OK;
        } catch (const UnknownArgumentError& e) {
            // As IDispatch reports a named argument the member does not have: the place of the
            // argument in rgvarg, where the named ones come first.
            if (argumentError)
                *argumentError = static_cast<UINT>(e.index());
            return DISP_E_PARAMNOTFOUND;
        } catch (const AutomationError& e) {
            if (exception) {
                *exception = EXCEPINFO{};
                exception->bstrSource = automation::com::toBstr(u"Quorvane.TestServer").Detach();
                exception->bstrDescription = automation::com::toBstr(e.message()).Detach();
                exception->scode = E_FAIL;
            }
            return DISP_E_EXCEPTION;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

  private:
    const std::u16string& nameOf(DISPID id) const {
        if (id < 1 || static_cast<std::size_t>(id) > names_.size())
            throw AutomationError(u"不明な DISPID です");
        return names_[static_cast<std::size_t>(id) - 1];
    }

    Variant dispatch(DISPID id, WORD flags, const DISPPARAMS& parameters) {
        const std::u16string& member = nameOf(id);
        std::vector<NamedArgument> named;
        const Variant* putValue = nullptr;
        std::vector<Variant> values;
        for (UINT i = 0; i < parameters.cArgs; ++i)
            values.push_back(automation::com::fromComVariant(parameters.rgvarg[i]));
        for (UINT i = 0; i < parameters.cNamedArgs; ++i) {
            if (parameters.rgdispidNamedArgs[i] == DISPID_PROPERTYPUT)
                putValue = &values[i];
            else
                named.push_back({nameOf(parameters.rgdispidNamedArgs[i]), values[i]});
        }
        const std::vector<Variant> positional(values.rbegin(),
                                              values.rend() - parameters.cNamedArgs);
        if (flags & DISPATCH_PROPERTYPUT) {
            if (!putValue)
                throw AutomationError(u"設定する値がありません");
            object_->put(member, *putValue);
            return {};
        }
        if (!options_.enumerator && automation::sameName(member, u"Count"))
            return static_cast<std::int32_t>(object_->enumerate().size());
        if (!options_.enumerator && automation::sameName(member, u"Item"))
            return object_->enumerate().at(
                static_cast<std::size_t>(positional.at(0).toInt32() - 1));
        if (flags & DISPATCH_METHOD)
            return object_->call(member, positional, named);
        return object_->get(member);
    }

    std::shared_ptr<automation::Object> object_;
    DispatchOptions options_;
    std::vector<std::u16string> names_;
};

}  // namespace

int liveObjects() {
    return live;
}

void objectServed() noexcept {
    ++live;
}

void objectReleased() noexcept {
    --live;
}

ComPtr<IDispatch> serve(std::shared_ptr<automation::Object> object, DispatchOptions options) {
    return ComPtr<IDispatch>(new Server(std::move(object), options));
}

automation::Variant DispatchingFactory::create(std::u16string_view className) {
    const Variant created = inner_.create(className);
    return Variant(
        std::make_shared<automation::com::ComObject>(serve(created.toObject(), options_)));
}

}  // namespace quorvane::automation::fake
