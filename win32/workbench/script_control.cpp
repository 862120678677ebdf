#include "workbench/script_control.h"

#include "base/result.h"
#include "base/wide.h"
#include "workbench/script_errors.h"

namespace zeph::win {

using text::operator""_cp;

namespace {

const CLSID kScriptControlClsid = {
    0x0E59F1D5, 0x1FBE, 0x11D0, {0x8F, 0xF2, 0x00, 0xA0, 0xD1, 0x00, 0x38, 0xBC}};
constexpr DISPID kLanguage = 1500;
constexpr DISPID kSiteHwnd = 1502;

// Owns the strings an EXCEPINFO may carry.
struct ExcepInfo : EXCEPINFO {
    ExcepInfo() : EXCEPINFO{} {}
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() {
        ::SysFreeString(bstrSource);
        ::SysFreeString(bstrDescription);
        ::SysFreeString(bstrHelpFile);
    }
};

UniqueBstr Bstr(std::string_view cp1251) {
    std::wstring w = Wide(cp1251);
    UniqueBstr b(::SysAllocStringLen(w.data(), static_cast<UINT>(w.size())));
    if (!b && !w.empty()) throw std::bad_alloc();
    return b;
}

long ToLong(const VARIANT* v) {
    VARIANT tmp;
    ::VariantInit(&tmp);
    long result = 0;
    if (SUCCEEDED(::VariantChangeType(&tmp, const_cast<VARIANT*>(v), 0, VT_I4))) result = tmp.lVal;
    ::VariantClear(&tmp);
    return result;
}

}  // namespace

ScriptControl::ScriptControl() {
    THROW_IF_FAILED(::CoCreateInstance(kScriptControlClsid, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IDispatch, engine_.put_void()));
}

DISPID ScriptControl::Id(const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    THROW_IF_FAILED(engine_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    return id;
}

HRESULT ScriptControl::Invoke(DISPID id, WORD flags, VARIANT* args, UINT count, VARIANT* result,
                              EXCEPINFO* excep) {
    DISPPARAMS params{args, nullptr, count, 0};
    DISPID named = DISPID_PROPERTYPUT;
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    UINT arg_err = 0;
    return engine_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, excep,
                           &arg_err);
}

void ScriptControl::SetLanguage(std::string_view language) {
    language_ = language;
    UniqueBstr value = Bstr(language);
    VARIANT arg;
    arg.vt = VT_BSTR;
    arg.bstrVal = value.get();
    ExcepInfo excep;
    THROW_IF_FAILED(Invoke(kLanguage, DISPATCH_PROPERTYPUT, &arg, 1, nullptr, &excep));
}

void ScriptControl::SetSiteWindow(HWND hwnd) {
    VARIANT arg;
    arg.vt = VT_I4;
    // The property is a 32-bit integer; window handles fit in 32 bits on 64-bit Windows too.
    arg.lVal = static_cast<LONG>(reinterpret_cast<LONG_PTR>(hwnd));
    ExcepInfo excep;
    THROW_IF_FAILED(Invoke(kSiteHwnd, DISPATCH_PROPERTYPUT, &arg, 1, nullptr, &excep));
}

void ScriptControl::AddObject(std::string_view name, IDispatch* object, bool add_members) {
    UniqueBstr bname = Bstr(name);
    VARIANT args[3];  // in reverse order
    args[2].vt = VT_BSTR;
    args[2].bstrVal = bname.get();
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = object;
    args[0].vt = VT_BOOL;
    args[0].boolVal = add_members ? VARIANT_TRUE : VARIANT_FALSE;
    ExcepInfo excep;
    THROW_IF_FAILED(Invoke(Id(L"AddObject"), DISPATCH_METHOD, args, 3, nullptr, &excep));
}

bool ScriptControl::AddCode(std::string_view code) {
    UniqueBstr bcode = Bstr(code);
    VARIANT arg;
    arg.vt = VT_BSTR;
    arg.bstrVal = bcode.get();
    ExcepInfo excep;
    HRESULT hr = Invoke(Id(L"AddCode"), DISPATCH_METHOD, &arg, 1, nullptr, &excep);
    if (SUCCEEDED(hr)) return true;
    if (hr == DISP_E_EXCEPTION) return false;  // the script's own error: read it from Error
    ThrowHResult(hr);
}

// Some engines (Wine's among them) leave Description empty and give only the error's number.
// Their messages live in the engines' own string tables, keyed by the script error number;
// automation codes map to those numbers as the engines themselves map them.
std::string ScriptControl::DescribeNumber(long number) const {
    const auto hr = static_cast<HRESULT>(number);
    int code = HRESULT_FACILITY(hr) == FACILITY_CONTROL ? HRESULT_CODE(hr) : 0;
    static const struct {
        HRESULT hr;
        int code;
    } kAutomationCodes[] = {
        {DISP_E_OVERFLOW, 6},        {E_OUTOFMEMORY, 7},           {DISP_E_BADINDEX, 9},
        {DISP_E_ARRAYISLOCKED, 10},  {DISP_E_DIVBYZERO, 11},       {DISP_E_TYPEMISMATCH, 13},
        {DISP_E_UNKNOWNNAME, 438},   {DISP_E_MEMBERNOTFOUND, 438}, {DISP_E_PARAMNOTOPTIONAL, 449},
        {DISP_E_BADPARAMCOUNT, 450}, {DISP_E_NOTACOLLECTION, 451},
    };
    for (const auto& m : kAutomationCodes)
        if (m.hr == hr) code = m.code;
    if (code != 0) {
        const wchar_t* dlls[] = {language_ == "VBScript" ? L"vbscript.dll" : L"jscript.dll",
                                 L"vbscript.dll"};
        for (const wchar_t* dll : dlls) {
            if (HMODULE engine = ::GetModuleHandleW(dll)) {
                wchar_t buffer[512];
                int n = ::LoadStringW(engine, code, buffer, 512);
                if (n > 0) return Narrow({buffer, static_cast<size_t>(n)});
            }
        }
    }
    if (hr != E_FAIL && FAILED(hr)) {
        std::string system = SystemMessage(hr);
        if (!system.empty()) return system;
    }
    return {};
}

ScriptControl::ErrorInfo ScriptControl::LastError() {
    UniqueVariant error;
    ExcepInfo excep;
    THROW_IF_FAILED(Invoke(Id(L"Error"), DISPATCH_PROPERTYGET, nullptr, 0, error.put(), &excep));
    if (error.get()->vt != VT_DISPATCH || !error.get()->pdispVal) ThrowHResult(E_UNEXPECTED);
    IDispatch* err = error.get()->pdispVal;

    auto get = [&](const wchar_t* name, VARIANT* out) {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        THROW_IF_FAILED(err->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
        DISPPARAMS none{};
        THROW_IF_FAILED(err->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                    out, nullptr, nullptr));
    };
    ErrorInfo info;
    UniqueVariant v;
    auto text = [&](const wchar_t* name) {
        get(name, v.put());
        return v.get()->vt == VT_BSTR && v.get()->bstrVal
                   ? Narrow({v.get()->bstrVal, ::SysStringLen(v.get()->bstrVal)})
                   : std::string();
    };
    const std::string description = text(L"Description");
    const std::string source = text(L"Source");
    get(L"Number", v.put());
    const long number = ToLong(v.get());
    // Our own Russian texts before English or generic ones: the engines' tables are English
    // under Wine with an English locale, and some errors come with no description at all.
    const auto number32 = static_cast<std::int32_t>(number);
    info.description = workbench::ErrorDescription(language_, number32, source, description);
    if (info.description.empty()) info.description = DescribeNumber(number);
    if (info.description.empty())
        info.description = workbench::UnknownErrorText(number32, source, description);
    get(L"Line", v.put());
    info.line = ToLong(v.get());
    get(L"Column", v.put());
    info.column = ToLong(v.get());
    return info;
}

}  // namespace zeph::win
