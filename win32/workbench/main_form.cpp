#include "workbench/main_form.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "base/result.h"
#include "base/wide.h"
#include "base/window_text.h"
#include "editor/completion_popup.h"
#include "editor/line_block.h"
#include "settings/settings_form.h"
#include "text/cp1251.h"
#include "workbench/editor_menu.h"
#include "workbench/file_dialogs.h"
#include "workbench/glyphs.h"
#include "workbench/history_dialog.h"
#include "workbench/line_prompt.h"
#include "workbench/message_box.h"
#include "workbench/placement.h"
#include "workbench/run_watch.h"
#include "workbench/script_engines.h"

namespace zeph::win {

using workbench::ActionId;
using workbench::KeyStroke;

namespace {

constexpr UINT_PTR kCaptionTimer = 1;
constexpr UINT kCaptionTimerPeriod = 3000;
// Posted by the message hook after a click on the owner: puts the window back above it.
constexpr UINT kKeepAboveOwnerMessage = WM_APP + 0x103;
// Posted by the key hook: an output-pane key, its code in wparam and modifiers in lparam.
constexpr UINT kOutputKeyMessage = WM_APP + 0x104;
// Posted by the key hook: a find-bar key, its code in wparam and modifiers in lparam.
constexpr UINT kFindKeyMessage = WM_APP + 0x105;
// Posted by the key hook: runs the selected lines (Ctrl+F5).
constexpr UINT kRunSelectionMessage = WM_APP + 0x106;
// Posted by the key hook: Ctrl+G, Ctrl+/ or F7, its code in wparam and modifiers in lparam.
constexpr UINT kScriptKeyMessage = WM_APP + 0x107;
// Posted by the key hook: a file or version command, its workbench::FileCommand in wparam.
constexpr UINT kFileCommandMessage = WM_APP + 0x108;

constexpr WORD kComboId = 100;
constexpr WORD kEditorId = 101;
constexpr WORD kToolBarId = 102;
constexpr WORD kOutputId = 103;
constexpr WORD kStripFirstId = 110;    // the procedure list, the check button, the status
constexpr WORD kFindBarFirstId = 120;  // the find bar's controls take the ids from here

// Designed sizes, at 120 dots per inch.
constexpr int kDesignDpi = 120;
constexpr int kClientWidth = 376;
constexpr int kClientHeight = 160;
constexpr int kMinWidth = 384;
constexpr int kMinHeight = 200;
constexpr int kToolBarHeight = 31;
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

}  // namespace

// --- creation and destruction ---------------------------------------------------------------

TMainModelessDialogForm::TMainModelessDialogForm(HWND owner)
    : TApplicationForm(owner), presenter_(*this) {
    presenter_.SetShell(&shell_);
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
    presenter_.UnbindCompletion();  // its pop-up goes with the editor
    if (HookState* state = hook_state) {
        std::erase(state->forms, this);
        if (state->forms.empty()) {
            if (state->hook) ::UnhookWindowsHookEx(state->hook);
            delete std::exchange(hook_state, nullptr);
        }
    }
}

void TMainModelessDialogForm::WindowDestroyed() {
    delete this;
}

void TMainModelessDialogForm::CreateControls() {
    HWND hwnd = Handle();
    form_font_.reset(::CreateFontW(-Scaled(14), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                   RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif"));
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(form_font_.get()), FALSE);
    tool_bar_ =
        std::make_unique<WorkbenchToolBar>(hwnd, kToolBarId, [this](int v) { return Scaled(v); });
    script_box_ =
        std::make_unique<SavedScriptBox>(hwnd, kComboId, form_font_.get(), Scaled(kComboWidth),
                                         Scaled(kComboHeight), tool_bar_->ToolTips());
    strip_ = std::make_unique<ScriptStrip>(hwnd, kStripFirstId, form_font_.get(),
                                           [this](int v) { return Scaled(v); });
    CreateEditor();
    output_ = std::make_unique<OutputPane>(hwnd, kOutputId, form_font_.get(), *editor_window_,
                                           [this] { Layout(); });
    presenter_.SetOutputView(output_.get());
    find_bar_ = std::make_unique<FindBar>(
        hwnd, kFindBarFirstId, form_font_.get(), [this](int v) { return Scaled(v); },
        *editor_window_, [this] { Layout(); });
    looks_seen_ = vb_.LooksVersion() + js_.LooksVersion();
    last_focus_ = editor_;
}

void TMainModelessDialogForm::CreateEditor() {
    // VBScript at first.
    editor::ApplyWorkbenchLooks(vb_);
    editor::ApplyWorkbenchLooks(js_);
    ScriptEditorWindow::Settings settings = ScriptEditorWindow::WorkbenchSettings();
    settings.font.height = Scaled(settings.font.height);
    settings.gutter_font.height = Scaled(settings.gutter_font.height);
    RECT bounds{0, 0, 10, 10};
    editor_window_ = std::make_unique<ScriptEditorWindow>(Handle(), kEditorId, bounds, settings);
    editor_ = editor_window_->hwnd();
    editor_window_->SetHighlighter(&vb_);
    right_margin_ = editor_window_->RightMargin();
    editor_window_->on_text_changed = [this, next = editor_window_->on_text_changed] {
        if (next) next();
        if (parameter_tip_) parameter_tip_->TextChanged();
        presenter_.ScriptChanged();
    };
    editor_window_->on_caret_moved = [this, next = editor_window_->on_caret_moved] {
        if (next) next();
        if (parameter_tip_) parameter_tip_->CaretMoved();
        presenter_.CaretMoved();
    };
    // A script file dropped on the editor opens as Ctrl+Shift+O would open it.
    editor_window_->on_files_dropped = [this](const std::vector<std::filesystem::path>& files) {
        presenter_.OpenDroppedFiles(files);
    };
    ::DragAcceptFiles(editor_, TRUE);
}

void TMainModelessDialogForm::Layout() {
    RECT client{};
    ::GetClientRect(Handle(), &client);
    const int width = client.right - client.left;
    const int bar = Scaled(kToolBarHeight);

    // The box follows the last button.
    const int buttons_right = tool_bar_->ButtonsRight(Scaled(kToolBarIndent));
    ::MoveWindow(tool_bar_->hwnd(), 0, 0, buttons_right, bar, TRUE);

    HWND combo = script_box_->hwnd();
    RECT combo_rect{};
    ::GetWindowRect(combo, &combo_rect);
    const int combo_height = combo_rect.bottom - combo_rect.top;
    const int item = static_cast<int>(::SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
    const int drop = combo_height + std::max(item, 1) * kComboDropDownCount + 2;
    ::MoveWindow(combo, buttons_right + 1, std::max(0, (bar - combo_height) / 2),
                 Scaled(kComboWidth), drop, TRUE);

    // The strip of procedures, check and caret place lies under the tool bar; the output pane,
    // when shown, takes the bottom of the editor's place.
    const int strip = strip_ ? strip_->Height() : 0;
    if (strip_) strip_->Layout(bar, width);
    const int top = bar + strip;
    const int finder = find_bar_ ? find_bar_->Height(width) : 0;
    const int below = std::max(0, static_cast<int>(client.bottom) - top - finder);
    if (find_bar_) find_bar_->Layout(top + below, width);
    const int pane =
        output_ && output_->OutputShown() ? std::min(Scaled(kOutputHeight), below / 2) : 0;
    ::MoveWindow(editor_, 0, top, width, below - pane, TRUE);
    if (output_) ::MoveWindow(output_->hwnd(), 0, top + below - pane, width, pane, TRUE);
}

// --- set-up and showing -----------------------------------------------------------------------

void TMainModelessDialogForm::AttachApplication(ITellurApplication* app) {
    BindToApplication(app);
    presenter_.AttachApplication();
    attached_ = true;
    presenter_.ScriptChanged();
    presenter_.CaretMoved();
    RepaintIfLooksChanged();
    ::ShowWindow(Handle(), ShowCommand(pending_state_, /*first=*/true));
}

void TMainModelessDialogForm::BindToApplication(ITellurApplication* app) {
    application_ = ComPtr<ITellurApplication>(app);
    parameter_tip_.reset();
    presenter_.SetHost(nullptr);
    host_ = app ? std::make_unique<HostAdapter>(app) : nullptr;
    presenter_.SetHost(host_.get());
    if (own_store_ && host_) {
        HostAdapter* host = host_.get();
        store_ = std::make_unique<workbench::ScriptStoreLink>(
            [host] { return host->DataFolderPath(); }, presenter_);
        presenter_.SetStore(store_.get());
    }
    if (!app) return;
    engines_ = std::make_unique<ScriptEngines>(Handle(), app);
    presenter_.SetEngines(engines_.get());
    settings_ = std::make_unique<SettingsDialogRunner>(Handle(), app);
    presenter_.SetSettingsDialog(settings_.get());
    if (editor::CompletionModel* popup = editor_window_->completion()) {
        presenter_.BindCompletion(editor_window_->model(), *popup, measure_);
        parameter_tip_ =
            std::make_unique<ParameterTip>(*editor_window_, presenter_.Description(), measure_);
    }
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
            if (tool_bar_ && script_box_) Layout();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
            info->ptMinTrackSize.x = Scaled(kMinWidth);
            info->ptMinTrackSize.y = Scaled(kMinHeight);
            if (find_bar_ && Handle()) {
                // Never so narrow that the find bar's buttons are cut off.
                RECT frame{0, 0, find_bar_->LeastWidth(), 0};
                ::AdjustWindowRectEx(
                    &frame, static_cast<DWORD>(::GetWindowLongW(Handle(), GWL_STYLE)), FALSE,
                    static_cast<DWORD>(::GetWindowLongW(Handle(), GWL_EXSTYLE)));
                info->ptMinTrackSize.x =
                    std::max<LONG>(info->ptMinTrackSize.x, frame.right - frame.left);
            }
            return 0;
        }
        case WM_ACTIVATE:
            RememberOrRestoreFocus(LOWORD(wparam) != WA_INACTIVE);
            return 0;
        case WM_SETFOCUS:
            ::SetFocus(last_focus_ && ::IsWindow(last_focus_) ? last_focus_ : editor_);
            return 0;
        case WM_COMMAND:
            RunCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
            return 0;
        case WM_NOTIFY:
            return ToolBarNotice(reinterpret_cast<NMHDR*>(lparam));
        case WM_TIMER:
            if (wparam == kCaptionTimer) {
                presenter_.TimerTimer();
                return 0;
            }
            break;
        case kKeepAboveOwnerMessage:
            KeepAboveOwner();
            return 0;
        case kRunSelectionMessage:
            RunSelectedLines();
            return 0;
        case kScriptKeyMessage:
            presenter_.HandleScriptKey(
                KeyStroke{static_cast<std::uint16_t>(wparam), static_cast<std::uint8_t>(lparam)});
            return 0;
        case kFileCommandMessage:
            presenter_.RunFileCommand(static_cast<workbench::FileCommand>(wparam));
            RepaintIfLooksChanged();
            return 0;
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wparam) == editor_ && find_bar_) {
                in_menu_ = true;
                const std::optional<workbench::FileCommand> command =
                    RunEditorMenu(Handle(), {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)},
                                  *editor_window_, *find_bar_);
                in_menu_ = false;
                if (command) {
                    presenter_.RunFileCommand(*command);
                    RepaintIfLooksChanged();
                }
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
        case WM_CLOSE:
            CloseStoringWork();
            return 0;
        case WM_ENDSESSION:
            // The session ends without closing the window: nobody can be asked any more.
            if (wparam && attached_ && !closed_) presenter_.RescueUnstoredText();
            return 0;
        case WM_DESTROY:
            RescueTextIfUnstored();
            break;
        default:
            break;
    }
    return TApplicationForm::HandleMessage(message, wparam, lparam);
}

void TMainModelessDialogForm::RunSelectedLines() {
    const editor::LineBlock block = editor::SelectedLines(editor_window_->model());
    presenter_.RunSelection(block.first_line, block.text);
}

void TMainModelessDialogForm::CloseStoringWork() {
    if (!presenter_.FormClose()) return;
    closed_ = true;
    ::DestroyWindow(Handle());
}

void TMainModelessDialogForm::RescueTextIfUnstored() {
    // Gone without the close handling (the module was released, the owner destroyed): the
    // controls still hold the text here.
    if (!attached_ || closed_) return;
    closed_ = true;
    presenter_.RescueUnstoredText();
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

void TMainModelessDialogForm::RememberOrRestoreFocus(bool active) {
    if (!active) {
        HWND focus = ::GetFocus();
        if (focus && OwnsWindow(focus) && focus != Handle()) last_focus_ = focus;
        return;
    }
    ::SetFocus(last_focus_ && ::IsWindow(last_focus_) ? last_focus_ : editor_);
}

void TMainModelessDialogForm::RunAction(ActionId id) {
    presenter_.Execute(id);
    RepaintIfLooksChanged();
}

void TMainModelessDialogForm::RepaintIfLooksChanged() {
    const std::uint32_t version = vb_.LooksVersion() + js_.LooksVersion();
    if (version == looks_seen_ || !editor_window_) return;
    looks_seen_ = version;
    editor_window_->RefreshLooks();
}

// Buttons, menu items and action keys (posted by the key hook) all come here.
void TMainModelessDialogForm::RunCommand(WORD id, WORD code, HWND control) {
    if (find_bar_ && find_bar_->OnCommand(id, code)) return;
    if (strip_ && strip_->OnCommand(
                      id, code, [this](int index) { presenter_.ProcedureChosen(index); },
                      [this] { presenter_.HandleScriptKey(workbench::F(7)); }))
        return;
    if (output_ && control == output_->hwnd()) {
        if (code == LBN_DBLCLK) presenter_.OutputLineActivated(output_->SelectedLine());
        return;
    }
    if (control && control == script_box_->hwnd()) return SavedScriptBoxChanged(code);
    if (control == editor_) return;
    if (std::optional<ActionId> action = WorkbenchToolBar::ActionOfCommand(id)) RunAction(*action);
}

void TMainModelessDialogForm::SavedScriptBoxChanged(WORD code) {
    switch (code) {
        case CBN_SETFOCUS:
            last_focus_ = script_box_->hwnd();
            presenter_.SavedScriptsEnter();
            break;
        case CBN_KILLFOCUS:
            presenter_.SavedScriptsExit();
            break;
        case CBN_DROPDOWN:
            presenter_.SavedScriptsDropDown();
            break;
        case CBN_SELCHANGE:
            if (!script_box_->TakePickedName()) break;
            presenter_.SavedScriptsSelect();
            RepaintIfLooksChanged();
            break;
        default:
            break;
    }
}

LRESULT TMainModelessDialogForm::ToolBarNotice(NMHDR* header) {
    if (header->code == TBN_DROPDOWN && header->hwndFrom == tool_bar_->hwnd()) {
        ChooseLanguageFromMenu();
        return TBDDRET_DEFAULT;
    }
    if (header->code == TTN_GETDISPINFOW)
        tool_bar_->GiveHint(*reinterpret_cast<NMTTDISPINFOW*>(header));
    return 0;
}

void TMainModelessDialogForm::ChooseLanguageFromMenu() {
    in_menu_ = true;
    const std::optional<ActionId> chosen = tool_bar_->ChooseLanguage(Handle());
    in_menu_ = false;
    if (chosen) RunAction(*chosen);
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
    if (workbench::WorkbenchPresenter::IsScriptKey(key)) {
        ::PostMessageW(Handle(), kScriptKeyMessage, key.key, key.modifiers);
        return true;
    }
    if (std::optional<workbench::FileCommand> command =
            workbench::WorkbenchPresenter::FileCommandForKey(key)) {
        ::PostMessageW(Handle(), kFileCommandMessage, static_cast<WPARAM>(*command), 0);
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
    // The action runs as its button's does, once this message is dropped, from the window's own
    // queue, so that no dialog it opens runs inside the hook.
    ::PostMessageW(Handle(), WM_COMMAND, MAKEWPARAM(WorkbenchToolBar::CommandOf(*action), 0), 0);
    return true;
}

bool TMainModelessDialogForm::TakeKey(const MSG& msg) noexcept {
    if (in_menu_ || !OwnsWindow(msg.hwnd) || !::IsWindowEnabled(Handle())) return false;
    // The key goes to its control now, before any message queued after it. Its character is
    // made here, as the host's loop would have made it, unless one is queued already: a
    // program that posts a whole stroke (key down, character, key up) sent its own.
    MSG waiting;
    const UINT first = msg.message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    if (!::PeekMessageW(&waiting, msg.hwnd, first, first + 1,
                        PM_NOREMOVE | PM_NOYIELD | PM_QS_POSTMESSAGE))
        ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
    return true;
}

LRESULT CALLBACK TMainModelessDialogForm::GetMessageHook(int code, WPARAM wparam,
                                                         LPARAM lparam) noexcept {
    HookState* const state = hook_state;
    if (state && code == HC_ACTION && wparam == PM_REMOVE) {
        MSG& msg = *reinterpret_cast<MSG*>(lparam);
        // Key strokes for our windows never reach the host's loop: a real host's
        // TranslateAccelerator would turn the workbench's own keys (Ctrl+C in the editor) into
        // host commands. Action keys run their action; the others go to their control at once.
        // Characters are left alone: accelerators on virtual keys never match them, and the
        // editor takes some from the queue itself right after their key. Keys being dropped
        // after a stopped run are not ours to deliver.
        if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && !DroppingQueuedKeys()) {
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
    ::SetFocus(script_box_->hwnd());
    ::SendMessageW(script_box_->hwnd(), CB_SHOWDROPDOWN, TRUE, 0);
}

void TMainModelessDialogForm::RequestClose() {
    ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
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

workbench::Language TMainModelessDialogForm::EditorLanguage() const {
    return editor_window_->Highlighter() == &vb_ ? workbench::Language::VBScript
                                                 : workbench::Language::JavaScript;
}

void TMainModelessDialogForm::SetHighlighter(workbench::Language language) {
    editor_window_->SetHighlighter(language == workbench::Language::VBScript
                                       ? static_cast<const editor::Highlighter*>(&vb_)
                                       : &js_);
    // The same text may hold other procedures in the other language.
    presenter_.ScriptChanged();
}

std::pair<int, int> TMainModelessDialogForm::SelectedLineRange() const {
    const editor::LineBlock block = editor::SelectedLines(editor_window_->model());
    int lines = 0;
    for (std::size_t at = block.text.find("\r\n"); at != std::string::npos;
         at = block.text.find("\r\n", at + 2))
        ++lines;
    return {block.first_line, block.first_line + std::max(lines, 1) - 1};
}

void TMainModelessDialogForm::ReplaceLines(int first, const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    editor::EditorModel& model = editor_window_->model();
    std::vector<editor::LineEdit> edits;
    for (std::size_t i = 0; i < lines.size(); ++i)
        edits.push_back({first - 1 + static_cast<int>(i), lines[i]});
    model.ReplaceLines(edits, model.Caret().column);
    const int last = first - 1 + static_cast<int>(lines.size()) - 1;
    model.SetSelection({first - 1, 0}, {last, static_cast<int>(lines.back().size())});
    editor_window_->Sync();
}

std::optional<int> TMainModelessDialogForm::AskLineNumber(int current, int count) {
    in_menu_ = true;
    std::optional<int> line = win::AskLineNumber(Handle(), current, count);
    in_menu_ = false;
    return line;
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

store::WindowState TMainModelessDialogForm::GetWindowState() {
    if (!::IsWindowVisible(Handle())) return pending_state_;
    return ShownState(Handle());
}

void TMainModelessDialogForm::SetWindowState(store::WindowState state) {
    pending_state_ = state;
    if (!::IsWindowVisible(Handle())) return;  // applied when the window is shown
    ::ShowWindow(Handle(), ShowCommand(state, /*first=*/false));
}

store::WindowBounds TMainModelessDialogForm::GetWindowBounds() {
    return NormalBounds(Handle());
}

void TMainModelessDialogForm::SetWindowBounds(const store::WindowBounds& bounds) {
    SetNormalBounds(Handle(), bounds);
}

workbench::MessageResult TMainModelessDialogForm::ShowMessage(std::string_view text,
                                                              std::string_view caption,
                                                              workbench::MessageIcon icon,
                                                              workbench::MessageButtons buttons) {
    return ShowMessageBox(Handle(), text, caption, icon, buttons);
}

std::optional<std::filesystem::path> TMainModelessDialogForm::ChooseFileToOpen(
    std::string_view filter) {
    return win::ChooseFileToOpen(Handle(), filter);
}

std::optional<std::filesystem::path> TMainModelessDialogForm::ChooseFileToSave(
    std::string_view filter, int filter_index, std::string_view extension, std::string_view name) {
    return win::ChooseFileToSave(Handle(), filter, filter_index, extension, name);
}

std::optional<std::size_t> TMainModelessDialogForm::ChooseVersion(
    std::string_view title, const std::vector<store::ScriptVersion>& versions) {
    return RunHistoryDialog(Handle(), title, versions);
}

}  // namespace zeph::win
