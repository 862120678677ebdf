#include "module/class_factory.h"

#include <new>

#include "module/com_module.h"
#include "module/server.h"
#include "module/window_factory.h"

namespace zeph::module {

namespace {

TComModuleFactory g_factory;

}  // namespace

TComModuleFactory& Factory() noexcept {
    return g_factory;
}

STDMETHODIMP TComModuleFactory::QueryInterface(REFIID riid, void** object) noexcept {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP TComModuleFactory::CreateInstance(IUnknown* outer, REFIID riid,
                                               void** object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    TComModule* module = nullptr;
    try {
        module = new TComModule(DllWindowFactory());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = module->QueryInterface(riid, object);
    module->Release();  // the object goes again when the interface was refused
    return hr;
}

STDMETHODIMP TComModuleFactory::LockServer(BOOL lock) noexcept {
    module::LockServer(lock != FALSE);
    return S_OK;
}

}  // namespace zeph::module
