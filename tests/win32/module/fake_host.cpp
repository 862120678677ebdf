#include "fake_host.h"

namespace zeph::test {

STDMETHODIMP FakeMainWindow::QueryInterface(REFIID riid, void** object) {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ITellurMainWindow) {
        *object = static_cast<ITellurMainWindow*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP FakeMainWindow::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

STDMETHODIMP FakeMainWindow::GetWindowHandle(long* handle) {
    if (FAILED(handleResult)) return handleResult;
    *handle = static_cast<long>(reinterpret_cast<LONG_PTR>(hwnd_));
    return S_OK;
}

STDMETHODIMP FakeApplication::QueryInterface(REFIID riid, void** object) {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ITellurApplication) {
        *object = static_cast<ITellurApplication*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP FakeApplication::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

STDMETHODIMP FakeApplication::GetMainWindow(ITellurMainWindow** window) {
    *window = nullptr;
    if (FAILED(mainWindowResult)) return mainWindowResult;
    mainWindow_.AddRef();
    *window = &mainWindow_;
    return S_OK;
}

STDMETHODIMP FakeApplication::GetDataFolder(BSTR* folder) {
    *folder = nullptr;
    if (FAILED(dataFolderResult)) return dataFolderResult;
    *folder = ::SysAllocString(dataFolder_.c_str());
    return *folder ? S_OK : E_OUTOFMEMORY;
}

}  // namespace zeph::test
