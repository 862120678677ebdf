// The platform's script engine (the Script Control), driven late-bound through IDispatch.
// One object per run: the run creates it, feeds it and lets it go, which ends everything the
// script set up.
#pragma once

#include <windows.h>

#include <string>

#include "base/unique.h"

namespace zeph::win {

class ScriptControl {
  public:
    // Where and why the engine stopped: the engine's own description, line from 1, column from 0.
    struct ErrorInfo {
        std::string description;  // code page 1251; never empty when the engine gives a number
        long line = 0;
        long column = 0;
    };

    // Creates a fresh engine in-process; throws HResultError when it cannot be had.
    ScriptControl();
    ScriptControl(const ScriptControl&) = delete;
    ScriptControl& operator=(const ScriptControl&) = delete;

    void SetLanguage(std::string_view language);  // "VBScript" or "JavaScript"
    void SetSiteWindow(HWND hwnd);
    // Publishes `object` under `name`; its members become global names when add_members is set.
    void AddObject(std::string_view name, IDispatch* object, bool add_members);
    // Adds code to the global module and runs its global statements at once. Returns false when
    // the engine reports an error (read it with LastError); other failures throw.
    bool AddCode(std::string_view code);
    ErrorInfo LastError();

  private:
    DISPID Id(const wchar_t* name);
    std::string DescribeNumber(long number) const;
    HRESULT Invoke(DISPID id, WORD flags, VARIANT* args, UINT count, VARIANT* result,
                   EXCEPINFO* excep = nullptr);

    ComPtr<IDispatch> engine_;
    std::string language_;
};

}  // namespace zeph::win
