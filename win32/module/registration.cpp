#include "module/registration.h"

#include <oleauto.h>

#include <string>

#include "base/result.h"
#include "base/unique.h"
#include "module/server.h"
#include "zeph.h"

namespace zeph::module {

using win::ComPtr;

namespace {

constexpr const wchar_t* kProgId = L"Zeph.ComModule";

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

// The class description is the class's help string in the type library.
std::wstring ClassDescription(ITypeLib* library) {
    ComPtr<ITypeInfo> info;
    THROW_IF_FAILED(library->GetTypeInfoOfGuid(CLSID_ComModule, info.put()));
    win::UniqueBstr doc;
    THROW_IF_FAILED(info->GetDocumentation(MEMBERID_NIL, nullptr, doc.put(), nullptr, nullptr));
    return doc ? std::wstring(doc.get(), ::SysStringLen(doc.get())) : std::wstring();
}

void SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY handle = nullptr;
    LONG rc = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &handle, nullptr);
    if (rc != ERROR_SUCCESS) win::ThrowHResult(HRESULT_FROM_WIN32(rc), "RegCreateKeyExW");
    rc = ::RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(handle);
    if (rc != ERROR_SUCCESS) win::ThrowHResult(HRESULT_FROM_WIN32(rc), "RegSetValueExW");
}

void DeleteTree(const std::wstring& key) {
    LONG rc = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) {
        rc = ::RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
        if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) return;
    }
    win::ThrowHResult(HRESULT_FROM_WIN32(rc), "RegDeleteTreeW");
}

bool KeyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(handle);
    return true;
}

}  // namespace

void RegisterServer() {
    std::wstring path = ModulePath();
    ComPtr<ITypeLib> library = LoadOwnTypeLibrary();
    THROW_IF_FAILED(::RegisterTypeLib(library.get(), path.data(), nullptr));

    const std::wstring description = ClassDescription(library.get());
    const std::wstring clsid = GuidText(CLSID_ComModule);
    const std::wstring classKey = L"CLSID\\" + clsid;

    SetValue(kProgId, nullptr, description);
    SetValue(std::wstring(kProgId) + L"\\CLSID", nullptr, clsid);

    SetValue(classKey, nullptr, description);
    SetValue(classKey + L"\\InprocServer32", nullptr, path);
    SetValue(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    SetValue(classKey + L"\\ProgID", nullptr, kProgId);
    SetValue(classKey + L"\\TypeLib", nullptr, GuidText(LIBID_Zeph));
    SetValue(classKey + L"\\Version", nullptr, L"1.0");
    SetValue(classKey + L"\\Programmable", nullptr, L"");
}

void UnregisterServer() {
    DeleteTree(L"CLSID\\" + GuidText(CLSID_ComModule));
    DeleteTree(kProgId);

    // Unregistering twice is not a failure.
    if (!KeyExists(L"TypeLib\\" + GuidText(LIBID_Zeph) + L"\\1.0")) return;
    ComPtr<ITypeLib> library = LoadOwnTypeLibrary();
    TLIBATTR* attr = nullptr;
    THROW_IF_FAILED(library->GetLibAttr(&attr));
    const SYSKIND kind = attr->syskind;
    const WORD major = attr->wMajorVerNum, minor = attr->wMinorVerNum;
    const LCID lcid = attr->lcid;
    library->ReleaseTLibAttr(attr);
    THROW_IF_FAILED(::UnRegisterTypeLib(LIBID_Zeph, major, minor, lcid, kind));
}

}  // namespace zeph::module
