// The base of Tellur's automation objects: IDispatch from the executable's type library, and
// the guard that turns every failure of a method into an HRESULT with error information.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <atomic>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "base/com_object.h"
#include "base/result.h"
#include "base/unique.h"
#include "host/automation.h"

namespace tellur::dispatch {

using zeph::win::ComPtr;

// A failure with its own code and user text.
using HostError = zeph::win::HResultError;

// The HRESULT for the exception being handled, with the thread's error information set.
HRESULT ReportCaught(REFIID iid) noexcept;

template <typename F>
HRESULT Guard(REFIID iid, F&& body) noexcept {
    ::SetErrorInfo(0, nullptr);
    try {
        body();
        return S_OK;
    } catch (...) {
        return ReportCaught(iid);
    }
}

template <typename T>
void CheckOut(T* out) {
    if (!out) throw HostError(E_POINTER, L"Не задан адрес результата");
}

inline BSTR AllocString(const std::wstring& s) {
    BSTR b = ::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    if (!b) throw std::bad_alloc();
    return b;
}

inline std::wstring FromBstr(BSTR b) {
    return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring();
}

inline VARIANT_BOOL Bool(bool b) {
    return b ? VARIANT_TRUE : VARIANT_FALSE;
}

inline HostWindow& WindowOf(const Host& host) {
    if (!host.window) throw HostError(E_UNEXPECTED, L"Главное окно Теллура уже закрыто");
    return *host.window;
}

template <typename I>
void Hand(ComPtr<I> object, I** out) {
    *out = object.detach();
}

struct TypeInfoPair {
    ComPtr<ITypeInfo> dispatch;  // what clients get from GetTypeInfo
    ComPtr<ITypeInfo> vtable;    // the interface part, which Invoke needs
};

// The dispatch and vtable type information of an interface of the host's type library.
TypeInfoPair LoadTypeInfo(REFIID iid);

template <typename I>
class Dispatch : public zeph::win::ComObject<I, ISupportErrorInfo> {
  public:
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return Guard(iid_, [&] { *info = ComPtr<ITypeInfo>(Types().dispatch.get()).detach(); });
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        ITypeInfo* info = nullptr;
        if (HRESULT hr = Guard(iid_, [&] { info = Types().vtable.get(); }); FAILED(hr)) return hr;
        return info->GetIDsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
        ITypeInfo* info = nullptr;
        if (HRESULT hr = Guard(iid_, [&] { info = Types().vtable.get(); }); FAILED(hr)) return hr;
        DISPPARAMS none = {};
        if (!params) params = &none;
        HRESULT hr = info->Invoke(static_cast<I*>(this), id, flags, params, result, excep, argErr);
        // A property read written as a call, as JScript does for obj.Count().
        if (hr == DISP_E_MEMBERNOTFOUND && flags == DISPATCH_METHOD)
            hr = info->Invoke(static_cast<I*>(this), id, DISPATCH_PROPERTYGET, params, result,
                              excep, argErr);
        return hr;
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
        return Answers(riid) ? S_OK : S_FALSE;
    }

  protected:
    Dispatch(std::shared_ptr<Host> host, const IID& iid) : host_(std::move(host)), iid_(iid) {}
    ~Dispatch() override = default;

    // Interfaces this object's vtable serves besides IUnknown and IDispatch.
    virtual bool Answers(REFIID riid) const { return riid == iid_; }
    bool AlsoAnswers(REFIID riid) const override { return Answers(riid); }

    template <typename F>
    HRESULT Run(F&& body) noexcept {
        return Guard(iid_, std::forward<F>(body));
    }

    Host& host() const { return *host_; }
    const std::shared_ptr<Host>& shared() const { return host_; }

  private:
    const TypeInfoPair& Types() {
        if (!types_.vtable) types_ = LoadTypeInfo(iid_);
        return types_;
    }

    std::shared_ptr<Host> host_;
    const IID& iid_;
    TypeInfoPair types_;
};

}  // namespace tellur::dispatch
