// The one IUnknown of every COM object of ours (the module object, its class factory, the small
// objects a run hands to the engine, the demo host's automation objects): the interfaces an
// object answers are listed once, the first is what IUnknown gives, IDispatch is answered when
// the first derives from it; a reference count; deleted with the last reference.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <atomic>
#include <cwchar>
#include <type_traits>

namespace zeph::win {

template <class Main, class... Others>
class ComObject : public Main, public Others... {
  public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = Find(iid);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

  protected:
    ComObject() noexcept = default;
    virtual ~ComObject() = default;
    // IIDs besides the listed ones that the main interface stands for (an object whose
    // interface is chosen at run time); false for none.
    virtual bool AlsoAnswers(REFIID) const { return false; }

  private:
    void* Find(REFIID iid) {
        if (iid == IID_IUnknown || iid == __uuidof(Main) || AlsoAnswers(iid))
            return static_cast<Main*>(this);
        if constexpr (std::is_base_of_v<IDispatch, Main>)
            if (iid == IID_IDispatch) return static_cast<Main*>(this);
        void* found = nullptr;
        (void)((iid == __uuidof(Others) ? (found = static_cast<Others*>(this), true) : false) ||
               ...);
        return found;
    }

    // Atomic: a host may release its objects from another thread.
    std::atomic<ULONG> refs_{1};
};

// Objects of this kind alive in the module: a script may hand one to the host, which can release
// it after the workbench is gone, so the module may not unload while any lives.
inline std::atomic<long> script_objects{0};

// The small objects a run hands to the engine: one interface, counted in script_objects.
template <typename Interface>
class ScriptObject : public ComObject<Interface> {
  protected:
    ScriptObject() noexcept { ++script_objects; }
    ~ScriptObject() override { --script_objects; }
};

// An automation object with one method, `name` (any case), as DISPID 1: the small objects a run
// publishes to the engine. Subclasses answer Invoke.
class SingleMethodDispatch : public ScriptObject<IDispatch> {
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
