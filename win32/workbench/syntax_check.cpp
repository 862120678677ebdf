#include "workbench/syntax_check.h"

#include <windows.h>

#include <activscp.h>

#include <string>

#include "base/com_object.h"
#include "base/result.h"
#include "base/unique.h"
#include "base/wide.h"
#include "workbench/script_errors.h"

namespace zeph::win {

namespace {

// The engines' interfaces, named here so that no import library has to carry them.
constexpr IID kActiveScript = {
    0xbb1a2ae1, 0xa4f9, 0x11cf, {0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64}};
#ifdef _WIN64
constexpr IID kActiveScriptParse = {
    0xc7ef7658, 0xe1ee, 0x480e, {0x97, 0xea, 0xd5, 0x2c, 0xb4, 0xd7, 0x6d, 0x17}};
#else
constexpr IID kActiveScriptParse = {
    0xbb1a2ae2, 0xa4f9, 0x11cf, {0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64}};
#endif

std::string NarrowBstr(BSTR b) {
    return b ? Narrow({b, ::SysStringLen(b)}) : std::string();
}

// A site that knows no items and keeps the first error the engine reports.
class CheckSite final : public ComObject<IActiveScriptSite> {
  public:
    std::optional<workbench::ScriptError> error;
    HRESULT code = S_OK;
    std::string source;  // the engine's name for the kind of error

    HRESULT STDMETHODCALLTYPE GetLCID(LCID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR, DWORD, IUnknown** item,
                                          ITypeInfo** info) override {
        if (item) *item = nullptr;
        if (info) *info = nullptr;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* reported) override {
        if (error || !reported) return S_OK;
        EXCEPINFO excep{};
        reported->GetExceptionInfo(&excep);
        if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        workbench::ScriptError found;
        if (SUCCEEDED(reported->GetSourcePosition(&context, &line, &column))) {
            found.line = static_cast<int>(line) + 1;
            found.column = static_cast<int>(column);
        }
        found.description = NarrowBstr(excep.bstrDescription);
        source = NarrowBstr(excep.bstrSource);
        code = excep.scode ? excep.scode : static_cast<HRESULT>(excep.wCode);
        ::SysFreeString(excep.bstrSource);
        ::SysFreeString(excep.bstrDescription);
        ::SysFreeString(excep.bstrHelpFile);
        error = std::move(found);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }
};

}  // namespace

std::optional<workbench::ScriptError> CheckScriptSyntax(std::string_view language,
                                                        std::string_view code) {
    CLSID clsid{};
    THROW_IF_FAILED(::CLSIDFromProgID(language == "VBScript" ? L"VBScript" : L"JScript", &clsid));
    ComPtr<IActiveScript> engine;
    THROW_IF_FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kActiveScript,
                                       reinterpret_cast<void**>(engine.put())));
    ComPtr<IActiveScriptParse> parse;
    THROW_IF_FAILED(
        engine->QueryInterface(kActiveScriptParse, reinterpret_cast<void**>(parse.put())));
    ComPtr<CheckSite> site = ComPtr<CheckSite>::Attach(new CheckSite);
    THROW_IF_FAILED(engine->SetScriptSite(site.get()));
    // Closed however the check ends; never started, so the queued text never runs.
    struct Closer {
        IActiveScript* engine;
        ~Closer() { engine->Close(); }
    } closer{engine.get()};
    THROW_IF_FAILED(parse->InitNew());
    const std::wstring text = Wide(code);
    EXCEPINFO excep{};
    const HRESULT hr =
        parse->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, nullptr, &excep);
    ::SysFreeString(excep.bstrSource);
    ::SysFreeString(excep.bstrDescription);
    ::SysFreeString(excep.bstrHelpFile);
    if (SUCCEEDED(hr) && !site->error) return std::nullopt;
    workbench::ScriptError error = site->error.value_or(workbench::ScriptError{});
    // The same texts as a run's errors: Russian by the number where the engine's is empty,
    // generic or English.
    const auto number = static_cast<std::int32_t>(site->error ? site->code : hr);
    const std::string raw = error.description;
    error.description = workbench::ErrorDescription(language, number, site->source, raw);
    if (error.description.empty() && number != static_cast<std::int32_t>(E_FAIL))
        error.description = SystemMessage(number);
    if (error.description.empty())
        error.description = workbench::UnknownErrorText(number, site->source, raw);
    return error;
}

}  // namespace zeph::win
