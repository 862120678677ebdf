#include "workbench/echo_object.h"

#include <new>
#include <string>
#include <vector>

#include "base/com_object.h"
#include "base/result.h"
#include "base/unique.h"
#include "base/wide.h"
#include "workbench/output.h"

namespace zeph::win {

namespace {

// An argument as VBScript's own conversion to text gives it; objects by their default value.
std::string ArgumentText(const VARIANT& arg) {
    const VARIANT* v = &arg;
    while (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    if (v->vt == VT_NULL) return "Null";
    if (v->vt == VT_EMPTY) return {};
    UniqueVariant text;
    if (FAILED(
            ::VariantChangeType(text.get(), const_cast<VARIANT*>(v), VARIANT_ALPHABOOL, VT_BSTR)) ||
        !text.get()->bstrVal)
        return {};
    return Narrow({text.get()->bstrVal, ::SysStringLen(text.get()->bstrVal)});
}

class EchoObject final : public SingleMethodDispatch {
  public:
    EchoObject(std::shared_ptr<RunStop> stop, std::function<void(std::string_view)> echo)
        : SingleMethodDispatch(L"Echo"), stop_(std::move(stop)), echo_(std::move(echo)) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT*) override {
        if (id != kMethod) return DISP_E_MEMBERNOTFOUND;
        stop_->LetInputIn();
        if (stop_->Stopped()) return RunStop::StoppedResult(excep);
        if (result) ::VariantInit(result);
        try {
            std::vector<std::string> args;
            const UINT count = params ? params->cArgs : 0;
            for (UINT i = count; i > 0; --i) args.push_back(ArgumentText(params->rgvarg[i - 1]));
            echo_(workbench::EchoText(args));
            return S_OK;
        }
        CATCH_RETURN()
    }

  private:
    std::shared_ptr<RunStop> stop_;
    std::function<void(std::string_view)> echo_;
};

}  // namespace

IDispatch* CreateEchoObject(std::shared_ptr<RunStop> stop,
                            std::function<void(std::string_view)> echo) {
    return new EchoObject(std::move(stop), std::move(echo));
}

}  // namespace zeph::win
