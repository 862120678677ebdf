#include "host/dispatch.h"

namespace tellur {

namespace {

constexpr wchar_t kSource[] = L"Tellur.Application";

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return L"";
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

zeph::win::ErrorReport DescribeHostError(const std::exception_ptr& error) noexcept {
    try {
        try {
            std::rethrow_exception(error);
        } catch (const MapError& e) {
            // The map model is portable and knows no codes: its errors are bad arguments.
            return {E_INVALIDARG, e.message()};
        } catch (...) {
        }
    } catch (...) {
        return {E_OUTOFMEMORY, {}};
    }
    // Library texts (a vector's range check) are not for users.
    return zeph::win::DescribeException(error, {E_FAIL, L"Внутренняя ошибка Теллура", false});
}

namespace dispatch {

// The HRESULT for the exception being handled, with the thread's error information set.
HRESULT ReportCaught(REFIID iid) noexcept {
    zeph::win::ErrorReport report = DescribeHostError(std::current_exception());
    zeph::win::SetComErrorInfo(iid, kSource, report.text);
    return report.code;
}

TypeInfoPair LoadTypeInfo(REFIID iid) {
    ITypeLib* lib = HostTypeLibrary();
    if (!lib) throw HostError(TYPE_E_CANTLOADLIBRARY, L"Библиотека типов Теллура не загружена");
    TypeInfoPair pair;
    zeph::win::ThrowIfFailed(lib->GetTypeInfoOfGuid(iid, pair.dispatch.put()));
    HREFTYPE ref = 0;
    if (SUCCEEDED(pair.dispatch->GetRefTypeOfImplType(-1, &ref)))
        zeph::win::ThrowIfFailed(pair.dispatch->GetRefTypeInfo(ref, pair.vtable.put()));
    else
        pair.vtable = pair.dispatch;
    return pair;
}

}  // namespace dispatch

ITypeLib* HostTypeLibrary() {
    static ITypeLib* library = [] {
        ITypeLib* lib = nullptr;
        std::wstring path = ModulePath() + L"\\110";
        if (FAILED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib))) lib = nullptr;
        return lib;  // kept for the life of the process
    }();
    return library;
}

HRESULT RegisterHostTypeLibrary() {
    ITypeLib* lib = HostTypeLibrary();
    if (!lib) return TYPE_E_CANTLOADLIBRARY;
    std::wstring path = ModulePath() + L"\\110";
    // Per-user registration needs no administrator; older systems lack it.
    using ForUser = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
    auto forUser = reinterpret_cast<ForUser>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"oleaut32.dll"), "RegisterTypeLibForUser")));
    HRESULT hr = forUser ? forUser(lib, const_cast<wchar_t*>(path.c_str()), nullptr) : E_NOTIMPL;
    if (FAILED(hr)) hr = ::RegisterTypeLib(lib, const_cast<wchar_t*>(path.c_str()), nullptr);
    return hr;
}

}  // namespace tellur
