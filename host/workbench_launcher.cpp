#include "host/workbench_launcher.h"

#include <cwchar>

#include "base/result.h"

namespace tellur {

// The module's dual interface; called through its vtable (slots 7 and 8 after IDispatch).
// External linkage on purpose: a class only this file could implement would let the compiler
// treat calls through it as unreachable.
struct IComModuleCalls : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Init(ITellurApplication* application) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenMainModelessDialog() = 0;
};

namespace {

constexpr IID kIidComModule = {
    0xBB70A3BD, 0x76BF, 0x46F7, {0xB1, 0x8B, 0xA5, 0x38, 0x01, 0xAB, 0xFF, 0xCA}};

// The thread's error information when the failed call left some, else the system's text.
LaunchResult Failure(HRESULT hr, const wchar_t* step) {
    LaunchResult r{hr, step, L""};
    zeph::win::ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.put()) == S_OK && info) {
        BSTR description = nullptr;
        if (SUCCEEDED(info->GetDescription(&description)) && description)
            r.description.assign(description, ::SysStringLen(description));
        ::SysFreeString(description);
    }
    if (r.description.empty()) r.description = zeph::win::SystemText(static_cast<DWORD>(hr));
    return r;
}

}  // namespace

LaunchResult WorkbenchLauncher::Open(ITellurApplication* application) {
    if (!module_) {
        CLSID clsid;
        HRESULT hr = ::CLSIDFromProgID(progId_.c_str(), &clsid);
        if (FAILED(hr)) {
            LaunchResult r = Failure(hr, L"CLSIDFromProgID");
            std::wstring system = r.description;
            r.description = L"Модуль " + progId_ + L" не зарегистрирован (regsvr32 zeph.dll).";
            if (!system.empty()) r.description += L" " + system;
            return r;
        }
        zeph::win::ComPtr<IDispatch> module;
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIidComModule,
                                module.put_void());
        if (FAILED(hr)) return Failure(hr, L"CoCreateInstance");
        ::SetErrorInfo(0, nullptr);
        hr = static_cast<IComModuleCalls*>(module.get())->Init(application);
        if (FAILED(hr)) return Failure(hr, L"Init");
        module_ = std::move(module);
    }
    ::SetErrorInfo(0, nullptr);
    HRESULT hr = static_cast<IComModuleCalls*>(module_.get())->OpenMainModelessDialog();
    if (FAILED(hr)) return Failure(hr, L"OpenMainModelessDialog");
    return {};
}

std::wstring LaunchErrorText(const LaunchResult& result) {
    wchar_t code[16];
    std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(result.code));
    std::wstring text = L"Не удалось открыть редактор скриптов.\n\nВызов: " + result.step +
                        L"\nКод ошибки: " + code;
    if (!result.description.empty()) text += L"\n" + result.description;
    return text;
}

}  // namespace tellur
