#include "host/workbench_launcher.h"

#include <cwchar>

namespace tellur {

namespace {

// The module's dual interface; called through its vtable (slots 7 and 8 after IDispatch).
struct IComModuleCalls : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Init(ITellurApplication* application) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenMainModelessDialog() = 0;
};
constexpr IID kIidComModule = {
    0xBB70A3BD, 0x76BF, 0x46F7, {0xB1, 0x8B, 0xA5, 0x38, 0x01, 0xAB, 0xFF, 0xCA}};

std::wstring SystemText(HRESULT hr) {
    wchar_t* buffer = nullptr;
    DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", n);
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

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
    if (r.description.empty()) r.description = SystemText(hr);
    return r;
}

}  // namespace

LaunchResult WorkbenchLauncher::Open(ITellurApplication* application) {
    if (!module_) {
        CLSID clsid;
        HRESULT hr = ::CLSIDFromProgID(kProgId, &clsid);
        if (FAILED(hr)) {
            LaunchResult r = Failure(hr, L"CLSIDFromProgID");
            std::wstring system = r.description;
            r.description =
                L"Модуль " + std::wstring(kProgId) + L" не зарегистрирован (regsvr32 zeph.dll).";
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
