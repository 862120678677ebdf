// Base of the module's top-level windows.
//
// TExForm owns one native window and routes its messages to the virtual HandleMessage. It
// swallows WM_HELP (F1 help comes only from a window's own commands), turns the caption's
// context-help button into the process-wide what's-this mode, and shows the help cursor while
// that mode is on.
//
// Lifecycle:
//  - Construct the object, then create its window with CreateWindowHandle (throws on failure).
//  - Closing the window (WM_CLOSE with the default handling, or DestroyWindow) destroys the
//    window; after WM_NCDESTROY the object is detached from it and WindowDestroyed() runs. A form
//    that frees itself when closed does `delete this` there, and must touch nothing afterwards.
//  - `delete form` detaches the object and destroys a still existing window without any close
//    handling (no WM_CLOSE; WindowDestroyed() is not called). ~TExForm does this after the
//    derived parts are gone; a form whose members serve its child windows calls
//    DestroyWindowHandle() in its own destructor first.
//  - A handler of the form may run a nested message loop (a script's message box) in which the
//    window is destroyed (its owner went) or the form is freed. WindowDestroyed() and the freeing
//    then wait until the form's outermost message returns, so no handler has its form deleted
//    under it. Free() is the way to free a form from outside that may be inside such a loop.
//  - The free notifications run exactly once, from ~TExForm, in the order they were added; the
//    form pointer they get is for identity only (the derived parts are gone by then).
//
// TNonModalForm is a form owned by a native window of another module (the host's main window or
// another form), given by handle: it stays above its owner and is minimised and hidden with it,
// but it is never a child of it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zeph::win {

class TExForm;

// What's-this mode, one per process. The caption's context-help button switches it on and
// records the form; the what's-this controller reads and ends it.
class WhatsThisMode {
  public:
    static bool Active() noexcept;
    // Switching clears the recorded form; switching off lets the window under the mouse put
    // its own cursor back. Setting the current value again does nothing.
    static void SetActive(bool on) noexcept;
    static TExForm* Form() noexcept;
    static void SetForm(TExForm* form) noexcept;
};

// Everything CreateWindowExW needs; CreateParams adjusts it before the window is made.
struct FormParams {
    std::wstring className = L"TExForm";
    std::wstring caption;
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD exStyle = 0;
    int x = CW_USEDEFAULT;
    int y = CW_USEDEFAULT;
    int width = CW_USEDEFAULT;
    int height = CW_USEDEFAULT;
    HWND parent = nullptr;  // the owner, for a top-level window
    HMENU menu = nullptr;
    // Window class, registered once per process under className.
    UINT classStyle = CS_DBLCLKS;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HCURSOR cursor = nullptr;  // nullptr: the arrow
    HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
};

class TExForm {
  public:
    using FreeNotification = std::function<void(TExForm* form)>;
    using FreeNotificationId = std::uint64_t;

    TExForm() = default;
    TExForm(const TExForm&) = delete;
    TExForm& operator=(const TExForm&) = delete;
    virtual ~TExForm();

    HWND Handle() const noexcept { return hwnd_; }

    // The form whose window this is, or nullptr for any other window (of this module or not).
    static TExForm* FromHandle(HWND hwnd) noexcept;

    // Component names of child windows, for what's-this help (code page 1251). A control without
    // a name is known by its class and position.
    void NameControl(HWND control, std::string name);
    std::string ControlName(HWND control) const;

    // Runs once from the destructor; the id removes it earlier.
    FreeNotificationId AddFreeNotification(FreeNotification callback);
    void RemoveFreeNotification(FreeNotificationId id) noexcept;

    // Frees the form now, or, while one of its messages is being handled, destroys its window now
    // (without close handling) and frees it when that message returns.
    void Free() noexcept;
    // Whether one of the form's messages is being handled (Free() would wait for it).
    bool InMessage() const noexcept { return dispatchDepth_ > 0; }

  protected:
    // Registers the class if needed, applies CreateParams and creates the window. Throws an
    // HResultError when the window cannot be made.
    void CreateWindowHandle(FormParams params);

    // Last word on the window's parameters; derived forms call the base first.
    virtual void CreateParams(FormParams& params) {}

    // Message handling; the default is DefWindowProcW except for the three messages below.
    // Overrides pass what they do not handle to their base.
    virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

    // Called after WM_NCDESTROY, when the window is gone and the object is detached from it.
    virtual void WindowDestroyed() {}

    // An exception that reached the window procedure. The default shows its text in a message
    // box with an error icon, ending in "." when its last character sorts after ".".
    virtual void HandleException(std::exception_ptr error) noexcept;

    // Detaches the object and destroys its window, if any, without WindowDestroyed().
    void DestroyWindowHandle() noexcept;

    LRESULT DefaultHandling(UINT message, WPARAM wparam, LPARAM lparam) noexcept {
        return ::DefWindowProcW(hwnd_, message, wparam, lparam);
    }

  private:
    LRESULT WMHelp(WPARAM wparam, LPARAM lparam);
    LRESULT WMSysCommand(WPARAM wparam, LPARAM lparam);
    LRESULT WMSetCursor(WPARAM wparam, LPARAM lparam);

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                       LPARAM lparam) noexcept;
    void Attach(HWND hwnd) noexcept;
    void Detach() noexcept;
    // What waited for the outermost message to return: the freeing or WindowDestroyed().
    void FinishPending() noexcept;

    struct Subscriber {
        FreeNotificationId id;
        FreeNotification callback;
    };

    HWND hwnd_ = nullptr;
    bool creating_ = false;
    int dispatchDepth_ = 0;
    bool destroyedPending_ = false;
    bool freePending_ = false;
    std::vector<Subscriber> freeNotifications_;
    std::map<HWND, std::string> controlNames_;
    FreeNotificationId nextFreeNotificationId_ = 1;
};

class TNonModalForm : public TExForm {
  public:
    // `owner` may be 0: the window then has no owner.
    explicit TNonModalForm(HWND owner) noexcept : ownerWindow_(owner) {}

    HWND OwnerWindow() const noexcept { return ownerWindow_; }

  protected:
    // Makes the window a top-level window (popup or overlapped, never a child) owned by the
    // window given at construction.
    void CreateParams(FormParams& params) override;

  private:
    HWND ownerWindow_;
};

// Name of the window property that leads from a native window to its form: a fixed prefix and
// the process identifier in eight upper-case hexadecimal digits.
const wchar_t* FormPropertyName() noexcept;

}  // namespace zeph::win
