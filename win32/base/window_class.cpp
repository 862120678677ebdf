#include "base/window_class.h"

#include <string>
#include <vector>

#include "base/result.h"

namespace zeph::win {

namespace {

std::vector<std::wstring>& Registered() {
    static std::vector<std::wstring> names;
    return names;
}

}  // namespace

std::wstring ModuleFileName(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) return path.substr(0, n);
        path.resize(path.size() * 2);  // cut short: the path is longer than the room
    }
}

HINSTANCE CodeModule() noexcept {
    static HINSTANCE module = [] {
        HMODULE m = nullptr;
        ::GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&CodeModule), &m);
        return m;
    }();
    return module;
}

void RegisterModuleClass(WNDCLASSEXW wc) {
    wc.cbSize = sizeof(wc);
    wc.hInstance = CodeModule();
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(wc.hInstance, wc.lpszClassName, &existing)) {
        if (existing.lpfnWndProc == wc.lpfnWndProc) return;
        ::UnregisterClassW(wc.lpszClassName, wc.hInstance);
    }
    if (!::RegisterClassExW(&wc)) ThrowLastError("RegisterClassExW");
    for (const std::wstring& name : Registered())
        if (name == wc.lpszClassName) return;
    Registered().emplace_back(wc.lpszClassName);
}

void UnregisterModuleClasses() noexcept {
    try {
        for (const std::wstring& name : Registered())
            ::UnregisterClassW(name.c_str(), CodeModule());
        Registered().clear();
    } catch (...) {
    }
}

}  // namespace zeph::win
