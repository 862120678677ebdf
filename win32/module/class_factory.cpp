#include "module/class_factory.h"

#include <new>

#include "base/result.h"
#include "module/com_module.h"
#include "module/server.h"
#include "module/window_factory.h"

namespace zeph::module {

STDMETHODIMP TComModuleFactory::CreateInstance(IUnknown* outer, REFIID riid,
                                               void** object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    try {
        TComModule* module = new TComModule(DllWindowFactory());
        HRESULT hr = module->QueryInterface(riid, object);
        module->Release();  // the object goes again when the interface was refused
        return hr;
    }
    CATCH_RETURN()
}

STDMETHODIMP TComModuleFactory::LockServer(BOOL lock) noexcept {
    module::LockServer(lock != FALSE);
    return S_OK;
}

}  // namespace zeph::module
