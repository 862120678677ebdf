// The installed module as a host meets it, and what the uninstaller must leave behind.
//   install_client open user|machine DATA_FOLDER
//                                          create Zeph.ComModule by its ProgID, open the workbench
//   install_client registered user|machine FOLDER
//                                          both bitnesses point at FOLDER\x64 and FOLDER\x86
//   install_client clean                   no key of ours in either hive or registry view
//   install_client progid                  whether COM itself creates Zeph.ComModule
// Exit status 0 when all is as expected; each finding is printed.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/unique.h"
#include "fake_host.h"
#include "zeph.h"

using zeph::win::ComPtr;

namespace {

constexpr const wchar_t* kClassKey = L"CLSID\\{1892F24B-0A84-4BAA-93FC-AB0FA34472A7}";
constexpr const wchar_t* kOurKeys[] = {
    L"Software\\Classes\\CLSID\\{1892F24B-0A84-4BAA-93FC-AB0FA34472A7}",
    L"Software\\Classes\\TypeLib\\{A9A49A8D-4C72-4DF8-803F-6BA68FB2C5E3}",
    L"Software\\Classes\\Interface\\{BB70A3BD-76BF-46F7-B18B-A53801ABFFCA}",
    L"Software\\Classes\\Zeph.ComModule",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zeph",
};

int Fail(const std::wstring& what) {
    std::fwprintf(stderr, L"install_client: %ls\n", what.c_str());
    return 1;
}

struct EnumSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindWorkbench(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<EnumSearch*>(param);
    wchar_t name[64] = L"";
    ::GetClassNameW(hwnd, name, 64);
    if (::GetWindow(hwnd, GW_OWNER) == search->owner &&
        std::wstring(name) == L"TMainModelessDialogForm") {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// What COM does for a ProgID registered under the user's classes: Wine's COM reads only the
// machine's, so for the user's registration the same steps are taken here from the registry.
HRESULT CreateFromUsersClasses(ComPtr<IComModule>& module) {
    wchar_t text[256] = L"", path[MAX_PATH] = L"";
    DWORD size = sizeof(text);
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Classes\\Zeph.ComModule\\CLSID", nullptr,
                       RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return REGDB_E_CLASSNOTREG;
    CLSID clsid{};
    if (FAILED(::CLSIDFromString(text, &clsid)) || !IsEqualCLSID(clsid, CLSID_ComModule))
        return REGDB_E_CLASSNOTREG;
    size = sizeof(path);
    const std::wstring server =
        std::wstring(L"Software\\Classes\\") + kClassKey + L"\\InprocServer32";
    if (::RegGetValueW(HKEY_CURRENT_USER, server.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path,
                       &size) != ERROR_SUCCESS)
        return REGDB_E_CLASSNOTREG;
    HMODULE dll = ::LoadLibraryW(path);  // stays loaded for the process, as COM keeps it
    if (!dll) return HRESULT_FROM_WIN32(::GetLastError());
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    if (!get) return E_NOINTERFACE;
    ComPtr<IClassFactory> factory;
    if (HRESULT hr = get(clsid, IID_IClassFactory, factory.put_void()); FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, IID_IComModule, module.put_void());
}

int OpenWorkbench(const std::wstring& scope, const std::wstring& data_folder) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"InstallClientHost";
    ::RegisterClassW(&wc);
    zeph::win::UniqueWindow host(::CreateWindowExW(0, wc.lpszClassName, L"Host",
                                                   WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                                   nullptr, wc.hInstance, nullptr));
    if (!host) return Fail(L"no host window");
    zeph::test::FakeApplication app(host.get(), data_folder);

    ComPtr<IComModule> module;
    HRESULT hr = REGDB_E_CLASSNOTREG;
    if (scope == L"user") {
        hr = CreateFromUsersClasses(module);
    } else {
        CLSID clsid{};
        hr = ::CLSIDFromProgID(L"Zeph.ComModule", &clsid);
        if (SUCCEEDED(hr))
            hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IComModule,
                                    module.put_void());
    }
    if (FAILED(hr)) return Fail(L"Zeph.ComModule cannot be created: " + std::to_wstring(hr));
    if (FAILED(module->Init(&app)) || FAILED(module->OpenMainModelessDialog()))
        return Fail(L"the workbench did not open");

    EnumSearch search{host.get(), nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindWorkbench, reinterpret_cast<LPARAM>(&search));
    if (!search.found || !::IsWindowVisible(search.found))
        return Fail(L"no visible workbench window owned by the host");
    // Closing stores the work in progress in the data folder, as a user's session would.
    ::SendMessageW(search.found, WM_CLOSE, 0, 0);
    module.reset();
    std::wprintf(L"install_client: workbench opened and closed\n");
    return 0;
}

std::wstring ReadValue(HKEY hive, REGSAM view, const std::wstring& key) {
    zeph::win::UniqueKey handle;
    wchar_t value[1024] = L"";
    DWORD size = sizeof(value);
    if (::RegOpenKeyExW(hive, key.c_str(), 0, KEY_READ | view, handle.put()) != ERROR_SUCCESS ||
        ::RegGetValueW(handle.get(), nullptr, nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
            ERROR_SUCCESS)
        return L"<missing>";
    return value;
}

int CheckRegistered(const std::wstring& scope, const std::wstring& folder) {
    const HKEY hive = scope == L"user" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    const std::wstring key = std::wstring(L"Software\\Classes\\") + kClassKey + L"\\InprocServer32";
    int failures = 0;
    const struct {
        REGSAM view;
        const wchar_t* dll;
    } expected[] = {{KEY_WOW64_64KEY, L"\\x64\\zeph.dll"}, {KEY_WOW64_32KEY, L"\\x86\\zeph.dll"}};
    for (const auto& e : expected) {
        const std::wstring value = ReadValue(hive, e.view, key);
        if (::lstrcmpiW(value.c_str(), (folder + e.dll).c_str()) != 0)
            failures += Fail(L"server of the " + std::wstring(e.dll) + L" view is " + value);
        // One scope's install leaves the other's classes alone.
        const HKEY other = hive == HKEY_CURRENT_USER ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        if (ReadValue(other, e.view, key) != L"<missing>")
            failures += Fail(L"the other scope's classes have a server too");
    }
    return failures == 0 ? 0 : 1;
}

int CheckClean() {
    int left = 0;
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            for (const wchar_t* key : kOurKeys) {
                zeph::win::UniqueKey handle;
                if (::RegOpenKeyExW(hive, key, 0, KEY_READ | view, handle.put()) != ERROR_SUCCESS)
                    continue;
                left += Fail(std::wstring(hive == HKEY_CURRENT_USER ? L"HKCU\\" : L"HKLM\\") + key +
                             (view == KEY_WOW64_32KEY ? L" (32-bit view)" : L"") + L" is left");
            }
        }
    }
    return left == 0 ? 0 : 1;
}

bool CreatedByProgId() {
    CLSID clsid{};
    ComPtr<IComModule> module;
    return SUCCEEDED(::CLSIDFromProgID(L"Zeph.ComModule", &clsid)) &&
           SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IComModule,
                                        module.put_void()));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) != S_OK) return Fail(L"no COM");
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    int rc = 2;
    if (mode == L"open" && argc == 4)
        rc = OpenWorkbench(argv[2], argv[3]);
    else if (mode == L"registered" && argc == 4)
        rc = CheckRegistered(argv[2], argv[3]);
    else if (mode == L"clean" && argc == 2)
        rc = CheckClean();
    else if (mode == L"progid" && argc == 2)
        rc = CreatedByProgId() ? 0 : 1;
    else
        Fail(
            L"usage: install_client open user|machine FOLDER | registered user|machine FOLDER | "
            L"clean | progid");
    ::CoUninitialize();
    return rc;
}
