#include "base/result.h"

#include "base/wide.h"

namespace zeph::win {

std::string SystemMessage(HRESULT hr) {
    wchar_t* buffer = nullptr;
    DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", n);
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return Narrow(text);
}

void ThrowHResult(HRESULT hr, const char* what) {
    std::string message = SystemMessage(hr);
    if (message.empty()) {
        char code[32];
        wsprintfA(code, "0x%08lX", static_cast<unsigned long>(hr));
        message = std::string("HRESULT ") + code;
    }
    (void)what;  // the call site is for debuggers; users see the system's text
    throw HResultError(hr, message);
}

void ThrowLastError(const char* what) {
    DWORD err = ::GetLastError();
    ThrowHResult(HRESULT_FROM_WIN32(err ? err : ERROR_GEN_FAILURE), what);
}

HRESULT ResultFromCaughtException() noexcept {
    try {
        throw;
    } catch (const HResultError& e) {
        return e.code();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace zeph::win
