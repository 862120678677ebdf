// A small stand-in for the host's application object: a main window given by handle, a data
// folder, and switches that make either call fail. Counts its references so that tests see
// what the module keeps.
#pragma once

#include <windows.h>

#include <string>

#include "tellur.h"

namespace zeph::test {

class FakeMainWindow : public ITellurMainWindow {
  public:
    explicit FakeMainWindow(HWND hwnd) : hwnd_(hwnd) {}
    HRESULT handleResult = S_OK;

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override { return --refs_; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetWindowHandle(long* handle) override;
    STDMETHODIMP get_Caption(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Caption(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP Activate() override { return S_OK; }

  private:
    HWND hwnd_;
    ULONG refs_ = 1;
};

class FakeApplication : public ITellurApplication {
  public:
    FakeApplication(HWND mainWindow, std::wstring dataFolder)
        : mainWindow_(mainWindow), dataFolder_(std::move(dataFolder)) {}

    HRESULT mainWindowResult = S_OK;
    HRESULT dataFolderResult = S_OK;
    ULONG References() const { return refs_; }
    FakeMainWindow& MainWindow() { return mainWindow_; }

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override { return --refs_; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        return E_NOTIMPL;
    }

    STDMETHODIMP GetMainWindow(ITellurMainWindow** window) override;
    STDMETHODIMP GetSelection(ITellurSelection**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Map(ITellurMap**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Name(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Selection(ITellurSelection**) override { return E_NOTIMPL; }
    STDMETHODIMP get_StatusText(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP put_StatusText(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP get_Units(TellurUnits*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Units(TellurUnits) override { return E_NOTIMPL; }
    STDMETHODIMP GetMap(ITellurMap**) override { return E_NOTIMPL; }
    STDMETHODIMP OpenMap(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP Log(BSTR) override { return S_OK; }
    STDMETHODIMP GetDataFolder(BSTR* folder) override;
    STDMETHODIMP Redraw() override { return S_OK; }

  private:
    FakeMainWindow mainWindow_;
    std::wstring dataFolder_;
    ULONG refs_ = 1;
};

}  // namespace zeph::test
