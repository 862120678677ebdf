// The IUnknown part of the small COM objects we hand to script engines: one interface besides
// IUnknown, a plain reference count (they live on the window's thread), deleted with the last
// reference.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <atomic>
#include <cwchar>

namespace zeph::win {

// Objects of this kind alive in the module: a script may hand one to the host, which can release
// it after the workbench is gone, so the module may not unload while any lives.
inline std::atomic<long> script_objects{0};

template <typename Interface, const IID& kInterfaceId>
class SingleInterfaceObject : public Interface {
  public:
    SingleInterfaceObject() noexcept { ++script_objects; }
    SingleInterfaceObject(const SingleInterfaceObject&) = delete;
    SingleInterfaceObject& operator=(const SingleInterfaceObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == kInterfaceId) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

  protected:
    virtual ~SingleInterfaceObject() { --script_objects; }

  private:
    ULONG refs_ = 1;
};

// An automation object with one method, `name` (any case), as DISPID 1: the small objects a run
// publishes to the engine. Subclasses answer Invoke.
class SingleMethodDispatch : public SingleInterfaceObject<IDispatch, IID_IDispatch> {
  public:
    static constexpr DISPID kMethod = 1;

    explicit SingleMethodDispatch(const wchar_t* name) noexcept : name_(name) {}

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        if (!n) return E_POINTER;
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    // Names of arguments are none of ours: the method is found, its named arguments are not.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        if (count >= 1 && ::_wcsicmp(names[0], name_) == 0) {
            ids[0] = kMethod;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
        return DISP_E_UNKNOWNNAME;
    }

  private:
    const wchar_t* name_;
};

}  // namespace zeph::win
