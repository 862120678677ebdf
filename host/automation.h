// Tellur's automation objects: the application object handed to add-in modules and their
// scripts, and the objects reached from it. IDispatch comes from the type library that the
// executable carries as resource TYPELIB 110.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "base/result.h"
#include "base/unique.h"
#include "host/map_model.h"
#include "tellur.h"

namespace tellur {

// What the automation objects ask of the main window.
class HostWindow {
  public:
    virtual HWND Handle() const = 0;
    virtual void RedrawNow() = 0;
    virtual void ZoomAll() = 0;
    virtual double Zoom() const = 0;
    virtual void SetZoom(double zoom) = 0;
    virtual std::wstring StatusText() const = 0;
    virtual void SetStatusText(const std::wstring& text) = 0;
    virtual Units CoordinateUnits() const = 0;
    virtual void SetCoordinateUnits(Units units) = 0;
    virtual void OpenMap(const std::wstring& path) = 0;

  protected:
    ~HostWindow() = default;
};

// State shared by the window and every automation object; objects keep it alive, so a
// script's reference may outlive the window (calls then fail cleanly).
struct Host {
    Map map;
    HostWindow* window = nullptr;  // none once the main window is gone
    std::wstring dataFolder;       // ends in a path separator
    std::function<void(const std::wstring&)> log;
    std::wstring version = L"1.0";
};

// The type library of this executable (resource TYPELIB 110 of the process's .exe).
ITypeLib* HostTypeLibrary();
// Registers it for the current user, so that type libraries importing it resolve.
HRESULT RegisterHostTypeLibrary();

// The code and user text of a failure anywhere in the host: a map error is a bad argument,
// library texts are not shown. Never throws.
zeph::win::ErrorReport DescribeHostError(const std::exception_ptr& error) noexcept;

zeph::win::ComPtr<ITellurApplication> CreateApplication(std::shared_ptr<Host> host);

}  // namespace tellur
