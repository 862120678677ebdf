// The automation object the host creates: keeps the host's application object and owns at most
// one workbench window, made by its window factory, which it opens over the host's main window
// and forgets when the window goes away.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "base/com_object.h"
#include "base/unique.h"
#include "forms/forms.h"
#include "module/window_factory.h"
#include "zeph.h"

namespace zeph::module {

class TComModule;

enum class TOperation { opRemove };

// Hears when the module's window is freed, so that the module forgets it.
class TDestroyNotifier {
  public:
    explicit TDestroyNotifier(TComModule* module) noexcept : FModule(module) {}

    void Notification(win::TExForm* component, TOperation operation) noexcept;
    // The callback to register with a window's free notifications.
    win::TExForm::FreeNotification Callback() noexcept;

  private:
    TComModule* FModule;
};

class TComModule final : public win::ComObject<IComModule, ISupportErrorInfo> {
  public:
    explicit TComModule(WindowFactory makeWindow);
    TComModule(const TComModule&) = delete;
    TComModule& operator=(const TComModule&) = delete;

    // IDispatch, served from the module's type library
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) noexcept override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept override;

    // IComModule
    STDMETHODIMP Init(ITellurApplication* anTellur) noexcept override;
    STDMETHODIMP OpenMainModelessDialog() noexcept override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) noexcept override;

  private:
    friend class TDestroyNotifier;
    ~TComModule();

    void DoOpenMainModelessDialog();
    HWND HostMainWindow();
    ITypeInfo* TypeInfo();

    WindowFactory FMakeWindow;
    win::ComPtr<ITellurApplication> FApplication;
    win::TApplicationForm* FDialog = nullptr;
    win::TExForm::FreeNotificationId FNotificationId = 0;
    std::unique_ptr<TDestroyNotifier> FDestroyNotifier;

    win::ComPtr<ITypeInfo> typeInfo_;
};

}  // namespace zeph::module
