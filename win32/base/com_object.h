// The IUnknown part of the small COM objects we hand to script engines: one interface besides
// IUnknown, a plain reference count (they live on the window's thread), deleted with the last
// reference.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <atomic>

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

}  // namespace zeph::win
