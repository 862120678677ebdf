// The server DLL as the host meets it: loaded by path or through the registry, the module object
// driven through its vtable and late-bound, its window checked from outside.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleauto.h>

#include <cwchar>
#include <string>
#include <vector>

#include "base/unique.h"
#include "desktop.h"
#include "fake_host.h"
#include "host/automation.h"
#include "zeph.h"

using namespace zeph::win;
using zeph::test::FakeApplication;

namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

using zeph::win::test::WindowsPath;

std::wstring ModuleFile() {
    return WindowsPath(ZEPH_MODULE_DLL);
}

// A top-level window standing in for the host's main window.
class HostWindow {
  public:
    HostWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ModuleTestHost";
        ::RegisterClassW(&wc);
        hwnd_ = ::CreateWindowExW(0, L"ModuleTestHost", L"Host", WS_OVERLAPPEDWINDOW, 0, 0, 640,
                                  480, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~HostWindow() { ::DestroyWindow(hwnd_); }
    HWND get() const { return hwnd_; }

  private:
    HWND hwnd_;
};

// The module's windows: top-level windows of this thread owned by the host window.
struct OwnedSearch {
    HWND owner;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectOwned(HWND hwnd, LPARAM lparam) {
    auto* s = reinterpret_cast<OwnedSearch*>(lparam);
    if (::GetWindow(hwnd, GW_OWNER) == s->owner) s->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> OwnedWindows(HWND owner) {
    OwnedSearch search{owner, {}};
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring TestDataFolder() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"zeph_module_test_" +
                          std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

class ModuleTest : public ::testing::Test {
  protected:
    // The host registers its own library; the module's refers to it.
    static void SetUpTestSuite() {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ASSERT_EQ(tellur::RegisterHostTypeLibrary(), S_OK);
        ::CoUninitialize();
    }

    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        LoadModule();
    }
    void LoadModule() {
        dll_.reset(::LoadLibraryW(ModuleFile().c_str()));
        ASSERT_TRUE(dll_) << "cannot load the module, error " << ::GetLastError();
        getClassObject_ = reinterpret_cast<GetClassObjectFn>(
            reinterpret_cast<void*>(::GetProcAddress(dll_.get(), "DllGetClassObject")));
        canUnloadNow_ = reinterpret_cast<CanUnloadNowFn>(
            reinterpret_cast<void*>(::GetProcAddress(dll_.get(), "DllCanUnloadNow")));
        ASSERT_TRUE(getClassObject_ && canUnloadNow_);
    }
    void TearDown() override {
        dll_.reset();
        ::CoUninitialize();
    }

    ComPtr<IComModule> CreateModule() {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(getClassObject_(CLSID_ComModule, IID_IClassFactory, factory.put_void()), S_OK);
        ComPtr<IComModule> module;
        if (factory) {
            EXPECT_EQ(factory->CreateInstance(nullptr, IID_IComModule, module.put_void()), S_OK);
        }
        return module;
    }

    UniqueModule dll_;
    GetClassObjectFn getClassObject_ = nullptr;
    CanUnloadNowFn canUnloadNow_ = nullptr;
    HostWindow host_;
    FakeApplication app_{host_.get(), TestDataFolder()};
};

struct ErrorDetails {
    std::wstring description, source;
    GUID iid{};
};

ErrorDetails TakeErrorInfo() {
    ErrorDetails details;
    ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.put()) != S_OK || !info) return details;
    UniqueBstr text;
    if (SUCCEEDED(info->GetDescription(text.put())) && text) details.description = text.get();
    if (SUCCEEDED(info->GetSource(text.put())) && text) details.source = text.get();
    info->GetGUID(&details.iid);
    return details;
}

}  // namespace

// Loading does no work under the loader lock: what's-this help (its hook and atom) comes with
// the first window, and goes when COM finds the module unused, before FreeLibrary. A hook left
// behind would run code of the unloaded module at the next message.
TEST_F(ModuleTest, WhatsThisComesWithTheFirstWindowAndGoesBeforeTheUnload) {
    wchar_t property[32];
    std::swprintf(property, 32, L"ZephForm%08lX",
                  static_cast<unsigned long>(::GetCurrentProcessId()));
    EXPECT_EQ(::GlobalFindAtomW(property), 0) << "made while loading";
    {
        ComPtr<IComModule> module = CreateModule();
        ASSERT_TRUE(module);
        ASSERT_EQ(module->Init(&app_), S_OK);
        ASSERT_EQ(module->OpenMainModelessDialog(), S_OK);
        EXPECT_NE(::GlobalFindAtomW(property), 0);
        EXPECT_EQ(canUnloadNow_(), S_FALSE);
    }
    EXPECT_EQ(canUnloadNow_(), S_OK);
    EXPECT_EQ(::GlobalFindAtomW(property), 0) << "left for the unload";
    dll_.reset();
    ASSERT_EQ(::GetModuleHandleW(ModuleFile().c_str()), nullptr) << "the module stayed loaded";
    EXPECT_EQ(::GlobalFindAtomW(property), 0);
    ::PostMessageW(host_.get(), WM_NULL, 0, 0);
    ::PostMessageW(host_.get(), WM_LBUTTONDOWN, 0, 0);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

// Freed without being asked first (FreeLibrary alone): the hook and the atom still go.
TEST_F(ModuleTest, AnUnloadWithoutAskingStillLeavesNoHookOrAtom) {
    wchar_t property[32];
    std::swprintf(property, 32, L"ZephForm%08lX",
                  static_cast<unsigned long>(::GetCurrentProcessId()));
    {
        ComPtr<IComModule> module = CreateModule();
        ASSERT_TRUE(module);
        ASSERT_EQ(module->Init(&app_), S_OK);
        ASSERT_EQ(module->OpenMainModelessDialog(), S_OK);
    }
    EXPECT_NE(::GlobalFindAtomW(property), 0);
    dll_.reset();
    ASSERT_EQ(::GetModuleHandleW(ModuleFile().c_str()), nullptr) << "the module stayed loaded";
    EXPECT_EQ(::GlobalFindAtomW(property), 0);
    ::PostMessageW(host_.get(), WM_LBUTTONDOWN, 0, 0);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

TEST_F(ModuleTest, ClassObjectOnlyForTheModuleClass) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(IID_IComModule, IID_IClassFactory, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(CLSID_ComModule, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject_(CLSID_ComModule, IID_IClassFactory, factory.put_void()), S_OK);
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(&app_), IID_IUnknown,
                                      unknown.put_void()),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, unknown.put_void()),
              E_NOINTERFACE);
    EXPECT_FALSE(unknown);
    // A refused interface leaves no object behind.
    EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(ModuleTest, CanUnloadOnlyWithoutObjectsAndLocks) {
    EXPECT_EQ(canUnloadNow_(), S_OK);
    ComPtr<IComModule> first = CreateModule();
    ComPtr<IComModule> second = CreateModule();
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    first.reset();
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    second.reset();
    EXPECT_EQ(canUnloadNow_(), S_OK);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject_(CLSID_ComModule, IID_IClassFactory, factory.put_void()), S_OK);
    factory->LockServer(TRUE);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(ModuleTest, OneWindowOwnedByTheHostUntilClosed) {
    ComPtr<IComModule> module = CreateModule();
    ASSERT_TRUE(module);
    ASSERT_EQ(module->Init(&app_), S_OK);
    ASSERT_EQ(module->OpenMainModelessDialog(), S_OK);
    std::vector<HWND> windows = OwnedWindows(host_.get());
    ASSERT_EQ(windows.size(), 1u);
    HWND first = windows[0];
    EXPECT_TRUE(::IsWindowVisible(first));
    EXPECT_EQ(::GetWindowLongW(first, GWL_STYLE) & WS_CHILD, 0);

    // The second call shows the same window again.
    ::ShowWindow(first, SW_HIDE);
    ASSERT_EQ(module->OpenMainModelessDialog(), S_OK);
    EXPECT_EQ(OwnedWindows(host_.get()), std::vector<HWND>{first});
    EXPECT_TRUE(::IsWindowVisible(first));

    // Closing frees the window; the module forgets it and makes a new one next time.
    ::SendMessageW(first, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(first));
    EXPECT_TRUE(OwnedWindows(host_.get()).empty());
    ASSERT_EQ(module->OpenMainModelessDialog(), S_OK);
    windows = OwnedWindows(host_.get());
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_TRUE(::IsWindowVisible(windows[0]));

    // Releasing the module destroys its open window and lets go of the application.
    module.reset();
    EXPECT_FALSE(::IsWindow(windows[0]));
    EXPECT_EQ(app_.References(), 1u);
    EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(ModuleTest, WindowGoneWithTheHostWindowIsForgotten) {
    ComPtr<IComModule> module = CreateModule();
    HostWindow otherHost;
    FakeApplication other(otherHost.get(), TestDataFolder());
    ASSERT_EQ(module->Init(&other), S_OK);
    ASSERT_EQ(module->OpenMainModelessDialog(), S_OK);
    std::vector<HWND> windows = OwnedWindows(otherHost.get());
    ASSERT_EQ(windows.size(), 1u);
    ::DestroyWindow(otherHost.get());
    EXPECT_FALSE(::IsWindow(windows[0]));
    // No window to show any more, and none to free with the module.
    ASSERT_EQ(module->Init(&app_), S_OK);
    ASSERT_EQ(module->OpenMainModelessDialog(), S_OK);
    EXPECT_EQ(OwnedWindows(host_.get()).size(), 1u);
    module.reset();
    EXPECT_TRUE(OwnedWindows(host_.get()).empty());
}

TEST_F(ModuleTest, InitReplacesAndReleasesTheApplication) {
    ComPtr<IComModule> module = CreateModule();
    FakeApplication other(host_.get(), TestDataFolder());
    ASSERT_EQ(module->Init(&app_), S_OK);
    EXPECT_EQ(app_.References(), 2u);
    ASSERT_EQ(module->Init(&other), S_OK);
    EXPECT_EQ(app_.References(), 1u);
    EXPECT_EQ(other.References(), 2u);
    ASSERT_EQ(module->Init(nullptr), S_OK);
    EXPECT_EQ(other.References(), 1u);
    // Cleared again: nothing to open the window with.
    EXPECT_TRUE(FAILED(module->OpenMainModelessDialog()));
    EXPECT_TRUE(OwnedWindows(host_.get()).empty());
}

TEST_F(ModuleTest, OpenBeforeInitFailsWithErrorInfoAndNoWindow) {
    ComPtr<IComModule> module = CreateModule();
    ::SetErrorInfo(0, nullptr);
    EXPECT_EQ(module->OpenMainModelessDialog(), E_UNEXPECTED);
    ErrorDetails error = TakeErrorInfo();
    EXPECT_FALSE(error.description.empty());
    EXPECT_EQ(error.source, L"Zeph.ComModule");
    EXPECT_TRUE(IsEqualGUID(error.iid, IID_IComModule));
    EXPECT_TRUE(OwnedWindows(host_.get()).empty());

    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(module.As(&support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IComModule), S_OK);
}

TEST_F(ModuleTest, HostFailureCodesComeBackToTheHost) {
    ComPtr<IComModule> module = CreateModule();
    ASSERT_EQ(module->Init(&app_), S_OK);
    app_.mainWindowResult = E_ACCESSDENIED;
    ::SetErrorInfo(0, nullptr);
    EXPECT_EQ(module->OpenMainModelessDialog(), E_ACCESSDENIED);
    ErrorDetails error = TakeErrorInfo();
    EXPECT_FALSE(error.description.empty());
    EXPECT_EQ(error.source, L"Zeph.ComModule");

    app_.mainWindowResult = S_OK;
    app_.MainWindow().handleResult = DISP_E_OVERFLOW;
    EXPECT_EQ(module->OpenMainModelessDialog(), DISP_E_OVERFLOW);
    EXPECT_TRUE(OwnedWindows(host_.get()).empty());
}

TEST_F(ModuleTest, FailedSetUpKeepsTheHiddenWindowForTheNextCall) {
    ComPtr<IComModule> module = CreateModule();
    ASSERT_EQ(module->Init(&app_), S_OK);
    app_.dataFolderResult = STG_E_PATHNOTFOUND;
    EXPECT_EQ(module->OpenMainModelessDialog(), STG_E_PATHNOTFOUND);
    std::vector<HWND> windows = OwnedWindows(host_.get());
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_FALSE(::IsWindowVisible(windows[0]));

    app_.dataFolderResult = S_OK;
    EXPECT_EQ(module->OpenMainModelessDialog(), S_OK);
    EXPECT_EQ(OwnedWindows(host_.get()), windows);
    EXPECT_TRUE(::IsWindowVisible(windows[0]));
}

TEST_F(ModuleTest, LateBoundCallsReachTheMethods) {
    ComPtr<IComModule> module = CreateModule();
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(module.As(&dispatch), S_OK);
    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);

    const wchar_t* names[] = {L"Init", L"OpenMainModelessDialog", L"openmainmodelessdialog"};
    DISPID ids[3] = {};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(
            dispatch->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&names[i]), 1, 0, &ids[i]),
            S_OK);
    EXPECT_EQ(ids[0], 201);
    EXPECT_EQ(ids[1], 202);
    EXPECT_EQ(ids[2], 202);
    const wchar_t* unknownName = L"Run";
    DISPID unknownId = 0;
    EXPECT_EQ(
        dispatch->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&unknownName), 1, 0, &unknownId),
        DISP_E_UNKNOWNNAME);

    // Before Init the failure arrives as an exception with the module's description.
    DISPPARAMS none{};
    EXCEPINFO exception{};
    EXPECT_EQ(
        dispatch->Invoke(202, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, &exception, nullptr),
        DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, E_UNEXPECTED);
    EXPECT_TRUE(exception.bstrDescription && ::SysStringLen(exception.bstrDescription) > 0);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrHelpFile);
    EXPECT_TRUE(OwnedWindows(host_.get()).empty());

    VARIANT arg;
    ::VariantInit(&arg);
    arg.vt = VT_DISPATCH;
    DISPPARAMS one{&arg, nullptr, 1, 0};
    // The type library makes late-bound callers hand over the host's application interface:
    // another automation object does not reach Init.
    arg.pdispVal = &app_.MainWindow();
    EXPECT_TRUE(FAILED(
        dispatch->Invoke(201, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr)));
    EXPECT_EQ(module->OpenMainModelessDialog(), E_UNEXPECTED);

    arg.pdispVal = &app_;
    ASSERT_EQ(dispatch->Invoke(201, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(dispatch->Invoke(202, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(OwnedWindows(host_.get()).size(), 1u);
}

TEST_F(ModuleTest, TypeLibraryResourceDescribesTheModule) {
    ComPtr<ITypeLib> library;
    ASSERT_EQ(::LoadTypeLibEx(ModuleFile().c_str(), REGKIND_NONE, library.put()), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_Zeph));
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 0u);
    EXPECT_EQ(attr->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    library->ReleaseTLibAttr(attr);
    UniqueBstr name, doc;
    ASSERT_EQ(library->GetDocumentation(-1, name.put(), doc.put(), nullptr, nullptr), S_OK);
    EXPECT_STREQ(name.get(), L"Zeph");
    EXPECT_TRUE(doc && ::SysStringLen(doc.get()) > 0);

    // The interface: dual, derived from IDispatch, Init and OpenMainModelessDialog at 201/202.
    ComPtr<ITypeInfo> dispatchInfo, info;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IComModule, dispatchInfo.put()), S_OK);
    HREFTYPE vtableRef = 0;
    ASSERT_EQ(dispatchInfo->GetRefTypeOfImplType(-1, &vtableRef), S_OK);
    ASSERT_EQ(dispatchInfo->GetRefTypeInfo(vtableRef, info.put()), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->typekind, TKIND_INTERFACE);
    EXPECT_TRUE(IsEqualGUID(type->guid, IID_IComModule));
    EXPECT_EQ(type->wMajorVerNum, 1);
    EXPECT_EQ(
        type->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE),
        TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
    ASSERT_EQ(type->cFuncs, 2);
    info->ReleaseTypeAttr(type);
    struct Expected {
        MEMBERID id;
        const wchar_t* name;
        int slot;
        short params;
    } expected[] = {{201, L"Init", 7, 1}, {202, L"OpenMainModelessDialog", 8, 0}};
    for (int i = 0; i < 2; ++i) {
        FUNCDESC* func = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &func), S_OK);
        EXPECT_EQ(func->memid, expected[i].id);
        EXPECT_EQ(func->invkind, INVOKE_FUNC);
        EXPECT_EQ(func->callconv, CC_STDCALL);
        EXPECT_EQ(func->oVft, expected[i].slot * static_cast<int>(sizeof(void*)));
        EXPECT_EQ(func->cParams, expected[i].params);
        EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT);
        if (func->cParams == 1) {
            // Init takes the host's application interface, referenced from the host's library.
            const TYPEDESC& param = func->lprgelemdescParam[0].tdesc;
            EXPECT_EQ(param.vt, VT_PTR);
            EXPECT_EQ(param.lptdesc->vt, VT_USERDEFINED);
            ComPtr<ITypeInfo> hostType;
            ASSERT_EQ(info->GetRefTypeInfo(param.lptdesc->hreftype, hostType.put()), S_OK);
            TYPEATTR* hostAttr = nullptr;
            ASSERT_EQ(hostType->GetTypeAttr(&hostAttr), S_OK);
            EXPECT_TRUE(IsEqualGUID(hostAttr->guid, IID_ITellurApplication));
            hostType->ReleaseTypeAttr(hostAttr);
        }
        UniqueBstr funcName;
        UINT got = 0;
        info->GetNames(func->memid, funcName.put(), 1, &got);
        EXPECT_STREQ(funcName.get(), expected[i].name);
        info->ReleaseFuncDesc(func);
    }

    // The class: creatable, with IComModule as its default interface.
    ComPtr<ITypeInfo> classInfo;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_ComModule, classInfo.put()), S_OK);
    ASSERT_EQ(classInfo->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->typekind, TKIND_COCLASS);
    EXPECT_EQ(type->wMajorVerNum, 1);
    EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_EQ(type->cImplTypes, 1);
    classInfo->ReleaseTypeAttr(type);
    INT implFlags = 0;
    EXPECT_EQ(classInfo->GetImplTypeFlags(0, &implFlags), S_OK);
    EXPECT_TRUE(implFlags & IMPLTYPEFLAG_FDEFAULT);

    // The library carries only its own types, and names the host's library by its resource.
    EXPECT_EQ(library->GetTypeInfoCount(), 2u);
    HRSRC resource = ::FindResourceW(dll_.get(), MAKEINTRESOURCEW(1), L"TYPELIB");
    ASSERT_TRUE(resource);
    const char* bytes =
        static_cast<const char*>(::LockResource(::LoadResource(dll_.get(), resource)));
    std::string raw(bytes, ::SizeofResource(dll_.get(), resource));
    EXPECT_NE(raw.find("Tellur.exe\\110"), std::string::npos);
}

namespace {

// regsvr32 of the module's own bitness; waits for it and returns its exit code.
DWORD RunRegsvr32(const std::wstring& options) {
    wchar_t folder[MAX_PATH] = L"";
    if (sizeof(void*) == 4 && ::GetSystemWow64DirectoryW(folder, MAX_PATH) == 0)
        ::GetSystemDirectoryW(folder, MAX_PATH);
    else if (sizeof(void*) == 8)
        ::GetSystemDirectoryW(folder, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(folder) + L"\\regsvr32.exe\" /s " + options +
                           L"\"" + ModuleFile() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return static_cast<DWORD>(-1);
    ::WaitForSingleObject(process.hProcess, 60000);
    DWORD code = static_cast<DWORD>(-1);
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

std::wstring ReadClassesValue(const std::wstring& key, const wchar_t* name) {
    wchar_t value[1024] = L"";
    DWORD size = sizeof(value);
    if (::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value,
                       &size) != ERROR_SUCCESS)
        return L"<missing>";
    return value;
}

}  // namespace

TEST_F(ModuleTest, RegisteredServerIsCreatedThroughTheProgId) {
    ASSERT_EQ(RunRegsvr32(L""), 0u);
    const std::wstring classKey = L"CLSID\\{1892F24B-0A84-4BAA-93FC-AB0FA34472A7}";
    EXPECT_EQ(::lstrcmpiW(ReadClassesValue(classKey + L"\\InprocServer32", nullptr).c_str(),
                          ModuleFile().c_str()),
              0);
    EXPECT_EQ(ReadClassesValue(classKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ReadClassesValue(classKey + L"\\ProgID", nullptr), L"Zeph.ComModule");
    EXPECT_NE(ReadClassesValue(classKey, nullptr), L"<missing>");

    CLSID clsid{};
    ASSERT_EQ(::CLSIDFromProgID(L"Zeph.ComModule", &clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, CLSID_ComModule));
    ComPtr<ITypeLib> registered;
    EXPECT_EQ(::LoadRegTypeLib(LIBID_Zeph, 1, 0, 0, registered.put()), S_OK);

    // Loaded by COM alone, and let go by it once the host asks it to free unused servers.
    dll_.reset();
    ComPtr<IComModule> module;
    ASSERT_EQ(
        ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IComModule, module.put_void()),
        S_OK);
    ASSERT_EQ(module->Init(&app_), S_OK);
    ASSERT_EQ(module->OpenMainModelessDialog(), S_OK);
    std::vector<HWND> windows = OwnedWindows(host_.get());
    ASSERT_EQ(windows.size(), 1u);
    ::SendMessageW(windows[0], WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(windows[0]));
    ::CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_NE(::GetModuleHandleW(ModuleFile().c_str()), nullptr) << "freed while in use";
    module.reset();
    EXPECT_EQ(app_.References(), 1u);
    ::CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(::GetModuleHandleW(ModuleFile().c_str()), nullptr);

    ASSERT_EQ(RunRegsvr32(L"/u "), 0u);
    EXPECT_EQ(::CLSIDFromProgID(L"Zeph.ComModule", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(ReadClassesValue(classKey + L"\\InprocServer32", nullptr), L"<missing>");
    EXPECT_NE(::LoadRegTypeLib(LIBID_Zeph, 1, 0, 0, registered.put()), S_OK);
    // A second removal finds nothing to remove and is no failure.
    EXPECT_EQ(RunRegsvr32(L"/u "), 0u);
}

namespace {

// Keys under "Software\Classes" of the user or the machine, in the 64-bit view where there is
// one: a 32-bit module on 64-bit Windows keeps its class keys under "Wow6432Node" there.
std::wstring ReadScopedValue(HKEY hive, const std::wstring& key, const wchar_t* name = nullptr) {
    UniqueKey handle;
    wchar_t value[1024] = L"";
    DWORD size = sizeof(value);
    if (::RegOpenKeyExW(hive, (L"Software\\Classes\\" + key).c_str(), 0, KEY_READ | KEY_WOW64_64KEY,
                        handle.put()) != ERROR_SUCCESS ||
        ::RegGetValueW(handle.get(), nullptr, name, RRF_RT_REG_SZ, nullptr, value, &size) !=
            ERROR_SUCCESS)
        return L"<missing>";
    return value;
}

bool ScopedKeyExists(HKEY hive, const std::wstring& key) {
    UniqueKey handle;
    return ::RegOpenKeyExW(hive, (L"Software\\Classes\\" + key).c_str(), 0,
                           KEY_READ | KEY_WOW64_64KEY, handle.put()) == ERROR_SUCCESS;
}

std::wstring OwnClassPrefix() {
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64 ? L"Wow6432Node\\" : L"";
}

}  // namespace

// The installer's form: regsvr32 /n /i:user writes under the user's classes only, and /u
// removes every key it wrote.
TEST_F(ModuleTest, PerUserInstallFormWritesAndRemovesOnlyTheUsersKeys) {
    const std::wstring classKey =
        OwnClassPrefix() + L"CLSID\\{1892F24B-0A84-4BAA-93FC-AB0FA34472A7}";
    const std::wstring libKey = L"TypeLib\\{A9A49A8D-4C72-4DF8-803F-6BA68FB2C5E3}";
    const std::wstring itfKey =
        OwnClassPrefix() + L"Interface\\{BB70A3BD-76BF-46F7-B18B-A53801ABFFCA}";
    const bool machineHadClass = ScopedKeyExists(HKEY_LOCAL_MACHINE, classKey);
    ASSERT_EQ(RunRegsvr32(L"/u /n /i:user "), 0u);  // from an earlier run that stopped halfway
    EXPECT_NE(RunRegsvr32(L"/n /i:nobody "), 0u);
    EXPECT_FALSE(ScopedKeyExists(HKEY_CURRENT_USER, classKey));

    ASSERT_EQ(RunRegsvr32(L"/n /i:User "), 0u);
    EXPECT_EQ(
        ::lstrcmpiW(ReadScopedValue(HKEY_CURRENT_USER, classKey + L"\\InprocServer32").c_str(),
                    ModuleFile().c_str()),
        0);
    EXPECT_EQ(ReadScopedValue(HKEY_CURRENT_USER, classKey + L"\\InprocServer32", L"ThreadingModel"),
              L"Apartment");
    EXPECT_EQ(::lstrcmpiW(ReadScopedValue(HKEY_CURRENT_USER,
                                          libKey + (sizeof(void*) == 8 ? L"\\1.0\\0\\win64"
                                                                       : L"\\1.0\\0\\win32"))
                              .c_str(),
                          ModuleFile().c_str()),
              0);
    EXPECT_EQ(ReadScopedValue(HKEY_CURRENT_USER, itfKey + L"\\TypeLib", L"Version"), L"1.0");
    EXPECT_EQ(ScopedKeyExists(HKEY_LOCAL_MACHINE, classKey), machineHadClass);

    // Wine's COM reads only the machine's classes, so the ProgID is checked by its key here;
    // the install test creates the class from the user's registration.
    EXPECT_EQ(ReadScopedValue(HKEY_CURRENT_USER, L"Zeph.ComModule\\CLSID"),
              L"{1892F24B-0A84-4BAA-93FC-AB0FA34472A7}");

    ASSERT_EQ(RunRegsvr32(L"/u /n /i:user "), 0u);
    for (const std::wstring& key : {classKey, libKey, itfKey, std::wstring(L"Zeph.ComModule")})
        EXPECT_FALSE(ScopedKeyExists(HKEY_CURRENT_USER, key)) << key;
    // Removing what is not there is no failure.
    EXPECT_EQ(RunRegsvr32(L"/u /n /i:user "), 0u);
}

namespace {

// The demo host's main window as its object model sees it: only the handle matters here.
class StubHostWindow : public tellur::HostWindow {
  public:
    explicit StubHostWindow(HWND hwnd) : hwnd_(hwnd) {}
    HWND Handle() const override { return hwnd_; }
    void RedrawNow() override {}
    void ZoomAll() override {}
    double Zoom() const override { return 1.0; }
    void SetZoom(double) override {}
    std::wstring StatusText() const override { return L""; }
    void SetStatusText(const std::wstring&) override {}
    tellur::Units CoordinateUnits() const override { return tellur::Units{}; }
    void SetCoordinateUnits(tellur::Units) override {}
    void OpenMap(const std::wstring&) override {}

  private:
    HWND hwnd_;
};

}  // namespace

TEST_F(ModuleTest, DrivenByTheDemoHostsApplicationObject) {
    StubHostWindow window(host_.get());
    auto host = std::make_shared<tellur::Host>();
    host->window = &window;
    host->dataFolder = TestDataFolder();
    for (const wchar_t* name :
         {L"zpconfig.cfg", L"zpconfig.cfg.bak", L"zpconfig.cfg.tmp", L"zpconfig.cfg.bak.new"})
        ::DeleteFileW((host->dataFolder + name).c_str());
    ComPtr<ITellurApplication> application = tellur::CreateApplication(host);
    ASSERT_TRUE(application);

    ComPtr<IComModule> module = CreateModule();
    ASSERT_EQ(module->Init(application.get()), S_OK);
    ASSERT_EQ(module->OpenMainModelessDialog(), S_OK);
    std::vector<HWND> windows = OwnedWindows(host_.get());
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_TRUE(::IsWindowVisible(windows[0]));
    ::SendMessageW(windows[0], WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(windows[0]));
#ifdef ZEPH_PRODUCT_WINDOW
    // Closing stored the work in the host's data folder.
    EXPECT_NE(::GetFileAttributesW((host->dataFolder + L"zpconfig.cfg").c_str()),
              INVALID_FILE_ATTRIBUTES);
#endif
    module.reset();
}

#ifdef ZEPH_PRODUCT_WINDOW
namespace {

// The window class of a window and whether its procedure lies inside `module`.
bool ProcedureInside(HWND hwnd, HMODULE module) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        reinterpret_cast<const BYTE*>(module) + dos->e_lfanew);
    const auto proc = static_cast<ULONG_PTR>(::GetClassLongPtrW(hwnd, GCLP_WNDPROC));
    const auto base = reinterpret_cast<ULONG_PTR>(module);
    return proc >= base && proc < base + nt->OptionalHeader.SizeOfImage;
}

BOOL CALLBACK FindEditor(HWND hwnd, LPARAM lparam) {
    wchar_t name[64] = L"";
    ::GetClassNameW(hwnd, name, 64);
    if (std::wstring(name) != L"TScriptEditor") return TRUE;
    *reinterpret_cast<HWND*>(lparam) = hwnd;
    return FALSE;
}

}  // namespace

// The module's window classes belong to the module, never to the host's program, so that
// unloading drops them; loaded again at another address (the old one taken), its windows run the
// new load's code.
TEST_F(ModuleTest, WindowClassesGoWithTheModuleAndComeBackAtItsNewAddress) {
    const wchar_t* const kClasses[] = {L"TScriptEditor", L"TCompletionProposalForm", L"TScrollHint",
                                       L"TMainModelessDialogForm"};
    auto openAndClose = [&](HMODULE expected) {
        ComPtr<IComModule> module = CreateModule();
        ASSERT_TRUE(module);
        ASSERT_EQ(module->Init(&app_), S_OK);
        ASSERT_EQ(module->OpenMainModelessDialog(), S_OK);
        std::vector<HWND> windows = OwnedWindows(host_.get());
        ASSERT_EQ(windows.size(), 1u);
        HWND editor = nullptr;
        ::EnumChildWindows(windows[0], &FindEditor, reinterpret_cast<LPARAM>(&editor));
        ASSERT_TRUE(editor);
        EXPECT_TRUE(ProcedureInside(editor, expected));
        EXPECT_TRUE(ProcedureInside(windows[0], expected));
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        EXPECT_FALSE(::GetClassInfoExW(::GetModuleHandleW(nullptr), L"TScriptEditor", &wc));
        EXPECT_TRUE(::GetClassInfoExW(expected, L"TScriptEditor", &wc));
        ::SendMessageW(windows[0], WM_CLOSE, 0, 0);
    };
    HMODULE first = dll_.get();
    openAndClose(first);
    ASSERT_EQ(canUnloadNow_(), S_OK);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(first);
    const SIZE_T size = reinterpret_cast<const IMAGE_NT_HEADERS*>(
                            reinterpret_cast<const BYTE*>(first) + dos->e_lfanew)
                            ->OptionalHeader.SizeOfImage;
    dll_.reset();
    // Nothing may keep it: not the C++ run time (thread-local destructors), a hook, a thread.
    ASSERT_EQ(::GetModuleHandleW(ModuleFile().c_str()), nullptr) << "the module stayed loaded";
    for (const wchar_t* name : kClasses) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        EXPECT_FALSE(::GetClassInfoExW(::GetModuleHandleW(nullptr), name, &wc)) << name;
        EXPECT_FALSE(::GetClassInfoExW(first, name, &wc)) << name;
    }

    void* taken = ::VirtualAlloc(first, size, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_EQ(taken, static_cast<void*>(first));
    LoadModule();
    EXPECT_NE(dll_.get(), first);
    // The second load does all of it again, and lets go again.
    openAndClose(dll_.get());
    EXPECT_EQ(canUnloadNow_(), S_OK);
    dll_.reset();
    EXPECT_EQ(::GetModuleHandleW(ModuleFile().c_str()), nullptr);
    ::VirtualFree(taken, 0, MEM_RELEASE);
}
#endif
