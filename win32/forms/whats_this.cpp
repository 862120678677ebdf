#include "forms/whats_this.h"

#include <windowsx.h>

#include <deque>
#include <exception>
#include <vector>

#include "base/result.h"
#include "base/wide.h"
#include "base/window_class.h"
#include "forms/forms.h"
#include "forms/help_dialogs.h"

namespace zeph::win {

namespace {

// The hook turns the messages it takes over into these, addressed to the dispatcher window.
// Point help: wparam the clicked window, lparam the screen point. Menu help: wparam the command,
// lparam the window.
constexpr UINT kPointHelpMessage = WM_APP + 0x51;
constexpr UINT kMenuHelpMessage = WM_APP + 0x52;
constexpr UINT kOptionsMessage = WM_APP + 0x53;
constexpr wchar_t kDispatcherClass[] = L"TWhatsThisDispatcher";

TWhatsThis* g_controller = nullptr;  // the one whose hook is installed on this thread

std::string ClassOf(HWND hwnd) {
    wchar_t name[256] = L"";
    ::GetClassNameW(hwnd, name, 256);
    return Narrow(name);
}

int ChildIndex(HWND child) {
    int index = 0;
    for (HWND w = ::GetWindow(child, GW_HWNDPREV); w; w = ::GetWindow(w, GW_HWNDPREV)) ++index;
    return index;
}

TExForm* FormAround(HWND hwnd) {
    for (HWND h = hwnd; h;
         h = (::GetWindowLongW(h, GWL_STYLE) & WS_CHILD) ? ::GetParent(h) : nullptr) {
        if (TExForm* form = TExForm::FromHandle(h)) return form;
    }
    return nullptr;
}

// The deepest visible child under `screen`, the last child first at every level.
HWND ControlAt(HWND form, POINT screen) {
    HWND control = form;
    for (;;) {
        std::vector<HWND> children;
        for (HWND c = ::GetWindow(control, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
            children.push_back(c);
        HWND hit = nullptr;
        for (auto it = children.rbegin(); it != children.rend() && !hit; ++it) {
            RECT r{};
            if (::IsWindowVisible(*it) && ::GetWindowRect(*it, &r) && ::PtInRect(&r, screen))
                hit = *it;
        }
        if (!hit) return control;
        control = hit;
    }
}

// Position of command `id` among the items of `menu` and its sub-menus, depth first; -1 if
// the menu has no such item.
int MenuItemIndex(HMENU menu, UINT id, int& counter) {
    const int n = ::GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        const int index = counter++;
        if (HMENU sub = ::GetSubMenu(menu, i)) {
            const int found = MenuItemIndex(sub, id, counter);
            if (found >= 0) return found;
        } else if (::GetMenuItemID(menu, i) == id) {
            return index;
        }
    }
    return -1;
}

void Redirect(MSG& msg, HWND to, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!to) {
        msg.message = WM_NULL;
        return;
    }
    msg.hwnd = to;
    msg.message = message;
    msg.wParam = wparam;
    msg.lParam = lparam;
}

void Report(const std::exception_ptr& error) noexcept {
    ShowException(error, ::GetActiveWindow(), L"Zeph");
}

}  // namespace

TWhatsThis::TWhatsThis(std::wstring iniFile, std::wstring helpFile, IHtmlHelp& help)
    : iniFile_(std::move(iniFile)), helpFile_(std::move(helpFile)), help_(help) {
    hook_ = ::SetWindowsHookExW(WH_GETMESSAGE, &TWhatsThis::GetMessageHook, CodeModule(),
                                ::GetCurrentThreadId());
    g_controller = this;
}

TWhatsThis::~TWhatsThis() {
    if (hook_) ::UnhookWindowsHookEx(hook_);
    if (g_controller == this) g_controller = nullptr;
    if (dispatcher_) ::DestroyWindow(dispatcher_);
    WhatsThisMode::SetActive(false);
}

bool TWhatsThis::Active() const noexcept {
    return WhatsThisMode::Active();
}

void TWhatsThis::SetActive(bool on) noexcept {
    WhatsThisMode::SetActive(on);
}

LRESULT CALLBACK TWhatsThis::GetMessageHook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    if (code == HC_ACTION && wparam == PM_REMOVE && g_controller)
        g_controller->TakeOver(*reinterpret_cast<MSG*>(lparam));
    return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

bool TWhatsThis::TakeOver(MSG& msg) noexcept {
    if (!Active()) return false;
    switch (msg.message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK: {
            POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
            ::ClientToScreen(msg.hwnd, &p);
            clickHitTest_ = HTCLIENT;
            Redirect(msg, Dispatcher(), kPointHelpMessage, reinterpret_cast<WPARAM>(msg.hwnd),
                     MAKELPARAM(p.x, p.y));
            return true;
        }
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK:
        case WM_NCRBUTTONDOWN:
        case WM_NCRBUTTONDBLCLK:
        case WM_NCMBUTTONDOWN:
        case WM_NCMBUTTONDBLCLK:
            // The system menu and the menu bar keep working while the mode is on.
            if (msg.wParam == HTSYSMENU || msg.wParam == HTMENU) return false;
            clickHitTest_ = static_cast<int>(msg.wParam);
            Redirect(msg, Dispatcher(), kPointHelpMessage, reinterpret_cast<WPARAM>(msg.hwnd),
                     msg.lParam);
            return true;
        case WM_COMMAND:
            if (HIWORD(msg.wParam) == 0 && msg.lParam == 0) {
                Redirect(msg, Dispatcher(), kMenuHelpMessage, LOWORD(msg.wParam),
                         reinterpret_cast<LPARAM>(msg.hwnd));
            } else {
                msg.message = WM_NULL;
            }
            return true;
        case WM_SYSCOMMAND:
            msg.message = WM_NULL;
            return true;
        case WM_KEYDOWN:
            if (msg.wParam == VK_F1) {
                Redirect(msg, Dispatcher(), kOptionsMessage, 0, 0);
            } else {
                if (msg.wParam == VK_ESCAPE) SetActive(false);
                msg.message = WM_NULL;
            }
            return true;
        default:
            return false;
    }
}

HWND TWhatsThis::Dispatcher() noexcept {
    if (dispatcher_) return dispatcher_;
    WNDCLASSEXW wc{};
    wc.lpfnWndProc = &TWhatsThis::DispatchProc;
    wc.lpszClassName = kDispatcherClass;
    try {
        RegisterModuleClass(wc);
    } catch (...) {
        return nullptr;  // no dispatcher: the request goes straight to the viewer
    }
    dispatcher_ = ::CreateWindowExW(0, kDispatcherClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    CodeModule(), nullptr);
    if (dispatcher_)
        ::SetWindowLongPtrW(dispatcher_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return dispatcher_;
}

LRESULT CALLBACK TWhatsThis::DispatchProc(HWND hwnd, UINT message, WPARAM wparam,
                                          LPARAM lparam) noexcept {
    auto* self = reinterpret_cast<TWhatsThis*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(hwnd, message, wparam, lparam);
    try {
        switch (message) {
            case kPointHelpMessage:
                self->PointHelp(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)},
                                self->clickHitTest_, reinterpret_cast<HWND>(wparam));
                return 0;
            case kMenuHelpMessage:
                self->MenuHelp(reinterpret_cast<HWND>(lparam), static_cast<UINT>(wparam));
                return 0;
            case kOptionsMessage:
                self->OptionsDialog();
                return 0;
            default:
                break;
        }
    } catch (...) {
        Report(std::current_exception());
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

void TWhatsThis::PointHelp(POINT screen, int hitTest, HWND clicked) {
    TExForm* remembered = WhatsThisMode::Form();
    SetActive(false);
    // The window that took the click is the one under the point, also on a frame that a window
    // manager draws, where the system may find none.
    if (clicked && !::IsWindow(clicked)) clicked = nullptr;
    if (TExForm* form = FormAround(clicked ? clicked : ::WindowFromPoint(screen))) {
        ComponentHelp(*form, ControlAt(form->Handle(), screen), hitTest, nullptr);
    } else {
        ::MessageBeep(0);
    }
    if (designMode_) {
        SetActive(true);
        WhatsThisMode::SetForm(remembered);
    }
}

void TWhatsThis::MenuHelp(HWND window, UINT command) {
    TExForm* remembered = WhatsThisMode::Form();
    SetActive(false);
    TExForm* form = FormAround(window);
    HMENU menu = form ? ::GetMenu(form->Handle()) : nullptr;
    int counter = 0;
    const int index = menu ? MenuItemIndex(menu, command, counter) : -1;
    if (index >= 0) {
        forms::HelpComponent item;
        item.className = "TMenuItem";
        item.isControl = false;
        item.index = index;
        ComponentHelp(*form, form->Handle(), HTCLIENT, &item);
    }
    if (designMode_) {
        SetActive(true);
        WhatsThisMode::SetForm(remembered);
    }
}

void TWhatsThis::ComponentHelp(TExForm& form, HWND control, int hitTest,
                               const forms::HelpComponent* item) {
    // The chain from the form down to the control, each linked to its parent.
    std::deque<forms::HelpComponent> chain;
    for (HWND h = control; h; h = ::GetParent(h)) {
        forms::HelpComponent c;
        c.isForm = h == form.Handle();
        c.className = ClassOf(h);
        c.name = c.isForm ? std::string() : form.ControlName(h);
        c.index = c.isForm ? 0 : ChildIndex(h);
        chain.push_front(std::move(c));
        if (h == form.Handle()) break;
    }
    for (std::size_t i = 1; i < chain.size(); ++i) chain[i].parent = &chain[i - 1];
    forms::HelpComponent target = item ? *item : chain.back();
    if (item) target.parent = &chain.front();

    const forms::HelpKey key = forms::HelpKeyOf(target, hitTest);
    const std::wstring section = Wide(key.section), name = Wide(key.key);
    wchar_t stored[257] = L"";
    ::GetPrivateProfileStringW(section.c_str(), name.c_str(), L"", stored, 257, iniFile_.c_str());
    if (designMode_) {
        std::wstring text = stored;
        if (RunHelpCtxForm(form.Handle(), section, name, text))
            ::WritePrivateProfileStringW(section.c_str(), name.c_str(), text.c_str(),
                                         iniFile_.c_str());
    } else {
        ShowHelp(Narrow(stored));
    }
}

void TWhatsThis::ShowHelp(const std::string& text) {
    const forms::HelpRequest request = forms::ParseHelpText(Narrow(helpFile_), text);
    if (request.kind == forms::HelpRequest::Kind::Topic) {
        help_.Request(request.file, kHelpDisplayTopic, 0);
        return;
    }
    HelpPopup popup;
    popup.idString = request.stringId;
    ::GetCursorPos(&popup.pt);
    help_.Request(request.file, kHelpDisplayTextPopup, reinterpret_cast<DWORD_PTR>(&popup));
}

void TWhatsThis::OptionsDialog() {
    SetActive(false);
    std::wstring ini = iniFile_;
    bool design = designMode_;
    if (RunWhatsThisOptionsForm(::GetActiveWindow(), ini, design)) {
        iniFile_ = ini;
        designMode_ = design;
    }
    SetActive(true);
}

// --- the module's controller ------------------------------------------------------------------

namespace {

struct ModuleHelp {
    HtmlHelp help;
    std::unique_ptr<TWhatsThis> controller;
    ATOM atom = 0;
};

ModuleHelp* g_module = nullptr;

}  // namespace

void LoadWhatsThis() noexcept {
    if (g_module) return;
    try {
        const std::wstring exe = ModuleFileName(nullptr);
        auto module = std::make_unique<ModuleHelp>();
        module->controller = std::make_unique<TWhatsThis>(
            forms::ChangeExtension<wchar_t>(exe, L".INI"),
            forms::ChangeExtension<wchar_t>(exe, L".CHM"), module->help);
        module->atom = ::GlobalAddAtomW(FormPropertyName());
        g_module = module.release();
    } catch (...) {
        // Without the controller what's-this mode simply shows no help.
    }
}

void UnloadWhatsThis() noexcept {
    if (!g_module) return;
    if (g_module->atom) ::GlobalDeleteAtom(g_module->atom);
    g_module->controller.reset();
    delete g_module;  // closes the help viewer's windows
    g_module = nullptr;
}

void AbandonWhatsThis() noexcept {
    if (!g_module) return;
    g_module->help.Abandon();
    UnloadWhatsThis();
}

TWhatsThis* ModuleWhatsThis() noexcept {
    return g_module ? g_module->controller.get() : nullptr;
}

}  // namespace zeph::win
