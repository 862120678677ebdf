#include "module/com_module.h"

#include <oleauto.h>

#include <stdexcept>
#include <utility>

#include "base/result.h"
#include "forms/whats_this.h"
#include "module/server.h"
#include "text/cp1251.h"

using zeph::text::operator""_cp;

namespace zeph::module {

namespace {

constexpr const wchar_t* kProgId = L"Zeph.ComModule";

// Late-bound callers show the description: the core's errors carry texts meant for users.
HRESULT ReportCaught() noexcept {
    return win::ReportCaughtException(IID_IComModule, kProgId,
                                      {E_UNEXPECTED, L"Непредвиденная ошибка", true});
}

}  // namespace

void TDestroyNotifier::Notification(win::TExForm* component, TOperation operation) noexcept {
    if (FModule && operation == TOperation::opRemove && FModule->FDialog &&
        static_cast<win::TExForm*>(FModule->FDialog) == component)
        FModule->FDialog = nullptr;
}

win::TExForm::FreeNotification TDestroyNotifier::Callback() noexcept {
    return [this](win::TExForm* form) { Notification(form, TOperation::opRemove); };
}

TComModule::TComModule(WindowFactory makeWindow) : FMakeWindow(makeWindow) {
    FDestroyNotifier = std::make_unique<TDestroyNotifier>(this);
    ObjectCreated();
}

TComModule::~TComModule() {
    // The open window goes without its close handling. When the release comes from inside one
    // of its messages (a script's message box), the form is freed when that message returns; it
    // keeps the module loaded until then.
    if (win::TApplicationForm* dialog = std::exchange(FDialog, nullptr)) {
        dialog->RemoveFreeNotification(FNotificationId);
        if (dialog->InMessage()) {
            try {
                dialog->AddFreeNotification([](win::TExForm*) { ObjectDestroyed(); });
                ObjectCreated();
            } catch (...) {
            }
        }
        dialog->Free();
    }
    FDestroyNotifier.reset();
    FApplication.reset();
    ObjectDestroyed();
}

ITypeInfo* TComModule::TypeInfo() {
    if (!typeInfo_) {
        win::ComPtr<ITypeLib> library;
        THROW_IF_FAILED(::LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, library.put()));
        THROW_IF_FAILED(library->GetTypeInfoOfGuid(IID_IComModule, typeInfo_.put()));
    }
    return typeInfo_.get();
}

STDMETHODIMP TComModule::GetTypeInfoCount(UINT* count) noexcept {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP TComModule::GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    try {
        *info = TypeInfo();
        (*info)->AddRef();
        return S_OK;
    }
    CATCH_RETURN();
}

STDMETHODIMP TComModule::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                       DISPID* ids) noexcept {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    try {
        return ::DispGetIDsOfNames(TypeInfo(), names, count, ids);
    }
    CATCH_RETURN();
}

STDMETHODIMP TComModule::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    try {
        return ::DispInvoke(static_cast<IComModule*>(this), TypeInfo(), id, flags, params, result,
                            exception, argError);
    }
    CATCH_RETURN();
}

STDMETHODIMP TComModule::InterfaceSupportsErrorInfo(REFIID riid) noexcept {
    return riid == IID_IComModule ? S_OK : S_FALSE;
}

STDMETHODIMP TComModule::Init(ITellurApplication* anTellur) noexcept {
    try {
        FApplication = win::ComPtr<ITellurApplication>(anTellur);
        return S_OK;
    } catch (...) {
        return ReportCaught();
    }
}

STDMETHODIMP TComModule::OpenMainModelessDialog() noexcept {
    try {
        DoOpenMainModelessDialog();
        return S_OK;
    } catch (...) {
        return ReportCaught();
    }
}

HWND TComModule::HostMainWindow() {
    if (!FApplication)
        throw std::runtime_error(
            std::string(u8"Модуль не инициализирован: нет объекта приложения"_cp));
    win::ComPtr<ITellurMainWindow> mainWindow;
    THROW_IF_FAILED(FApplication->GetMainWindow(mainWindow.put()));
    if (!mainWindow) win::ThrowHResult(E_POINTER, "GetMainWindow");
    long handle = 0;
    THROW_IF_FAILED(mainWindow->GetWindowHandle(&handle));
    // Window handles are 32-bit values, sign-extended in a 64-bit process.
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle));
}

void TComModule::DoOpenMainModelessDialog() {
    if (!FDialog) {
        // The what's-this controller and its hook come with the first window, on the host's
        // user-interface thread; loading the module does no such work.
        win::LoadWhatsThis();
        HWND owner = HostMainWindow();
        FDialog = FMakeWindow(owner);
        try {
            FNotificationId = FDialog->AddFreeNotification(FDestroyNotifier->Callback());
        } catch (...) {
            // Unheard of, the window would outlive our reference to it.
            delete std::exchange(FDialog, nullptr);
            throw;
        }
        // A failure from here on keeps the window: the next call shows it as it is.
        FDialog->AttachApplication(FApplication.get());
    }
    FDialog->Show();
}

}  // namespace zeph::module
