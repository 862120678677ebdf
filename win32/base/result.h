// HRESULT errors as exceptions inside, as HRESULTs at every COM method, window procedure and
// export. RETURN_IF_FAILED / THROW_IF_FAILED / CATCH_RETURN in the manner of the usual macros.
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
    HRESULT code() const noexcept { return hr_; }

  private:
    HRESULT hr_;
};

// The system's own text for a code, in code page 1251 ("" when it has none).
std::string SystemMessage(HRESULT hr);

[[noreturn]] void ThrowHResult(HRESULT hr, const char* what = nullptr);
[[noreturn]] void ThrowLastError(const char* what = nullptr);

inline void ThrowIfFailed(HRESULT hr, const char* what = nullptr) {
    if (FAILED(hr)) ThrowHResult(hr, what);
}

// The HRESULT for the exception being handled; for use in catch (...) blocks only.
HRESULT ResultFromCaughtException() noexcept;

}  // namespace zeph::win

#define RETURN_IF_FAILED(expr)                 \
    do {                                       \
        const HRESULT zeph_hr_ = (expr);       \
        if (FAILED(zeph_hr_)) return zeph_hr_; \
    } while (0)

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
