// A minimal host application for window tests: a data folder and a selection of identifiers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tellur.h"

namespace zeph::win::testing {

template <typename I>
class DispatchStub : public I {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(I)) {
            *out = static_cast<I*>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // lives on the test's stack
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }
    ULONG refs = 1;
};

class FakeSelection : public DispatchStub<ITellurSelection> {
  public:
    std::vector<std::wstring> ids;
    HRESULT STDMETHODCALLTYPE GetSelectedCount(LONG* count) override {
        *count = static_cast<LONG>(ids.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override { return GetSelectedCount(count); }
    HRESULT STDMETHODCALLTYPE get_Item(LONG, ITellurMapObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Add(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Remove(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clear() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Contains(BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectAll() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSelectedID(LONG index, BSTR* id) override {
        if (index < 0 || index >= static_cast<LONG>(ids.size())) return E_INVALIDARG;
        *id = ::SysAllocString(ids[index].c_str());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SelectByKind(TellurObjectKind) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_IDs(BSTR*) override { return E_NOTIMPL; }
};

class FakeApplication : public DispatchStub<ITellurApplication> {
  public:
    std::wstring folder = L"C:\\nowhere\\";
    int folder_asks = 0;
    FakeSelection selection;
    HRESULT STDMETHODCALLTYPE GetMainWindow(ITellurMainWindow**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSelection(ITellurSelection** out) override {
        selection.AddRef();
        *out = &selection;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Map(ITellurMap**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Selection(ITellurSelection** out) override {
        return GetSelection(out);
    }
    HRESULT STDMETHODCALLTYPE get_StatusText(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StatusText(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Units(TellurUnits*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Units(TellurUnits) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMap(ITellurMap**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OpenMap(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Log(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDataFolder(BSTR* out) override {
        ++folder_asks;  // one for every file the workbench reads
        *out = ::SysAllocString(folder.c_str());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Redraw() override { return E_NOTIMPL; }
};

}  // namespace zeph::win::testing
