#include "workbench/run_stop.h"

#include <new>
#include <vector>

#include "base/com_object.h"
#include "base/result.h"
#include "base/unique.h"
#include "base/wide.h"
#include "text/cp1251.h"

namespace zeph::win {

using text::operator""_cp;

namespace {

constexpr ULONGLONG kInputEveryMs = 10;

// A host enumerator ("For Each") whose items come out guarded and which stops with the run.
class GuardedEnum final : public ScriptObject<IEnumVARIANT> {
  public:
    GuardedEnum(std::shared_ptr<RunStop> stop, ComPtr<IEnumVARIANT> real)
        : stop_(std::move(stop)), real_(std::move(real)) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        stop_->LetInputIn();
        if (stop_->Stopped()) return E_ABORT;
        ULONG got = 0;
        HRESULT hr = real_->Next(count, items, &got);
        if (SUCCEEDED(hr))
            for (ULONG i = 0; i < got; ++i) stop_->GuardVariant(&items[i]);
        if (fetched) *fetched = got;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        return stop_->Stopped() ? E_ABORT : real_->Skip(count);
    }
    HRESULT STDMETHODCALLTYPE Reset() override { return real_->Reset(); }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        ComPtr<IEnumVARIANT> copy;
        HRESULT hr = real_->Clone(copy.put());
        if (FAILED(hr)) return hr;
        *out = new (std::nothrow) GuardedEnum(stop_, std::move(copy));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

  private:
    std::shared_ptr<RunStop> stop_;
    ComPtr<IEnumVARIANT> real_;
};

}  // namespace

// A host object as the script sees it: every call goes through, with objects in arguments
// handed back unguarded and objects in results guarded, unless the run was stopped.
class GuardedDispatch final : public ScriptObject<IDispatch> {
  public:
    GuardedDispatch(std::shared_ptr<RunStop> stop, IDispatch* real, IUnknown* identity)
        : stop_(std::move(stop)), real_(real), identity_(identity) {}
    ~GuardedDispatch() {
        stop_->guards_.erase(identity_.get());
        stop_->hosts_.erase(this);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        return real_->GetTypeInfoCount(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return real_->GetTypeInfo(index, lcid, info);
    }
    // Names still resolve after a stop: a failed lookup would make VBScript take the name
    // for a new variable of its own instead of failing the call.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override {
        return real_->GetIDsOfNames(iid, names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                     UINT* arg_err) override {
        stop_->LetInputIn();
        if (stop_->Stopped()) return RunStop::StoppedResult(excep);
        try {
            DISPPARAMS call = params ? *params : DISPPARAMS{};
            std::vector<VARIANT> args;  // shallow copies: the caller still owns every value
            if (call.cArgs > 0 && call.rgvarg) {
                args.assign(call.rgvarg, call.rgvarg + call.cArgs);
                for (VARIANT& a : args) Unguard(a);
                call.rgvarg = args.data();
            }
            HRESULT hr = real_->Invoke(id, iid, lcid, flags, &call, result, excep, arg_err);
            if (SUCCEEDED(hr) && result) stop_->GuardVariant(result);
            return hr;
        }
        CATCH_RETURN()
    }

  private:
    // The host gets its own objects back, never our guards: it may ask them for its own
    // interfaces. By-reference objects go by value; host methods take objects as input.
    void Unguard(VARIANT& a) const {
        if (a.vt == VT_DISPATCH) {
            a.pdispVal = stop_->Unguard(a.pdispVal);
        } else if (a.vt == (VT_BYREF | VT_DISPATCH) && a.ppdispVal) {
            IDispatch* p = stop_->Unguard(*a.ppdispVal);
            a.vt = VT_DISPATCH;
            a.pdispVal = p;
        } else if (a.vt == (VT_BYREF | VT_VARIANT) && a.pvarVal && a.pvarVal->vt == VT_DISPATCH) {
            IDispatch* p = stop_->Unguard(a.pvarVal->pdispVal);
            a.vt = VT_DISPATCH;
            a.pdispVal = p;
        }
    }

    std::shared_ptr<RunStop> stop_;
    ComPtr<IDispatch> real_;
    ComPtr<IUnknown> identity_;
};

IDispatch* RunStop::Guard(IDispatch* real) {
    ComPtr<IUnknown> identity;
    if (FAILED(real->QueryInterface(IID_IUnknown, identity.put_void())) || !identity)
        identity = ComPtr<IUnknown>(real);
    if (auto it = guards_.find(identity.get()); it != guards_.end()) {
        it->second->AddRef();
        return it->second;
    }
    auto* guard = new GuardedDispatch(shared_from_this(), real, identity.get());
    guards_.emplace(identity.get(), guard);
    hosts_.emplace(guard, real);
    return guard;
}

IDispatch* RunStop::Unguard(IDispatch* p) const {
    auto it = hosts_.find(p);
    return it == hosts_.end() ? p : it->second;
}

void RunStop::GuardVariant(VARIANT* v) {
    if (v->vt == VT_DISPATCH && v->pdispVal) {
        if (hosts_.count(v->pdispVal)) return;  // already ours
        IDispatch* real = v->pdispVal;
        v->pdispVal = Guard(real);
        real->Release();
    } else if (v->vt == VT_UNKNOWN && v->punkVal) {
        ComPtr<IEnumVARIANT> items;
        if (FAILED(v->punkVal->QueryInterface(IID_IEnumVARIANT, items.put_void())) || !items)
            return;
        v->punkVal->Release();
        v->punkVal = new GuardedEnum(shared_from_this(), std::move(items));
    }
}

HRESULT RunStop::StoppedResult(EXCEPINFO* excep) {
    if (excep) {
        *excep = EXCEPINFO{};
        excep->scode = E_ABORT;
        excep->bstrSource = ::SysAllocString(L"Zeph");
        excep->bstrDescription =
            ::SysAllocString(Wide(u8"Выполнение скрипта остановлено"_cp).c_str());
    }
    return excep ? DISP_E_EXCEPTION : E_ABORT;
}

void RunStop::LetInputIn() noexcept {
    const ULONGLONG now = ::GetTickCount64();
    if (now - input_read_at_ < kInputEveryMs) return;
    input_read_at_ = now;
    // Unlike peeking, asking for the queue's state dispatches nothing: no window of ours runs
    // inside the script.
    ::GetQueueStatus(QS_INPUT);
}

namespace {

class StopCheckItem final : public SingleMethodDispatch {
  public:
    explicit StopCheckItem(std::shared_ptr<RunStop> stop)
        : SingleMethodDispatch(L"Tick"), stop_(std::move(stop)) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO* excep, UINT*) override {
        if (id != kMethod) return DISP_E_MEMBERNOTFOUND;
        stop_->LetInputIn();
        if (stop_->Stopped()) return RunStop::StoppedResult(excep);
        if (result) {
            ::VariantInit(result);
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_TRUE;
        }
        return S_OK;
    }

  private:
    std::shared_ptr<RunStop> stop_;
};

}  // namespace

IDispatch* CreateStopCheckItem(std::shared_ptr<RunStop> stop) {
    return new StopCheckItem(std::move(stop));
}

}  // namespace zeph::win
