// The factory of the module object: one per process, alive from module load to unload; every
// CreateInstance makes a new module object.
#pragma once

#include <objbase.h>
#include <windows.h>

namespace zeph::module {

class TComModuleFactory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) noexcept override;
    // The factory is static: counting its references would only hide it from DllCanUnloadNow.
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return 2; }
    STDMETHODIMP_(ULONG) Release() noexcept override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) noexcept override;
    STDMETHODIMP LockServer(BOOL lock) noexcept override;
};

TComModuleFactory& Factory() noexcept;

}  // namespace zeph::module
