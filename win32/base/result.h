// The error boundary: HRESULT errors as exceptions inside, as HRESULTs (with the thread's COM
// error information) or message texts at every COM method, window procedure and export. Every
// boundary of the module, the forms and the demo host maps what it catches here, so one
// exception means the same code and text everywhere. THROW_IF_FAILED / CATCH_RETURN in the
// manner of the usual macros.
#pragma once

#include <windows.h>

#include <exception>
#include <new>
#include <stdexcept>
#include <string>

namespace zeph::win {

// A failed platform call. what() is code page 1251 text, like every error of the core.
class HResultError : public std::runtime_error {
  public:
    HResultError(HRESULT hr, const std::string& message) : std::runtime_error(message), hr_(hr) {}
    // A text made as UTF-16 (the host's) keeps every character for the user.
    HResultError(HRESULT hr, std::wstring message);
    HRESULT code() const noexcept { return hr_; }
    std::wstring Description() const;

  private:
    HRESULT hr_;
    std::wstring wide_;
};

// The system's own text for a code, without the trailing line break ("" when it has none).
// Inline, so that the file layer of the XML model can use it without this library.
inline std::wstring SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

// The same in code page 1251.
std::string SystemMessage(HRESULT hr);

// What a boundary says for an exception that is not an HResultError.
struct ErrorDefaults {
    HRESULT code;         // for anything that carries no failure code of its own
    const wchar_t* text;  // for anything that carries no text meant for users
    bool showWhat;        // whether a std::exception's what() is such a text
};

struct ErrorReport {
    HRESULT code;
    std::wstring text;
};

// The code and user text of an exception: an HResultError gives its own (its code only when it
// is a failure), out of memory gives E_OUTOFMEMORY, anything else the defaults. Never throws.
ErrorReport DescribeException(const std::exception_ptr& error,
                              const ErrorDefaults& defaults) noexcept;

// Sets the thread's COM error information.
void SetComErrorInfo(REFIID iid, const wchar_t* source, const std::wstring& description) noexcept;

// For catch (...) blocks of COM methods: describes the exception being handled, sets the
// thread's error information from it and returns its code.
HRESULT ReportCaughtException(REFIID iid, const wchar_t* source,
                              const ErrorDefaults& defaults) noexcept;

// For window procedures: the user text of an exception in an error box owned by `owner` with
// that caption. Never throws.
void ShowException(const std::exception_ptr& error, HWND owner,
                   const std::wstring& caption) noexcept;

[[noreturn]] void ThrowHResult(HRESULT hr, const char* what = nullptr);
[[noreturn]] void ThrowLastError(const char* what = nullptr);

inline void ThrowIfFailed(HRESULT hr, const char* what = nullptr) {
    if (FAILED(hr)) ThrowHResult(hr, what);
}

// The HRESULT for the exception being handled (E_FAIL by default), without error information;
// for use in catch (...) blocks only.
HRESULT ResultFromCaughtException() noexcept;

}  // namespace zeph::win

#define THROW_IF_FAILED(expr) ::zeph::win::ThrowIfFailed((expr), #expr)

#define THROW_LAST_ERROR_IF(cond)                     \
    do {                                              \
        if (cond) ::zeph::win::ThrowLastError(#cond); \
    } while (0)

// Ends a try block in a function that returns HRESULT.
#define CATCH_RETURN()                                   \
    catch (...) {                                        \
        return ::zeph::win::ResultFromCaughtException(); \
    }
