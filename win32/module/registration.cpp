#include "module/registration.h"

#include <oleauto.h>

#include <cwctype>
#include <string>

#include "base/result.h"
#include "base/unique.h"
#include "module/server.h"
#include "zeph.h"

namespace zeph::module {

using win::ComPtr;

namespace {

constexpr const wchar_t* kProgId = L"Zeph.ComModule";
// The standard marshaller of dual interfaces described by a type library.
constexpr const wchar_t* kOleAutomationMarshaller = L"{00020424-0000-0000-C000-000000000046}";
constexpr const wchar_t* kPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40];
    if (!::StringFromGUID2(guid, text, 40)) win::ThrowHResult(E_UNEXPECTED, "StringFromGUID2");
    return text;
}

ComPtr<ITypeLib> LoadOwnTypeLibrary() {
    ComPtr<ITypeLib> library;
    THROW_IF_FAILED(::LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, library.put()));
    return library;
}

// The help string of the library (MEMBERID_NIL on the library) or of one of its types.
std::wstring HelpString(ITypeLib* library, const GUID* type) {
    win::UniqueBstr doc;
    if (type) {
        ComPtr<ITypeInfo> info;
        THROW_IF_FAILED(library->GetTypeInfoOfGuid(*type, info.put()));
        THROW_IF_FAILED(info->GetDocumentation(MEMBERID_NIL, nullptr, doc.put(), nullptr, nullptr));
    } else {
        THROW_IF_FAILED(library->GetDocumentation(-1, nullptr, doc.put(), nullptr, nullptr));
    }
    return doc ? std::wstring(doc.get(), ::SysStringLen(doc.get())) : std::wstring();
}

// `view` (KEY_WOW64_64KEY or 0) goes with every call: a view given when a key was opened is
// not the view of the keys opened below it.
void SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value,
              REGSAM view = 0) {
    win::UniqueKey handle;
    LONG rc = ::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                                handle.put(), nullptr);
    if (rc != ERROR_SUCCESS) win::ThrowHResult(HRESULT_FROM_WIN32(rc), "RegCreateKeyExW");
    rc = ::RegSetValueExW(handle.get(), name, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (rc != ERROR_SUCCESS) win::ThrowHResult(HRESULT_FROM_WIN32(rc), "RegSetValueExW");
}

void DeleteTree(HKEY root, const std::wstring& key, REGSAM view = 0) {
    win::UniqueKey handle;
    LONG rc = ::RegOpenKeyExW(root, key.c_str(), 0, KEY_ALL_ACCESS | view, handle.put());
    if (rc == ERROR_FILE_NOT_FOUND) return;
    if (rc == ERROR_SUCCESS) rc = ::RegDeleteTreeW(handle.get(), nullptr);
    handle.reset();
    if (rc == ERROR_SUCCESS) rc = ::RegDeleteKeyExW(root, key.c_str(), view, 0);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        win::ThrowHResult(HRESULT_FROM_WIN32(rc), "RegDeleteTreeW");
}

bool KeyExists(HKEY root, const std::wstring& key) {
    win::UniqueKey handle;
    return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
}

// A missing key has none.
bool HasSubkeys(HKEY root, const std::wstring& key, REGSAM view) {
    win::UniqueKey handle;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, handle.put()) != ERROR_SUCCESS)
        return false;
    DWORD count = 0;
    if (::RegQueryInfoKeyW(handle.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                           nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return true;  // when in doubt, keep it
    return count > 0;
}

// Where one bitness's keys go under "Software\Classes" of the user or of the machine. CLSID and
// Interface keys are kept per bitness; a 32-bit module on 64-bit Windows writes its own under
// "Wow6432Node" itself, in the 64-bit view, where the system would redirect them, so that the
// layout does not depend on how a registry redirects the user's classes.
struct Target {
    HKEY root = HKEY_CLASSES_ROOT;
    std::wstring ownPrefix;  // "" or "Wow6432Node\\"
    REGSAM view = 0;
};
struct ScopedClasses : Target {
    win::UniqueKey key;  // owns `root`
};

bool RunsUnderWow64() {
    BOOL wow64 = FALSE;
    return sizeof(void*) == 4 && ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

ScopedClasses OpenClasses(Scope scope) {
    ScopedClasses classes;
    const bool wow64 = RunsUnderWow64();
    const HKEY hive = scope == Scope::kUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    if (wow64) {
        classes.ownPrefix = L"Wow6432Node\\";
        classes.view = KEY_WOW64_64KEY;
    }
    const LONG rc =
        ::RegCreateKeyExW(hive, L"Software\\Classes", 0, nullptr, 0,
                          KEY_READ | KEY_WRITE | classes.view, nullptr, classes.key.put(), nullptr);
    if (rc != ERROR_SUCCESS) win::ThrowHResult(HRESULT_FROM_WIN32(rc), "RegCreateKeyExW");
    classes.root = classes.key.get();
    return classes;
}

void WriteClass(const Target& t, const std::wstring& path, const std::wstring& description) {
    const std::wstring clsid = GuidText(CLSID_ComModule);
    const std::wstring classKey = t.ownPrefix + L"CLSID\\" + clsid;

    SetValue(t.root, kProgId, nullptr, description, t.view);
    SetValue(t.root, std::wstring(kProgId) + L"\\CLSID", nullptr, clsid, t.view);

    SetValue(t.root, classKey, nullptr, description, t.view);
    SetValue(t.root, classKey + L"\\InprocServer32", nullptr, path, t.view);
    SetValue(t.root, classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment", t.view);
    SetValue(t.root, classKey + L"\\ProgID", nullptr, kProgId, t.view);
    SetValue(t.root, classKey + L"\\TypeLib", nullptr, GuidText(LIBID_Zeph), t.view);
    SetValue(t.root, classKey + L"\\Version", nullptr, L"1.0", t.view);
    SetValue(t.root, classKey + L"\\Programmable", nullptr, L"", t.view);
}

std::wstring TypeLibVersionKey() {
    return L"TypeLib\\" + GuidText(LIBID_Zeph) + L"\\1.0";
}

// What RegisterTypeLib writes for our library, for this bitness.
void WriteTypeLibrary(const Target& t, ITypeLib* library, const std::wstring& path) {
    const std::wstring version = TypeLibVersionKey();
    SetValue(t.root, version, nullptr, HelpString(library, nullptr), t.view);
    SetValue(t.root, version + L"\\FLAGS", nullptr, L"0", t.view);
    SetValue(t.root, version + L"\\HELPDIR", nullptr, path.substr(0, path.find_last_of(L'\\')),
             t.view);
    SetValue(t.root, version + L"\\0\\" + kPlatform, nullptr, path, t.view);

    const std::wstring itf = t.ownPrefix + L"Interface\\" + GuidText(IID_IComModule);
    SetValue(t.root, itf, nullptr, L"IComModule", t.view);
    SetValue(t.root, itf + L"\\ProxyStubClsid", nullptr, kOleAutomationMarshaller, t.view);
    SetValue(t.root, itf + L"\\ProxyStubClsid32", nullptr, kOleAutomationMarshaller, t.view);
    SetValue(t.root, itf + L"\\TypeLib", nullptr, GuidText(LIBID_Zeph), t.view);
    SetValue(t.root, itf + L"\\TypeLib", L"Version", L"1.0", t.view);
}

}  // namespace

void RegisterServer() {
    std::wstring path = ModulePath();
    ComPtr<ITypeLib> library = LoadOwnTypeLibrary();
    THROW_IF_FAILED(::RegisterTypeLib(library.get(), path.data(), nullptr));
    WriteClass(Target{}, path, HelpString(library.get(), &CLSID_ComModule));
}

void UnregisterServer() {
    DeleteTree(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(CLSID_ComModule));
    DeleteTree(HKEY_CLASSES_ROOT, kProgId);

    // Unregistering twice is not a failure.
    if (!KeyExists(HKEY_CLASSES_ROOT, TypeLibVersionKey())) return;
    ComPtr<ITypeLib> library = LoadOwnTypeLibrary();
    TLIBATTR* attr = nullptr;
    THROW_IF_FAILED(library->GetLibAttr(&attr));
    const SYSKIND kind = attr->syskind;
    const WORD major = attr->wMajorVerNum, minor = attr->wMinorVerNum;
    const LCID lcid = attr->lcid;
    library->ReleaseTLibAttr(attr);
    THROW_IF_FAILED(::UnRegisterTypeLib(LIBID_Zeph, major, minor, lcid, kind));
}

void InstallServer(Scope scope) {
    const ScopedClasses classes = OpenClasses(scope);
    const std::wstring path = ModulePath();
    ComPtr<ITypeLib> library = LoadOwnTypeLibrary();
    try {
        WriteTypeLibrary(classes, library.get(), path);
        WriteClass(classes, path, HelpString(library.get(), &CLSID_ComModule));
    } catch (...) {
        // Half a registration would make the class look installed.
        try {
            UninstallServer(scope);
        } catch (...) {
        }
        throw;
    }
}

void UninstallServer(Scope scope) {
    const ScopedClasses classes = OpenClasses(scope);
    const HKEY root = classes.root;
    const REGSAM view = classes.view;
    DeleteTree(root, classes.ownPrefix + L"CLSID\\" + GuidText(CLSID_ComModule), view);
    DeleteTree(root, classes.ownPrefix + L"Interface\\" + GuidText(IID_IComModule), view);
    // The type library's key and the ProgID are one for both bitnesses, the library's with a
    // subkey per platform: they go with the last of the two.
    const std::wstring version = TypeLibVersionKey();
    DeleteTree(root, version + L"\\0\\" + kPlatform, view);
    if (HasSubkeys(root, version + L"\\0", view)) return;
    DeleteTree(root, L"TypeLib\\" + GuidText(LIBID_Zeph), view);
    DeleteTree(root, kProgId, view);
}

bool ParseScope(std::wstring_view command_line, Scope& scope) {
    while (!command_line.empty() && std::iswspace(command_line.front()))
        command_line.remove_prefix(1);
    while (!command_line.empty() && std::iswspace(command_line.back()))
        command_line.remove_suffix(1);
    auto equals = [&](std::wstring_view word) {
        return command_line.size() == word.size() &&
               ::CompareStringOrdinal(command_line.data(), static_cast<int>(command_line.size()),
                                      word.data(), static_cast<int>(word.size()),
                                      TRUE) == CSTR_EQUAL;
    };
    if (equals(L"user")) {
        scope = Scope::kUser;
        return true;
    }
    if (command_line.empty() || equals(L"machine")) {
        scope = Scope::kMachine;
        return true;
    }
    return false;
}

}  // namespace zeph::module
