// Module entry points: DllMain and the four exports of an in-process server.
#include "module/server.h"

#include <atomic>

#include "base/com_object.h"
#include "base/result.h"
#include "base/window_class.h"
#include "forms/forms.h"
#include "forms/whats_this.h"
#include "module/class_factory.h"
#include "module/registration.h"
#include "xml/xml.h"
#include "zeph.h"

namespace zeph::module {

namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

}  // namespace

std::wstring ModulePath() {
    std::wstring path = win::ModuleFileName(win::CodeModule());
    if (path.empty()) win::ThrowLastError("GetModuleFileNameW");
    return path;
}

void ObjectCreated() noexcept {
    ++g_objects;
}
void ObjectDestroyed() noexcept {
    --g_objects;
}
void LockServer(bool lock) noexcept {
    if (lock)
        ++g_locks;
    else
        --g_locks;
}
bool CanUnload() noexcept {
    return g_objects == 0 && g_locks <= 0 && win::script_objects == 0;
}

}  // namespace zeph::module

using namespace zeph::module;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        // Nothing else under the loader lock: the what's-this hook comes with the first window
        // (TComModule), and goes when COM asks whether the module may unload.
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // FreeLibrary without asking DllCanUnloadNow first: a later load may sit at another
        // address, so no hook or atom may stay behind, but the help library is left loaded
        // rather than freed under the loader lock.
        zeph::win::AbandonWhatsThis();
        zeph::win::UnregisterModuleClasses();
        // The memory kept for the next documents would otherwise stay with the process.
        zeph::xml::ReleaseSpareMemory();
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_ComModule) return CLASS_E_CLASSNOTAVAILABLE;
    try {
        auto* factory = new TComModuleFactory();
        const HRESULT hr = factory->QueryInterface(riid, object);
        factory->Release();
        return hr;
    }
    CATCH_RETURN()
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    if (!CanUnload()) return S_FALSE;
    // COM asks on the host's thread, outside the loader lock: the place to close the help
    // viewer and free its library before the module goes.
    zeph::win::UnloadWhatsThis();
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    try {
        RegisterServer();
        return S_OK;
    }
    CATCH_RETURN()
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    try {
        UnregisterServer();
        return S_OK;
    }
    CATCH_RETURN()
}

// regsvr32 /n /i:user (or /i:machine) registers; with /u it removes the same entries.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, PCWSTR command_line) {
    Scope scope{};
    if (!ParseScope(command_line ? command_line : L"", scope)) return E_INVALIDARG;
    try {
        if (install)
            InstallServer(scope);
        else
            UninstallServer(scope);
        return S_OK;
    }
    CATCH_RETURN()
}
