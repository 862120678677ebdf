#include "workbench/main_form.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "base/result.h"
#include "base/wide.h"
#include "editor/completion_popup.h"
#include "editor/line_block.h"
#include "settings/settings_form.h"
#include "store/description.h"
#include "store/script_store.h"
#include "text/cp1251.h"
#include "workbench/editor_menu.h"
#include "workbench/glyphs.h"
#include "workbench/script_engines.h"
#include "xml/xml.h"

namespace zeph::win {

using text::operator""_cp;
using workbench::ActionId;
using workbench::KeyStroke;

namespace {

constexpr UINT_PTR kCaptionTimer = 1;
constexpr UINT kCaptionTimerPeriod = 3000;
// Posted by the key hook: runs the action given in wparam once the key message is gone.
constexpr UINT kRunActionMessage = WM_APP + 0x101;
// Posted by the key hook: hands the oldest taken key message to its control.
constexpr UINT kTakenKeyMessage = WM_APP + 0x102;
// Posted by the message hook after a click on the owner: puts the window back above it.
constexpr UINT kKeepAboveOwnerMessage = WM_APP + 0x103;
// Posted by the key hook: an output-pane key, its code in wparam and modifiers in lparam.
constexpr UINT kOutputKeyMessage = WM_APP + 0x104;
// Posted by the key hook: a find-bar key, its code in wparam and modifiers in lparam.
constexpr UINT kFindKeyMessage = WM_APP + 0x105;
// Posted by the key hook: runs the selected lines (Ctrl+F5).
constexpr UINT kRunSelectionMessage = WM_APP + 0x106;

constexpr WORD kComboId = 100;
constexpr WORD kEditorId = 101;
constexpr WORD kToolBarId = 102;
constexpr WORD kOutputId = 103;
constexpr WORD kFindBarFirstId = 120;  // the find bar's controls take the ids from here
// Tool buttons and menu items carry the action's index plus this base as their command.
constexpr WORD kActionCommandBase = 1000;

// The ShowWindow command for a window state: on the first showing a minimized window does not
// take the activation; later changes restore from whatever state the window is in.
int ShowCommand(store::WindowState state, bool first) {
    switch (state) {
        case store::WindowState::kMaximized:
            return first ? SW_SHOWMAXIMIZED : SW_MAXIMIZE;
        case store::WindowState::kMinimized:
            return first ? SW_SHOWMINNOACTIVE : SW_MINIMIZE;
        default:
            return first ? SW_SHOW : SW_RESTORE;
    }
}

constexpr WORD CommandOf(ActionId id) {
    return static_cast<WORD>(kActionCommandBase + static_cast<WORD>(id));
}

// Designed sizes, at 120 dots per inch.
constexpr int kDesignDpi = 120;
constexpr int kClientWidth = 376;
constexpr int kClientHeight = 160;
constexpr int kMinWidth = 384;
constexpr int kMinHeight = 200;
constexpr int kToolBarHeight = 31;
constexpr int kButtonWidth = 28;
constexpr int kButtonHeight = 27;
constexpr int kSeparatorWidth = 8;
constexpr int kToolBarIndent = 4;
constexpr int kComboWidth = 148;
constexpr int kComboHeight = 24;
constexpr int kComboDropDownCount = 32;
constexpr int kOutputHeight = 96;

// The forms of this thread, for the key hook. Everything runs on the host's UI thread. Made
// with the first form and freed with the last: a thread-local object with a destructor would keep
// the module loaded for as long as the thread lives.
struct HookState {
    HHOOK hook = nullptr;
    std::vector<TMainModelessDialogForm*> forms;
};
constinit thread_local HookState* hook_state = nullptr;

std::uint8_t KeyModifiers(const MSG& msg) {
    std::uint8_t m = workbench::kNoModifier;
    if (::GetKeyState(VK_SHIFT) < 0) m |= workbench::kShift;
    if (::GetKeyState(VK_CONTROL) < 0) m |= workbench::kCtrl;
    if (::GetKeyState(VK_MENU) < 0 || (msg.message == WM_SYSKEYDOWN && (msg.lParam & (1 << 29))))
        m |= workbench::kAlt;
    return m;
}

std::wstring WindowText(HWND hwnd) {
    const int length = ::GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    const int got = ::GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

// The tool bar's buttons, left to right; a zero command is a separator.
struct ButtonDef {
    WORD command;
    int image;
    BYTE style;
};

}  // namespace

// --- host and shell ---------------------------------------------------------------------------

class TMainModelessDialogForm::HostAdapter : public workbench::IWorkbenchHost {
  public:
    explicit HostAdapter(ITellurApplication* app) : app_(app) {}

    std::string DataFolder() override {
        UniqueBstr folder;
        THROW_IF_FAILED(app_->GetDataFolder(folder.put()));
        return Narrow(folder.get() ? std::wstring_view(folder.get(), ::SysStringLen(folder.get()))
                                   : std::wstring_view());
    }
    std::filesystem::path DataFolderPath() override {
        UniqueBstr folder;
        THROW_IF_FAILED(app_->GetDataFolder(folder.put()));
        return std::filesystem::path(folder.get()
                                         ? std::wstring(folder.get(), ::SysStringLen(folder.get()))
                                         : std::wstring());
    }
    int SelectedCount() override {
        ComPtr<ITellurSelection> selection;
        THROW_IF_FAILED(app_->GetSelection(selection.put()));
        if (!selection) ThrowHResult(E_POINTER, "GetSelection");
        LONG count = 0;
        THROW_IF_FAILED(selection->GetSelectedCount(&count));
        return static_cast<int>(count);
    }
    std::string SelectedId(int index) override {
        ComPtr<ITellurSelection> selection;
        THROW_IF_FAILED(app_->GetSelection(selection.put()));
        if (!selection) ThrowHResult(E_POINTER, "GetSelection");
        UniqueBstr id;
        THROW_IF_FAILED(selection->GetSelectedID(index, id.put()));
        return Narrow(id.get() ? std::wstring_view(id.get(), ::SysStringLen(id.get()))
                               : std::wstring_view());
    }

  private:
    ITellurApplication* app_;  // kept alive by the form
};

class TMainModelessDialogForm::ShellAdapter : public workbench::ISystemShell {
  public:
    bool FileExists(const std::string& path) override {
        const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    void StartProgram(const std::string& command_line) override {
        std::wstring line = Wide(command_line);
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION pi{};
        if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &si, &pi)) {
            ::CloseHandle(pi.hThread);
            ::CloseHandle(pi.hProcess);
        }
    }
};

// --- script engines and the description ------------------------------------------------------

// The description file, loaded afresh from the host's data folder for every request.
class TMainModelessDialogForm::DescriptionSource : public completion::IDescriptionSource {
  public:
    explicit DescriptionSource(HostAdapter& host) : host_(host) {}
    xml::XmlRef<xml::IXmlDocument> LoadDescription() override;

  private:
    HostAdapter& host_;
};

xml::XmlRef<xml::IXmlDocument> TMainModelessDialogForm::DescriptionSource::LoadDescription() {
    return store::LoadDescription([this] { return host_.DataFolderPath(); });
}

// --- creation and destruction ---------------------------------------------------------------

TMainModelessDialogForm::TMainModelessDialogForm(HWND owner)
    : TNonModalForm(owner), presenter_(*this), shell_(std::make_unique<ShellAdapter>()) {
    presenter_.SetShell(shell_.get());
    WindowDc screen(nullptr);
    if (screen) dpi_ = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    if (dpi_ <= 0) dpi_ = 96;
}

int TMainModelessDialogForm::Scaled(int length) const noexcept {
    return ::MulDiv(length, dpi_, kDesignDpi);
}

TMainModelessDialogForm* TMainModelessDialogForm::CreateOwned(HWND owner) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);

    std::unique_ptr<TMainModelessDialogForm> form(new TMainModelessDialogForm(owner));
    form->icon_.reset(CreateWorkbenchIcon(32));
    form->small_icon_.reset(CreateWorkbenchIcon(16));

    FormParams params;
    params.className = L"TMainModelessDialogForm";
    params.caption = Wide(workbench::LanguageCaption(workbench::Language::VBScript));
    params.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;  // sizeable border
    params.exStyle = WS_EX_CONTROLPARENT;
    RECT frame{0, 0, form->Scaled(kClientWidth), form->Scaled(kClientHeight)};
    ::AdjustWindowRectEx(&frame, params.style, FALSE, params.exStyle);
    params.width = frame.right - frame.left;
    params.height = frame.bottom - frame.top;
    form->CreateWindowHandle(std::move(params));

    ::SendMessageW(form->Handle(), WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(form->icon_.get()));
    ::SendMessageW(form->Handle(), WM_SETICON, ICON_SMALL,
                   reinterpret_cast<LPARAM>(form->small_icon_.get()));
    form->CreateControls();
    form->Layout();

    if (!hook_state) hook_state = new HookState;
    HookState& state = *hook_state;
    if (!state.hook) {
        state.hook =
            ::SetWindowsHookExW(WH_GETMESSAGE, &GetMessageHook, nullptr, ::GetCurrentThreadId());
        if (!state.hook) ThrowLastError("SetWindowsHookExW");
    }
    state.forms.push_back(form.get());
    return form.release();
}

TMainModelessDialogForm::~TMainModelessDialogForm() {
    // Freed without closing (the module was released): what the store does not hold is
    // rescued while the controls still hold it.
    if (attached_ && !closed_ && Handle()) {
        closed_ = true;
        presenter_.RescueUnstoredText();
    }
    // The window goes first, while every member is still there; no close handling runs.
    DestroyWindowHandle();
    if (HookState* state = hook_state) {
        std::erase(state->forms, this);
        if (state->forms.empty()) {
            if (state->hook) ::UnhookWindowsHookEx(state->hook);
            delete std::exchange(hook_state, nullptr);
        }
    }
    if (images_) ImageList_Destroy(images_);
}

void TMainModelessDialogForm::WindowDestroyed() {
    delete this;
}

void TMainModelessDialogForm::CreateControls() {
    HWND hwnd = Handle();
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));

    form_font_.reset(::CreateFontW(-Scaled(14), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                   RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif"));
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(form_font_.get()), FALSE);

    // Tool bar: flat, transparent, no edges, tool tips.
    toolbar_ = ::CreateWindowExW(
        0, TOOLBARCLASSNAMEW, L"",
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TRANSPARENT |
            TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN,
        0, 0, 0, 0, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolBarId)), instance,
        nullptr);
    if (!toolbar_) ThrowLastError("CreateWindowExW(toolbar)");
    ::SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(toolbar_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    images_ = CreateWorkbenchImages();
    ::SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
    ::SendMessageW(toolbar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    ::SendMessageW(toolbar_, TB_SETINDENT, Scaled(kToolBarIndent), 0);

    const ButtonDef buttons[] = {
        {CommandOf(ActionId::Run), 0, BTNS_BUTTON},
        {0, 0, BTNS_SEP},
        {CommandOf(ActionId::New), 1, BTNS_BUTTON},
        {CommandOf(ActionId::Remove), 2, BTNS_BUTTON},
        {0, 0, BTNS_SEP},
        {CommandOf(ActionId::ReselectLanguage), 3, BTNS_DROPDOWN},
        {0, 0, BTNS_SEP},
        {CommandOf(ActionId::SetupZephra), 4, BTNS_BUTTON},
        {0, 0, BTNS_SEP},
        {CommandOf(ActionId::AddObjectSelectID), 5, BTNS_BUTTON},
    };
    std::vector<TBBUTTON> tb;
    for (const ButtonDef& b : buttons) {
        TBBUTTON t{};
        t.idCommand = b.command;
        t.fsState = TBSTATE_ENABLED;
        t.fsStyle = b.style;
        t.iBitmap = b.style == BTNS_SEP ? Scaled(kSeparatorWidth) : b.image;
        t.iString = -1;
        tb.push_back(t);
    }
    ::SendMessageW(toolbar_, TB_ADDBUTTONSW, tb.size(), reinterpret_cast<LPARAM>(tb.data()));
    ::SendMessageW(toolbar_, TB_SETBUTTONSIZE, 0,
                   MAKELPARAM(Scaled(kButtonWidth), Scaled(kButtonHeight)));
    tooltip_ = reinterpret_cast<HWND>(::SendMessageW(toolbar_, TB_GETTOOLTIPS, 0, 0));
    language_hint_ = Wide(u8"Изменить язык программирования скрипта"_cp);

    // Saved-script box: editable, sorted, 32 lines when dropped down.
    combo_ = ::CreateWindowExW(0, L"COMBOBOX", L"",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_CLIPSIBLINGS |
                                   CBS_DROPDOWN | CBS_SORT | CBS_AUTOHSCROLL,
                               0, 0, Scaled(kComboWidth), Scaled(kComboHeight), hwnd,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kComboId)), instance,
                               nullptr);
    if (!combo_) ThrowLastError("CreateWindowExW(combo box)");
    ::SendMessageW(combo_, WM_SETFONT, reinterpret_cast<WPARAM>(form_font_.get()), FALSE);
    combo_hint_ = Wide(u8"Список сохраненных скриптов"_cp);
    if (tooltip_) {
        // The box and the edit field inside it, which takes the mouse, share the hint.
        for (HWND tool : {combo_, ::GetWindow(combo_, GW_CHILD)}) {
            if (!tool) continue;
            TOOLINFOW ti{};
            ti.cbSize = sizeof(ti);
            ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            ti.hwnd = hwnd;
            ti.uId = reinterpret_cast<UINT_PTR>(tool);
            ti.lpszText = combo_hint_.data();
            ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        }
    }

    // Script editor, VBScript at first.
    editor::ApplyWorkbenchLooks(vb_);
    editor::ApplyWorkbenchLooks(js_);
    ScriptEditorWindow::Settings settings = ScriptEditorWindow::WorkbenchSettings();
    settings.font.height = Scaled(settings.font.height);
    settings.gutter_font.height = Scaled(settings.gutter_font.height);
    RECT bounds{0, 0, 10, 10};
    editor_window_ = std::make_unique<ScriptEditorWindow>(hwnd, kEditorId, bounds, settings);
    editor_ = editor_window_->hwnd();
    editor_window_->SetHighlighter(&vb_);
    right_margin_ = editor_window_->RightMargin();
    editor_window_->on_text_changed = [this, next = editor_window_->on_text_changed] {
        if (next) next();
        if (parameter_tip_) parameter_tip_->TextChanged();
    };
    editor_window_->on_caret_moved = [this, next = editor_window_->on_caret_moved] {
        if (next) next();
        if (parameter_tip_) parameter_tip_->CaretMoved();
    };
    output_ = std::make_unique<OutputPane>(hwnd, kOutputId, form_font_.get(), *editor_window_,
                                           [this] { Layout(); });
    presenter_.SetOutputView(output_.get());
    find_bar_ = std::make_unique<FindBar>(
        hwnd, kFindBarFirstId, form_font_.get(), [this](int v) { return Scaled(v); },
        *editor_window_, [this] { Layout(); });
    looks_seen_ = vb_.LooksVersion() + js_.LooksVersion();

    // Language menu.
    language_menu_.reset(::CreatePopupMenu());
    ::AppendMenuW(language_menu_.get(), MF_STRING, CommandOf(ActionId::SetVBScript), L"VBScript");
    ::AppendMenuW(language_menu_.get(), MF_STRING, CommandOf(ActionId::SetJavaScript),
                  L"JavaScript");

    last_focus_ = editor_;
}

void TMainModelessDialogForm::Layout() {
    RECT client{};
    ::GetClientRect(Handle(), &client);
    const int width = client.right - client.left;
    const int bar = Scaled(kToolBarHeight);

    // The box follows the last button.
    int buttons_right = Scaled(kToolBarIndent);
    const int count = static_cast<int>(::SendMessageW(toolbar_, TB_BUTTONCOUNT, 0, 0));
    if (count > 0) {
        RECT last{};
        ::SendMessageW(toolbar_, TB_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&last));
        buttons_right = last.right;
    }
    ::MoveWindow(toolbar_, 0, 0, buttons_right, bar, TRUE);

    RECT combo_rect{};
    ::GetWindowRect(combo_, &combo_rect);
    const int combo_height = combo_rect.bottom - combo_rect.top;
    const int item = static_cast<int>(::SendMessageW(combo_, CB_GETITEMHEIGHT, 0, 0));
    const int drop = combo_height + std::max(item, 1) * kComboDropDownCount + 2;
    ::MoveWindow(combo_, buttons_right + 1, std::max(0, (bar - combo_height) / 2),
                 Scaled(kComboWidth), drop, TRUE);

    // The output pane, when shown, takes the bottom of the editor's place.
    const int finder = find_bar_ ? find_bar_->Height() : 0;
    const int below = std::max(0, static_cast<int>(client.bottom) - bar - finder);
    if (find_bar_) find_bar_->Layout(bar + below, width);
    const int pane =
        output_ && output_->OutputShown() ? std::min(Scaled(kOutputHeight), below / 2) : 0;
    ::MoveWindow(editor_, 0, bar, width, below - pane, TRUE);
    if (output_) ::MoveWindow(output_->hwnd(), 0, bar + below - pane, width, pane, TRUE);
}

// --- set-up and showing -----------------------------------------------------------------------

void TMainModelessDialogForm::AttachApplication(ITellurApplication* app) {
    application_ = ComPtr<ITellurApplication>(app);
    host_ = app ? std::make_unique<HostAdapter>(app) : nullptr;
    presenter_.SetHost(host_.get());
    if (own_store_ && host_) {
        HostAdapter* host = host_.get();
        store_ = std::make_unique<workbench::ScriptStoreLink>(
            [host] { return host->DataFolderPath(); }, presenter_);
        presenter_.SetStore(store_.get());
    }
    if (app) {
        engines_ = std::make_unique<ScriptEngines>(Handle(), app);
        presenter_.SetEngines(engines_.get());
        settings_ = std::make_unique<SettingsDialogRunner>(Handle(), app);
        presenter_.SetSettingsDialog(settings_.get());
        if (editor_window_->completion()) {
            completion_.reset();
            description_ = std::make_unique<DescriptionSource>(*host_);
            completion_ = std::make_unique<completion::EditorCompletion>(
                editor_window_->model(), *editor_window_->completion(), *description_, measure_);
            parameter_tip_.reset();
            parameter_tip_ =
                std::make_unique<ParameterTip>(*editor_window_, *description_, measure_);
        }
    }
    presenter_.AttachApplication();
    attached_ = true;
    SyncLooks();
    ::ShowWindow(Handle(), ShowCommand(pending_state_, /*first=*/true));
}

void TMainModelessDialogForm::Show() {
    HWND hwnd = Handle();
    ::ShowWindow(hwnd, ::IsIconic(hwnd) ? SW_RESTORE : SW_SHOW);
    ::BringWindowToTop(hwnd);
    ::SetForegroundWindow(hwnd);
}

// --- messages ---------------------------------------------------------------------------------

LRESULT TMainModelessDialogForm::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_SIZE:
            if (toolbar_) Layout();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
            info->ptMinTrackSize.x = Scaled(kMinWidth);
            info->ptMinTrackSize.y = Scaled(kMinHeight);
            return 0;
        }
        case WM_ACTIVATE:
            Activate(LOWORD(wparam) != WA_INACTIVE);
            return 0;
        case WM_SETFOCUS:
            ::SetFocus(last_focus_ && ::IsWindow(last_focus_) ? last_focus_ : editor_);
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
            return 0;
        case WM_NOTIFY:
            return OnNotify(reinterpret_cast<NMHDR*>(lparam));
        case WM_TIMER:
            if (wparam == kCaptionTimer) {
                presenter_.TimerTimer();
                return 0;
            }
            break;
        case kKeepAboveOwnerMessage:
            KeepAboveOwner();
            return 0;
        case kRunSelectionMessage: {
            const editor::LineBlock block = editor::SelectedLines(editor_window_->model());
            presenter_.RunSelection(block.first_line, block.text);
            return 0;
        }
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wparam) == editor_ && find_bar_) {
                in_menu_ = true;
                RunEditorMenu(Handle(), {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)},
                              *editor_window_, *find_bar_);
                in_menu_ = false;
                return 0;
            }
            break;
        case kFindKeyMessage:
            if (find_bar_)
                find_bar_->RunKey(static_cast<WORD>(wparam), static_cast<unsigned>(lparam),
                                  ::GetFocus());
            return 0;
        case kOutputKeyMessage:
            presenter_.HandleOutputKey(
                KeyStroke{static_cast<std::uint16_t>(wparam), static_cast<std::uint8_t>(lparam)});
            return 0;
        case kRunActionMessage:
            // A key's action refreshes the looks as a button's does.
            if (wparam < workbench::kActionCount) RunAction(static_cast<ActionId>(wparam));
            return 0;
        case kTakenKeyMessage:
            if (!taken_keys_.empty()) {
                MSG key = taken_keys_.front();
                taken_keys_.pop_front();
                if (key.message == WM_KEYDOWN || key.message == WM_SYSKEYDOWN)
                    ::TranslateMessage(&key);
                ::DispatchMessageW(&key);
            }
            return 0;
        case WM_CLOSE:
            if (presenter_.FormClose()) {
                closed_ = true;
                ::DestroyWindow(Handle());
            }
            return 0;
        case WM_ENDSESSION:
            // The session ends without closing the window: nobody can be asked any more.
            if (wparam && attached_ && !closed_) presenter_.RescueUnstoredText();
            return 0;
        case WM_DESTROY:
            // Gone without the close handling (the module was released, the owner destroyed):
            // the controls still hold the text here.
            if (attached_ && !closed_) {
                closed_ = true;
                presenter_.RescueUnstoredText();
            }
            break;
        default:
            break;
    }
    return TNonModalForm::HandleMessage(message, wparam, lparam);
}

bool TMainModelessDialogForm::ClickOnOwner(const MSG& msg) const noexcept {
    switch (msg.message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
            break;
        default:
            return false;
    }
    HWND owner = ::GetWindow(Handle(), GW_OWNER);
    return owner && msg.hwnd && ::GetAncestor(msg.hwnd, GA_ROOT) == owner;
}

void TMainModelessDialogForm::KeepAboveOwner() {
    // An owned window stays above its owner, but a click on the owner's map was seen to
    // leave it behind under Wine: it puts itself back on top without taking the activation.
    HWND hwnd = Handle();
    if (!::IsWindowVisible(hwnd) || ::IsIconic(hwnd)) return;
    ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TMainModelessDialogForm::Activate(bool active) {
    if (!active) {
        HWND focus = ::GetFocus();
        if (focus && OwnsWindow(focus) && focus != Handle()) last_focus_ = focus;
        return;
    }
    ::SetFocus(last_focus_ && ::IsWindow(last_focus_) ? last_focus_ : editor_);
}

void TMainModelessDialogForm::RunAction(ActionId id) {
    presenter_.Execute(id);
    SyncLooks();
}

void TMainModelessDialogForm::SyncLooks() {
    const std::uint32_t version = vb_.LooksVersion() + js_.LooksVersion();
    if (version == looks_seen_ || !editor_window_) return;
    looks_seen_ = version;
    editor_window_->RefreshLooks();
}

void TMainModelessDialogForm::OnCommand(WORD id, WORD code, HWND control) {
    if (find_bar_ && find_bar_->OnCommand(id, code)) return;
    if (output_ && control == output_->hwnd()) {
        if (code == LBN_DBLCLK) presenter_.OutputLineActivated(output_->SelectedLine());
        return;
    }
    if (control == combo_) {
        switch (code) {
            case CBN_SETFOCUS:
                last_focus_ = combo_;
                presenter_.SavedScriptsEnter();
                break;
            case CBN_KILLFOCUS:
                presenter_.SavedScriptsExit();
                break;
            case CBN_DROPDOWN:
                presenter_.SavedScriptsDropDown();
                break;
            case CBN_SELCHANGE: {
                // The edit field takes the picked name only after this notification.
                const LRESULT index = ::SendMessageW(combo_, CB_GETCURSEL, 0, 0);
                if (index < 0) break;
                const LRESULT length = ::SendMessageW(combo_, CB_GETLBTEXTLEN, index, 0);
                std::wstring item(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1,
                                  L'\0');
                ::SendMessageW(combo_, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(item.data()));
                item.resize(static_cast<std::size_t>(std::max<LRESULT>(length, 0)));
                ::SetWindowTextW(combo_, item.c_str());
                presenter_.SavedScriptsSelect();
                SyncLooks();
                break;
            }
            default:
                break;
        }
        return;
    }
    if (control == editor_) return;
    if (id >= kActionCommandBase && id < kActionCommandBase + workbench::kActionCount)
        RunAction(static_cast<ActionId>(id - kActionCommandBase));
}

LRESULT TMainModelessDialogForm::OnNotify(NMHDR* header) {
    if (header->code == TBN_DROPDOWN && header->hwndFrom == toolbar_) {
        RunLanguageMenu();
        return TBDDRET_DEFAULT;
    }
    if (header->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        static std::wstring hint;
        hint.clear();
        switch (static_cast<WORD>(info->hdr.idFrom)) {
            case CommandOf(ActionId::Run):
                hint = Wide(u8"Выполнить скрипт"_cp);
                break;
            case CommandOf(ActionId::New):
                hint = Wide(u8"Новый скрипт"_cp);
                break;
            case CommandOf(ActionId::Remove):
                hint = Wide(u8"Удалить существующий скрипт из списка сохранений"_cp);
                break;
            case CommandOf(ActionId::ReselectLanguage):
                hint = language_hint_;
                break;
            case CommandOf(ActionId::SetupZephra):
                hint = Wide(u8"Настройки..."_cp);
                break;
            default:
                break;
        }
        if (!(info->uFlags & TTF_IDISHWND)) {
            info->lpszText = hint.data();
            info->hinst = nullptr;
        }
        return 0;
    }
    return 0;
}

void TMainModelessDialogForm::RunLanguageMenu() {
    RECT button{};
    ::SendMessageW(toolbar_, TB_GETRECT, CommandOf(ActionId::ReselectLanguage),
                   reinterpret_cast<LPARAM>(&button));
    POINT at{button.left, button.bottom};
    ::ClientToScreen(toolbar_, &at);
    in_menu_ = true;
    const UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(language_menu_.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, at.x,
                         at.y, 0, Handle(), nullptr));
    in_menu_ = false;
    if (chosen == CommandOf(ActionId::SetVBScript))
        RunAction(ActionId::SetVBScript);
    else if (chosen == CommandOf(ActionId::SetJavaScript))
        RunAction(ActionId::SetJavaScript);
}

// --- keys -------------------------------------------------------------------------------------

bool TMainModelessDialogForm::OwnsWindow(HWND hwnd) const noexcept {
    HWND self = Handle();
    return self && (hwnd == self || ::IsChild(self, hwnd));
}

bool TMainModelessDialogForm::RouteKey(MSG& msg) noexcept {
    if (in_menu_ || !OwnsWindow(msg.hwnd) || !::IsWindowEnabled(Handle())) return false;
    KeyStroke key{static_cast<std::uint16_t>(msg.wParam), KeyModifiers(msg)};
    // An open completion pop-up closes on Esc rather than losing it to the focus move.
    if (key == KeyStroke{workbench::vk::kEscape} && editor_window_ &&
        editor_window_->completion_window() && editor_window_->completion_window()->Visible())
        return false;
    if (find_bar_ && find_bar_->TakesKey(key.key, key.modifiers, msg.hwnd)) {
        ::PostMessageW(Handle(), kFindKeyMessage, key.key, key.modifiers);
        return true;
    }
    if (workbench::WorkbenchPresenter::IsRunSelectionKey(key)) {
        ::PostMessageW(Handle(), kRunSelectionMessage, 0, 0);
        return true;
    }
    if (workbench::WorkbenchPresenter::IsOutputKey(key)) {
        ::PostMessageW(Handle(), kOutputKeyMessage, key.key, key.modifiers);
        return true;
    }
    if (key == KeyStroke{workbench::vk::kEscape} && parameter_tip_ && parameter_tip_->Shown()) {
        parameter_tip_->Hide();
        return true;
    }
    std::optional<ActionId> action = presenter_.ActionTakingKey(key);
    if (!action) return false;
    // The action runs once this message is dropped, from the window's own queue, so that no
    // dialog it opens runs inside the hook.
    ::PostMessageW(Handle(), kRunActionMessage, static_cast<WPARAM>(*action), 0);
    return true;
}

bool TMainModelessDialogForm::TakeKey(const MSG& msg) noexcept {
    if (in_menu_ || !OwnsWindow(msg.hwnd) || !::IsWindowEnabled(Handle())) return false;
    try {
        taken_keys_.push_back(msg);
    } catch (...) {
        return false;
    }
    if (::PostMessageW(Handle(), kTakenKeyMessage, 0, 0)) return true;
    taken_keys_.pop_back();
    return false;
}

LRESULT CALLBACK TMainModelessDialogForm::GetMessageHook(int code, WPARAM wparam,
                                                         LPARAM lparam) noexcept {
    HookState* const state = hook_state;
    if (state && code == HC_ACTION && wparam == PM_REMOVE) {
        MSG& msg = *reinterpret_cast<MSG*>(lparam);
        // Key strokes for our windows never reach the host's loop: a real host's
        // TranslateAccelerator would turn the workbench's own keys (Ctrl+C in the editor) into
        // host commands. Action keys run their action; the others go to their control from our
        // own queue, still before any later input (posted messages come first). Characters are
        // left alone: accelerators on virtual keys never match them, and the editor takes some
        // from the queue itself right after their key.
        if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
            for (TMainModelessDialogForm* form : state->forms) {
                if (form->RouteKey(msg) || form->TakeKey(msg)) {
                    msg.message = WM_NULL;
                    break;
                }
            }
        } else {
            // The owner handles the click first (activation, selection); then the window is
            // restacked from its own queue.
            for (TMainModelessDialogForm* form : state->forms)
                if (form->ClickOnOwner(msg))
                    ::PostMessageW(form->Handle(), kKeepAboveOwnerMessage, 0, 0);
        }
    }
    // The handle is ignored; the state may have gone with the last form meanwhile.
    return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

// --- the view ---------------------------------------------------------------------------------

std::string TMainModelessDialogForm::Caption() const {
    return Narrow(WindowText(Handle()));
}

void TMainModelessDialogForm::SetCaption(std::string_view caption) {
    ::SetWindowTextW(Handle(), Wide(caption).c_str());
}

void TMainModelessDialogForm::StartTimer() {
    ::SetTimer(Handle(), kCaptionTimer, kCaptionTimerPeriod, nullptr);
}

void TMainModelessDialogForm::StopTimer() {
    ::KillTimer(Handle(), kCaptionTimer);
}

void TMainModelessDialogForm::FocusEditor() {
    ::SetFocus(editor_);
}

void TMainModelessDialogForm::FocusSavedScriptsAndDropDown() {
    ::SetFocus(combo_);
    ::SendMessageW(combo_, CB_SHOWDROPDOWN, TRUE, 0);
}

void TMainModelessDialogForm::PopupLanguageMenu() {
    RunLanguageMenu();
}

void TMainModelessDialogForm::SetLanguageButtonHint(std::string_view hint) {
    language_hint_ = Wide(hint);
}

void TMainModelessDialogForm::RequestClose() {
    ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

std::string TMainModelessDialogForm::EditorText() const {
    return editor_window_->Text();
}

void TMainModelessDialogForm::SetEditorText(std::string_view text) {
    editor_window_->SetText(text);
}

int TMainModelessDialogForm::LineCount() const {
    return editor_window_->model().LineCount();
}

std::string TMainModelessDialogForm::Line(int index) const {
    return editor_window_->model().Line(index);
}

void TMainModelessDialogForm::ReplaceLine(int index, std::string_view line) {
    editor::EditorModel& model = editor_window_->model();
    while (model.LineCount() <= index) model.InsertLine(model.LineCount(), "");
    model.ReplaceLine(index, line);
    editor_window_->Sync();
}

workbench::CaretPos TMainModelessDialogForm::Caret() const {
    return {editor_window_->CaretY(), editor_window_->CaretX()};
}

void TMainModelessDialogForm::SetCaret(workbench::CaretPos pos) {
    editor_window_->SetCaretXY(pos.column, pos.line);
}

std::string TMainModelessDialogForm::HighlighterName() const {
    const editor::Highlighter* h = editor_window_->Highlighter();
    return h ? std::string(h->ComponentName()) : std::string();
}

void TMainModelessDialogForm::SetHighlighter(workbench::Language language) {
    editor_window_->SetHighlighter(language == workbench::Language::VBScript
                                       ? static_cast<const editor::Highlighter*>(&vb_)
                                       : &js_);
}

std::string TMainModelessDialogForm::SavedScriptText() const {
    return Narrow(WindowText(combo_));
}

void TMainModelessDialogForm::SetSavedScriptText(std::string_view text) {
    ::SetWindowTextW(combo_, Wide(text).c_str());
}

void TMainModelessDialogForm::ClearScriptList() {
    // CB_RESETCONTENT empties the edit field too; the typed name must survive a refill, and
    // an ApplyStore that stops before setting the name.
    const std::wstring text = WindowText(combo_);
    ::SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
    ::SetWindowTextW(combo_, text.c_str());
}

void TMainModelessDialogForm::AddScriptNames(const std::vector<std::string>& names) {
    // The box keeps its text: resetting the list or adding to it must not change the name.
    const std::wstring text = WindowText(combo_);
    ::SendMessageW(combo_, WM_SETREDRAW, FALSE, 0);
    for (const std::string& name : names)
        ::SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name).c_str()));
    ::SendMessageW(combo_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(combo_, nullptr, TRUE);
    ::SetWindowTextW(combo_, text.c_str());
}

void TMainModelessDialogForm::SelectScript(const std::string& name) {
    // Names compare byte for byte: the box's own search ignores case.
    const std::wstring wanted = Wide(name);
    const int count = static_cast<int>(::SendMessageW(combo_, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const LRESULT length = ::SendMessageW(combo_, CB_GETLBTEXTLEN, i, 0);
        if (length < 0) continue;
        std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
        ::SendMessageW(combo_, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        item.resize(static_cast<std::size_t>(length));
        if (item == wanted) {
            ::SendMessageW(combo_, CB_SETCURSEL, i, 0);
            return;
        }
    }
    ::SetWindowTextW(combo_, wanted.c_str());
}

std::vector<std::string> TMainModelessDialogForm::ScriptNames() {
    std::vector<std::string> names;
    const int count = static_cast<int>(::SendMessageW(combo_, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const LRESULT length = ::SendMessageW(combo_, CB_GETLBTEXTLEN, i, 0);
        if (length < 0) continue;
        std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
        ::SendMessageW(combo_, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        item.resize(static_cast<std::size_t>(length));
        names.push_back(Narrow(item));
    }
    return names;
}

void TMainModelessDialogForm::DeleteScriptName(int index) {
    const std::wstring text = WindowText(combo_);
    ::SendMessageW(combo_, CB_DELETESTRING, index, 0);
    ::SetWindowTextW(combo_, text.c_str());
}

void TMainModelessDialogForm::SetSavedScriptHintShown(bool shown) {
    if (!tooltip_) return;
    static wchar_t empty[] = L"";
    for (HWND tool : {combo_, ::GetWindow(combo_, GW_CHILD)}) {
        if (!tool) continue;
        TOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.hwnd = Handle();
        ti.uId = reinterpret_cast<UINT_PTR>(tool);
        ti.lpszText = shown ? combo_hint_.data() : empty;
        ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

std::string TMainModelessDialogForm::FontName() {
    return editor_window_->font().face;
}

int TMainModelessDialogForm::FontSize() {
    return ::MulDiv(editor_window_->font().height, 72, dpi_);
}

void TMainModelessDialogForm::SetFontName(const std::string& family) {
    FontSpec font = editor_window_->font();
    font.face = family;
    editor_window_->SetFont(font);
}

void TMainModelessDialogForm::SetFontSize(int points) {
    FontSpec font = editor_window_->font();
    font.height = ::MulDiv(std::clamp(points, 1, 400), dpi_, 72);
    editor_window_->SetFont(font);
}

void TMainModelessDialogForm::SetRightMargin(int column) {
    right_margin_ = column;
    editor_window_->SetRightMargin(column);
}

void TMainModelessDialogForm::SetRightMarginVisible(bool visible) {
    editor_window_->SetRightMargin(visible ? right_margin_ : -1);
}

void TMainModelessDialogForm::SetGutterWidth(int pixels) {
    editor_window_->SetGutterWidth(pixels);
}

void TMainModelessDialogForm::SetGutterVisible(bool visible) {
    editor_window_->SetGutterVisible(visible);
}

store::WindowState TMainModelessDialogForm::GetWindowState() {
    if (!::IsWindowVisible(Handle())) return pending_state_;
    if (::IsIconic(Handle())) return store::WindowState::kMinimized;
    if (::IsZoomed(Handle())) return store::WindowState::kMaximized;
    return store::WindowState::kNormal;
}

void TMainModelessDialogForm::SetWindowState(store::WindowState state) {
    pending_state_ = state;
    if (!::IsWindowVisible(Handle())) return;  // applied when the window is shown
    ::ShowWindow(Handle(), ShowCommand(state, /*first=*/false));
}

namespace {

// The placement's restored rectangle is in work-area coordinates; the store keeps screen ones.
// The offset between them is where a top or left task bar pushes the work area.
POINT WorkAreaOffset(HWND hwnd) {
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (!::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &mi)) return {};
    return {mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top};
}

bool ShownNormally(HWND hwnd) {
    return !::IsIconic(hwnd) && !::IsZoomed(hwnd);
}

}  // namespace

store::WindowBounds TMainModelessDialogForm::GetWindowBounds() {
    RECT r{};
    if (ShownNormally(Handle())) {
        ::GetWindowRect(Handle(), &r);
    } else {
        WINDOWPLACEMENT wp{};
        wp.length = sizeof(wp);
        ::GetWindowPlacement(Handle(), &wp);
        r = wp.rcNormalPosition;
        const POINT offset = WorkAreaOffset(Handle());
        ::OffsetRect(&r, offset.x, offset.y);
    }
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void TMainModelessDialogForm::SetWindowBounds(const store::WindowBounds& bounds) {
    if (ShownNormally(Handle())) {
        // Hidden or restored: the window takes the place at once, and a later maximize or
        // minimize restores to it.
        ::SetWindowPos(Handle(), nullptr, bounds.left, bounds.top, bounds.width, bounds.height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    ::GetWindowPlacement(Handle(), &wp);
    const POINT offset = WorkAreaOffset(Handle());
    wp.rcNormalPosition = {bounds.left - offset.x, bounds.top - offset.y,
                           bounds.left - offset.x + bounds.width,
                           bounds.top - offset.y + bounds.height};
    wp.flags = 0;
    ::SetWindowPlacement(Handle(), &wp);
}

workbench::MessageResult TMainModelessDialogForm::ShowMessage(std::string_view text,
                                                              std::string_view caption,
                                                              workbench::MessageIcon icon,
                                                              workbench::MessageButtons buttons) {
    UINT type = MB_OK;
    if (buttons == workbench::MessageButtons::YesNo) type = MB_YESNO;
    if (buttons == workbench::MessageButtons::YesNoDefaultNo) type = MB_YESNO | MB_DEFBUTTON2;
    switch (icon) {
        case workbench::MessageIcon::Error:
            type |= MB_ICONERROR;
            break;
        case workbench::MessageIcon::Warning:
            type |= MB_ICONWARNING;
            break;
        case workbench::MessageIcon::Question:
            type |= MB_ICONQUESTION;
            break;
        case workbench::MessageIcon::Information:
            type |= MB_ICONINFORMATION;
            break;
    }
    switch (::MessageBoxW(Handle(), Wide(text).c_str(), Wide(caption).c_str(), type)) {
        case IDYES:
            return workbench::MessageResult::Yes;
        case IDNO:
            return workbench::MessageResult::No;
        case IDCANCEL:
            return workbench::MessageResult::Cancel;
        default:
            return workbench::MessageResult::Ok;
    }
}

}  // namespace zeph::win
