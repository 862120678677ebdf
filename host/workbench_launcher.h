// Opens the script workbench of the add-in module Zeph.ComModule: created through COM by its
// ProgID, handed the application object once, asked to show its window on every request.
#pragma once

#include <windows.h>

#include <string>

#include "base/unique.h"
#include "tellur.h"

namespace tellur {

struct LaunchResult {
    HRESULT code = S_OK;
    std::wstring step;         // which call failed
    std::wstring description;  // the module's error description, or the system's text
};

class WorkbenchLauncher {
  public:
    static constexpr wchar_t kProgId[] = L"Zeph.ComModule";

    explicit WorkbenchLauncher(std::wstring progId = kProgId) : progId_(std::move(progId)) {}
    const std::wstring& progId() const noexcept { return progId_; }

    LaunchResult Open(ITellurApplication* application);
    // Releases the module object; it closes its window with it.
    void Release() { module_.reset(); }
    bool loaded() const noexcept { return static_cast<bool>(module_); }

  private:
    std::wstring progId_;
    zeph::win::ComPtr<IDispatch> module_;
};

// "Не удалось открыть ..." with the step, the code in hex and the description.
std::wstring LaunchErrorText(const LaunchResult& result);

}  // namespace tellur
