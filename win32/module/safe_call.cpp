#include "module/safe_call.h"

#include <oleauto.h>

#include <exception>
#include <new>
#include <string>

#include "base/result.h"
#include "base/unique.h"
#include "base/wide.h"
#include "text/cp1251.h"

using zeph::text::operator""_cp;

namespace zeph::module {

using win::ComPtr;

namespace {

void SetErrorInformation(const std::wstring& description, REFIID iid,
                         const wchar_t* source) noexcept {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(::CreateErrorInfo(create.put()))) return;
    create->SetDescription(const_cast<wchar_t*>(description.c_str()));
    create->SetGUID(iid);
    create->SetSource(const_cast<wchar_t*>(source));
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(&info))) ::SetErrorInfo(0, info.get());
}

}  // namespace

HRESULT HandleSafeCallException(REFIID iid, const wchar_t* source) noexcept {
    HRESULT code = E_UNEXPECTED;
    std::wstring description;
    try {
        try {
            throw;
        } catch (const win::HResultError& e) {
            if (FAILED(e.code())) code = e.code();
            description = win::Wide(e.what());
        } catch (const std::exception& e) {
            description = win::Wide(e.what());
        } catch (...) {
            description = win::Wide(u8"Непредвиденная ошибка"_cp);
        }
    } catch (...) {
        // Out of memory while describing the error: the code alone still goes back.
    }
    SetErrorInformation(description, iid, source);
    return code;
}

}  // namespace zeph::module
