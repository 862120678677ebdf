#include "forms/forms.h"

#include <algorithm>
#include <cwchar>
#include <set>
#include <stdexcept>

#include "base/result.h"
#include "base/wide.h"
#include "base/window_class.h"
#include "base/window_text.h"

namespace zeph::win {

namespace {

// The whole module runs on the host's user-interface thread; the state below is touched from
// there only.
struct WhatsThisState {
    bool active = false;
    TExForm* form = nullptr;
};

WhatsThisState& WhatsThis() noexcept {
    static WhatsThisState state;
    return state;
}

// Window property that leads from a native handle to its form. The process id in the name keeps
// two copies of this code in one process (or other modules' forms) apart.
const wchar_t* FormProperty() noexcept {
    static const std::wstring name = [] {
        wchar_t buffer[32];
        std::swprintf(buffer, 32, L"ZephForm%08lX",
                      static_cast<unsigned long>(::GetCurrentProcessId()));
        return std::wstring(buffer);
    }();
    return name.c_str();
}

}  // namespace

const wchar_t* FormPropertyName() noexcept {
    return FormProperty();
}

bool WhatsThisMode::Active() noexcept {
    return WhatsThis().active;
}

void WhatsThisMode::SetActive(bool on) noexcept {
    WhatsThisState& state = WhatsThis();
    if (state.active == on) return;
    state.active = on;
    state.form = nullptr;
    if (!on) {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        if (HWND under = ::WindowFromPoint(cursor)) {
            LRESULT hit = ::SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(cursor.x, cursor.y));
            ::SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                           MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
        } else {
            ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
        }
    }
}

TExForm* WhatsThisMode::Form() noexcept {
    return WhatsThis().form;
}

void WhatsThisMode::SetForm(TExForm* form) noexcept {
    WhatsThis().form = form;
}

TExForm::~TExForm() {
    DestroyWindowHandle();
    if (WhatsThis().form == this) WhatsThis().form = nullptr;
    // Taken out first, so that a callback removing itself (or another) cannot disturb the walk
    // and none can run twice.
    std::vector<Subscriber> subscribers = std::move(freeNotifications_);
    freeNotifications_.clear();
    for (Subscriber& s : subscribers) {
        try {
            s.callback(this);
        } catch (...) {
            // A destructor has no one to report to.
        }
    }
}

TExForm* TExForm::FromHandle(HWND hwnd) noexcept {
    if (!hwnd) return nullptr;
    return static_cast<TExForm*>(::GetPropW(hwnd, FormProperty()));
}

void TExForm::NameControl(HWND control, std::string name) {
    controlNames_[control] = std::move(name);
}

std::string TExForm::ControlName(HWND control) const {
    auto it = controlNames_.find(control);
    return it == controlNames_.end() ? std::string() : it->second;
}

TExForm::FreeNotificationId TExForm::AddFreeNotification(FreeNotification callback) {
    FreeNotificationId id = nextFreeNotificationId_++;
    freeNotifications_.push_back(Subscriber{id, std::move(callback)});
    return id;
}

void TExForm::RemoveFreeNotification(FreeNotificationId id) noexcept {
    std::erase_if(freeNotifications_, [id](const Subscriber& s) { return s.id == id; });
}

void TExForm::CreateWindowHandle(FormParams params) {
    if (hwnd_) throw std::logic_error("form window already exists");
    CreateParams(params);
    HINSTANCE instance = CodeModule();
    {
        WNDCLASSEXW wc{};
        wc.style = params.classStyle;
        wc.lpfnWndProc = &TExForm::WindowProc;
        wc.hIcon = params.icon;
        wc.hIconSm = params.smallIcon;
        wc.hCursor = params.cursor ? params.cursor : ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = params.background;
        wc.lpszClassName = params.className.c_str();
        RegisterModuleClass(wc);  // once per name, and again over one an earlier load left
    }

    creating_ = true;
    HWND hwnd = ::CreateWindowExW(params.exStyle, params.className.c_str(), params.caption.c_str(),
                                  params.style, params.x, params.y, params.width, params.height,
                                  params.parent, params.menu, instance, this);
    creating_ = false;
    if (!hwnd) {
        Detach();
        ThrowLastError("CreateWindowExW");
    }
}

void TExForm::Attach(HWND hwnd) noexcept {
    hwnd_ = hwnd;
    ::SetPropW(hwnd, FormProperty(), this);
}

void TExForm::Detach() noexcept {
    if (hwnd_) ::RemovePropW(hwnd_, FormProperty());
    hwnd_ = nullptr;
}

void TExForm::DestroyWindowHandle() noexcept {
    if (!hwnd_) return;
    HWND hwnd = hwnd_;
    Detach();
    ::DestroyWindow(hwnd);
}

LRESULT TExForm::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_HELP:
            return WMHelp(wparam, lparam);
        case WM_SYSCOMMAND:
            return WMSysCommand(wparam, lparam);
        case WM_SETCURSOR:
            return WMSetCursor(wparam, lparam);
        default:
            return DefaultHandling(message, wparam, lparam);
    }
}

LRESULT TExForm::WMHelp(WPARAM, LPARAM) {
    // Not passed on: the default would hand it to the owner, i.e. the host's help.
    return 0;
}

LRESULT TExForm::WMSysCommand(WPARAM wparam, LPARAM lparam) {
    if ((wparam & 0xFFF0) == SC_CONTEXTHELP) {
        WhatsThisMode::SetActive(true);
        WhatsThisMode::SetForm(this);
        return 0;
    }
    return DefaultHandling(WM_SYSCOMMAND, wparam, lparam);
}

LRESULT TExForm::WMSetCursor(WPARAM wparam, LPARAM lparam) {
    if (WhatsThisMode::Active()) {
        TExForm* form = WhatsThisMode::Form();
        if (!form || form == this) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_HELP));
            return TRUE;
        }
    }
    return DefaultHandling(WM_SETCURSOR, wparam, lparam);
}

void TExForm::HandleException(std::exception_ptr error) noexcept {
    ShowException(error, hwnd_, hwnd_ ? WindowText(hwnd_) : std::wstring());
}

LRESULT CALLBACK TExForm::WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                     LPARAM lparam) noexcept {
    TExForm* form = nullptr;
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        form = static_cast<TExForm*>(create->lpCreateParams);
        if (form) form->Attach(hwnd);
    } else {
        form = FromHandle(hwnd);
    }
    if (!form) return ::DefWindowProcW(hwnd, message, wparam, lparam);

    // A handler may run a nested message loop (a script's message box) in which the window is
    // destroyed or the form freed; both wait until the outermost message of the form returns.
    ++form->dispatchDepth_;
    LRESULT result = 0;
    try {
        result = form->HandleMessage(message, wparam, lparam);
    } catch (...) {
        form->HandleException(std::current_exception());
        result = 0;
    }
    if (message == WM_NCDESTROY && form->hwnd_ == hwnd) {
        form->Detach();
        // A window that failed during creation is reported by CreateWindowHandle instead.
        if (!form->creating_) form->destroyedPending_ = true;
    }
    if (--form->dispatchDepth_ == 0) form->FinishPending();  // may delete the form
    return result;
}

void TExForm::FinishPending() noexcept {
    if (freePending_) {
        delete this;
        return;
    }
    if (!destroyedPending_) return;
    destroyedPending_ = false;
    try {
        WindowDestroyed();  // may delete the form
    } catch (...) {
    }
}

void TExForm::Free() noexcept {
    if (dispatchDepth_ == 0) {
        delete this;
        return;
    }
    // Inside one of its own messages: the window goes now, the object once that message returns.
    DestroyWindowHandle();
    destroyedPending_ = false;
    freePending_ = true;
}

void TNonModalForm::CreateParams(FormParams& params) {
    TExForm::CreateParams(params);
    params.style &= ~static_cast<DWORD>(WS_CHILD);
    params.parent = ownerWindow_;
}

}  // namespace zeph::win
