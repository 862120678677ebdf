#include "base/result.h"

#include <oleauto.h>

#include "base/unique.h"
#include "base/wide.h"
#include "text/cp1251.h"

using zeph::text::operator""_cp;

namespace zeph::win {

HResultError::HResultError(HRESULT hr, std::wstring message)
    : std::runtime_error(Narrow(message)), hr_(hr), wide_(std::move(message)) {}

std::wstring HResultError::Description() const {
    return wide_.empty() ? Wide(what()) : wide_;
}

std::string SystemMessage(HRESULT hr) {
    return Narrow(SystemText(static_cast<DWORD>(hr)));
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

ErrorReport DescribeException(const std::exception_ptr& error,
                              const ErrorDefaults& defaults) noexcept {
    ErrorReport report{defaults.code, {}};
    try {
        try {
            std::rethrow_exception(error);
        } catch (const HResultError& e) {
            if (FAILED(e.code())) report.code = e.code();
            report.text = e.Description();
        } catch (const std::bad_alloc&) {
            report.code = E_OUTOFMEMORY;
            report.text = Wide(u8"Недостаточно памяти"_cp);
        } catch (const std::exception& e) {
            if (defaults.showWhat) report.text = Wide(e.what());
        } catch (...) {
        }
        if (report.text.empty() && defaults.text) report.text = defaults.text;
    } catch (...) {
        // Out of memory while describing the error: the code alone still goes back.
    }
    return report;
}

void SetComErrorInfo(REFIID iid, const wchar_t* source, const std::wstring& description) noexcept {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(::CreateErrorInfo(create.put()))) return;
    create->SetDescription(const_cast<wchar_t*>(description.c_str()));
    create->SetGUID(iid);
    create->SetSource(const_cast<wchar_t*>(source));
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(&info))) ::SetErrorInfo(0, info.get());
}

HRESULT ReportCaughtException(REFIID iid, const wchar_t* source,
                              const ErrorDefaults& defaults) noexcept {
    ErrorReport report = DescribeException(std::current_exception(), defaults);
    SetComErrorInfo(iid, source, report.text);
    return report.code;
}

HRESULT ResultFromCaughtException() noexcept {
    return DescribeException(std::current_exception(), {E_FAIL, nullptr, false}).code;
}

void ShowException(const std::exception_ptr& error, HWND owner,
                   const std::wstring& caption) noexcept {
    try {
        std::wstring message = DescribeException(error, {E_FAIL, L"Unknown error", true}).text;
        if (!message.empty() && message.back() > L'.') message += L'.';
        ::MessageBoxW(owner, message.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
    } catch (...) {
        // Nothing is left to tell the user with.
    }
}

}  // namespace zeph::win
