#include "editor/script_editor_window.h"

#include "editor/line_view.h"

#include "base/window_binding.h"
#include "base/window_class.h"
#include "base/window_text.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <exception>

#include "base/result.h"
#include "base/wide.h"
#include "editor/clipboard.h"
#include "editor/colour.h"
#include "editor/completion_popup.h"
#include "editor/scroll_hint.h"

namespace zeph::win {

namespace {

constexpr wchar_t kClassName[] = L"TScriptEditor";
constexpr int kTextIndent = 2;  // pixels between the gutter and the first column
constexpr std::int32_t kWindowText = static_cast<std::int32_t>(0xFF000000 | COLOR_WINDOWTEXT);
constexpr std::int32_t kWindow = static_cast<std::int32_t>(0xFF000000 | COLOR_WINDOW);

}  // namespace

// --- creation ---------------------------------------------------------------------------

ScriptEditorWindow::Settings ScriptEditorWindow::WorkbenchSettings() {
    Settings s;
    s.font = {"Courier New", 13};
    s.gutter_font = {"Terminal", 11};
    s.options = editor::EditorOptions::ScriptEditor();
    s.text = "option explicit";
    s.with_completion = true;
    return s;
}

ScriptEditorWindow::Settings ScriptEditorWindow::PreviewSettings() {
    Settings s;
    s.font = {"Courier New", 17};
    s.gutter_font = {"Terminal", 13};
    s.options = editor::EditorOptions::PreviewMemo();
    return s;
}

void ScriptEditorWindow::RegisterClassOnce() {
    WNDCLASSEXW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &WindowProc;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_IBEAM);
    wc.lpszClassName = kClassName;
    RegisterModuleClass(wc);
}

ScriptEditorWindow::ScriptEditorWindow(HWND parent, int control_id, const RECT& bounds,
                                       const Settings& settings)
    : model_(settings.options),
      text_font_(settings.font),
      gutter_font_(settings.gutter_font),
      text_colour_(settings.text_colour),
      background_(settings.background) {
    RegisterClassOnce();
    model_.SetText(settings.text);
    model_.TakeChanges();
    // WM_NCCREATE takes the handle into hwnd_, so that messages sent during creation find it.
    HWND created = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, kClassName, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | WS_CLIPCHILDREN, bounds.left,
        bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id)), CodeModule(), this);
    THROW_LAST_ERROR_IF(!created || !hwnd_);
    clipboard_ = std::make_unique<Win32Clipboard>(hwnd_.get());
    model_.SetClipboard(clipboard_.get());
    scroll_hint_ = std::make_unique<ScrollHintWindow>();
    if (settings.with_completion) {
        completion_ = std::make_unique<editor::CompletionModel>(model_);
        popup_ = std::make_unique<CompletionPopupWindow>(hwnd_.get(), *completion_);
        popup_->on_accepted = [this] { Sync(); };
        completion_->on_timer = [this](bool run, int interval) {
            if (run)
                ::SetTimer(hwnd_.get(), kCompletionTimer, static_cast<UINT>(interval), nullptr);
            else
                ::KillTimer(hwnd_.get(), kCompletionTimer);
        };
        completion_->on_visibility = [this](bool open) {
            if (!open) {
                popup_->Hide();
                return;
            }
            POINT caret = CaretPixel();
            POINT top{caret.x, caret.y}, bottom{caret.x, caret.y + line_height_};
            ::ClientToScreen(hwnd_.get(), &top);
            ::ClientToScreen(hwnd_.get(), &bottom);
            popup_->ShowAt(bottom, top.y, bottom.y);
        };
    }
    UpdateMetrics();
    longest_line_ = 0;
    for (int i = 0; i < model_.LineCount(); ++i)
        longest_line_ =
            std::max(longest_line_, editor::DisplayWidth(model_.Line(i), Options().tab_width));
    UpdateScrollBars();
}

ScriptEditorWindow::~ScriptEditorWindow() {
    if (completion_) {
        completion_->on_timer = nullptr;
        completion_->on_visibility = nullptr;
    }
    popup_.reset();
    scroll_hint_.reset();
    if (hwnd_) {
        ::SetWindowLongPtrW(hwnd_.get(), GWLP_USERDATA, 0);
        hwnd_.reset();
    }
}

// --- window procedure -------------------------------------------------------------------

LRESULT CALLBACK ScriptEditorWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = BoundObject(hwnd, msg, lp, &ScriptEditorWindow::hwnd_);
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return self->Handle(msg, wp, lp);
    } catch (...) {
        HWND root = ::GetAncestor(hwnd, GA_ROOT);
        ShowException(std::current_exception(), root, WindowText(root));
    }
    return 0;
}

LRESULT ScriptEditorWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    HWND hwnd = hwnd_.get();
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PaintDc dc(hwnd);
            Paint(dc.get(), dc.paint().rcPaint);
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintInto(reinterpret_cast<HDC>(wp));
            return 0;
        case WM_SIZE:
            UpdateMetrics();
            UpdateScrollBars();
            ::InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETDLGCODE:
            return DialogCode(reinterpret_cast<const MSG*>(lp));
        case WM_SETFOCUS:
            focused_ = true;
            RestartBlink();
            return 0;
        case WM_KILLFOCUS:
            OnKillFocus();
            return 0;
        case WM_TIMER:
            OnTimer(wp);
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (OnKeyDown(wp)) {
                DropTypedCharacters();
                return 0;
            }
            break;
        case WM_CHAR:
            OnChar(static_cast<wchar_t>(wp));
            return 0;
        // The text for screen readers and automation tools, as an edit control gives it.
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(Wide(model_.Text()).size());
        case WM_GETTEXT: {
            if (wp == 0 || !lp) return 0;
            const std::wstring text = Wide(model_.Text());
            const std::size_t n = std::min<std::size_t>(text.size(), wp - 1);
            auto* out = reinterpret_cast<wchar_t*>(lp);
            std::copy_n(text.data(), n, out);
            out[n] = L'\0';
            return static_cast<LRESULT>(n);
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnMouseDown(GET_X_LPARAM(lp), GET_Y_LPARAM(lp), wp & MK_SHIFT, msg == WM_LBUTTONDBLCLK);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            return 0;
        case WM_LBUTTONUP:
            OnMouseUp(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            return 0;
        case WM_CAPTURECHANGED:
            OnCaptureChanged(reinterpret_cast<HWND>(lp));
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lp) == HTCLIENT) {
                SetMouseCursor();
                return TRUE;
            }
            break;
        case WM_SYSCOLORCHANGE:
            ::InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_VSCROLL:
            OnVScroll(LOWORD(wp));
            return 0;
        case WM_HSCROLL:
            OnHScroll(LOWORD(wp));
            return 0;
        case WM_MOUSEWHEEL:
            OnWheel(GET_WHEEL_DELTA_WPARAM(wp));
            return 0;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wp));
            return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void ScriptEditorWindow::OnDropFiles(HDROP drop) {
    std::vector<std::filesystem::path> files;
    {
        // The drop's memory goes however the handler ends.
        struct Finish {
            HDROP drop;
            ~Finish() { ::DragFinish(drop); }
        } finish{drop};
        const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            std::wstring name(::DragQueryFileW(drop, i, nullptr, 0), L'\0');
            if (name.empty()) continue;
            ::DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size() + 1));
            files.emplace_back(name);
        }
    }
    if (on_files_dropped && !files.empty()) on_files_dropped(files);
}

LRESULT ScriptEditorWindow::DialogCode(const MSG* msg) const {
    LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
    if (Options().want_tabs) code |= DLGC_WANTTAB;
    // Enter breaks the line here rather than pressing a dialog's default button.
    if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) code |= DLGC_WANTMESSAGE;
    return code;
}

void ScriptEditorWindow::OnKillFocus() {
    focused_ = false;
    ::KillTimer(hwnd_.get(), kBlinkTimer);
    InvalidateCaret();
    if (completion_) {
        completion_->Cancel();  // also the timer of a "." not yet shown
        Sync();
    }
}

void ScriptEditorWindow::OnTimer(UINT_PTR id) {
    if (id == kBlinkTimer) {
        blink_on_ = !blink_on_;
        InvalidateCaret();
    } else if (id == kAutoScrollTimer) {
        OnAutoScroll();
    } else if (id == kCompletionTimer) {
        ::KillTimer(hwnd_.get(), kCompletionTimer);
        if (completion_) {
            // Never a list over another window: the wait ends with the focus.
            if (focused_)
                completion_->TimerExpired();
            else
                completion_->Cancel();
            Sync();
        }
    }
}

// --- metrics ----------------------------------------------------------------------------

void ScriptEditorWindow::UpdateMetrics() {
    line_height_ = text_font_.cell_height() + std::max(0, Options().extra_line_spacing);
    model_.SetVisibleLines(VisibleLineCount());
}

int ScriptEditorWindow::TextLeft() const {
    int left = kTextIndent;
    if (Options().gutter_visible) left += std::max(0, Options().gutter_width);
    return left;
}

RECT ScriptEditorWindow::TextArea() const {
    RECT rc{};
    ::GetClientRect(hwnd_.get(), &rc);
    rc.left = Options().gutter_visible ? std::max(0, Options().gutter_width) : 0;
    return rc;
}

int ScriptEditorWindow::VisibleLineCount() const {
    RECT rc{};
    ::GetClientRect(hwnd_.get(), &rc);
    return std::max(1, static_cast<int>(rc.bottom) / std::max(1, line_height_));
}

int ScriptEditorWindow::VisibleColumns() const {
    RECT rc{};
    ::GetClientRect(hwnd_.get(), &rc);
    return std::max(
        1, (static_cast<int>(rc.right) - TextLeft()) / std::max(1, text_font_.cell_width()));
}

editor::PixelGrid ScriptEditorWindow::Grid() const {
    editor::PixelGrid g;
    g.char_width = text_font_.cell_width();
    g.line_height = line_height_;
    g.left_column = left_column_;
    return g;
}

POINT ScriptEditorWindow::PointOf(editor::TextPos pos) const {
    int x = 0, y = 0;
    model_.PixelOf(pos, Grid(), x, y);
    return POINT{TextLeft() + x, y};
}

POINT ScriptEditorWindow::CaretPixel() const {
    return PointOf(model_.Caret());
}

editor::TextPos ScriptEditorWindow::PositionAt(int x, int y) const {
    return model_.PositionAtPixel(x - TextLeft(), y, Grid());
}

// --- model changes to screen ----------------------------------------------------------------

void ScriptEditorWindow::Sync() {
    ApplyChanges();
}

void ScriptEditorWindow::ApplyChanges() {
    if (!hwnd_) return;
    editor::EditorChanges ch = model_.TakeChanges();
    const int tab = std::max(1, Options().tab_width);
    if (ch.all) {
        longest_line_ = 0;
        for (int i = 0; i < model_.LineCount(); ++i)
            longest_line_ = std::max(longest_line_, editor::DisplayWidth(model_.Line(i), tab));
    } else if (ch.first_line <= ch.last_line) {
        int last = std::min(ch.last_line, model_.LineCount() - 1);
        for (int i = std::max(0, ch.first_line); i <= last; ++i)
            longest_line_ = std::max(longest_line_, editor::DisplayWidth(model_.Line(i), tab));
    }

    bool scrolled = false;
    if (ch.top_line_changed) scrolled = true;
    if (ch.scroll_to_caret) {
        int before_top = model_.TopLine(), before_left = left_column_;
        EnsureCaretVisible();
        scrolled |= before_top != model_.TopLine() || before_left != left_column_;
    }
    // Scrolling only moved the top line; nothing else is pending from it.
    model_.TakeChanges();

    if (ch.all || scrolled) {
        InvalidateAll();
    } else if (ch.first_line <= ch.last_line) {
        // A changed line count moves every line below, with its number in the gutter.
        InvalidateLines(ch.first_line, ch.line_count_changed ? INT_MAX : ch.last_line);
    }
    if (ch.all || ch.line_count_changed || scrolled || ch.text_changed) UpdateScrollBars();
    if (ch.caret_moved || ch.mode_changed) {
        InvalidateCaret();
        RestartBlink();
    }
    if (popup_ && popup_->Visible()) popup_->Refresh();

    if (ch.all || ch.caret_moved || ch.text_changed) UpdateBracketMatch();
    // An edit of the marked line takes the error mark away.
    if (ch.text_changed && error_line_ >= 0 &&
        (error_line_ >= model_.LineCount() || model_.Line(error_line_) != error_text_))
        SetErrorLine(-1);
    if (ch.text_changed && on_text_changed) on_text_changed();
    if (ch.caret_moved && on_caret_moved) on_caret_moved();
}

void ScriptEditorWindow::UpdateBracketMatch() {
    editor::TextPos next[2] = {{-1, 0}, {-1, 0}};
    const editor::TextPos caret = model_.Caret();
    editor::TextPos mate;
    if (model_.FindMatchingBracket(caret, mate)) {
        // The model takes the bracket at the caret, else the one just before it.
        const std::string& line = model_.Line(caret.line);
        const bool at =
            caret.column < static_cast<int>(line.size()) &&
            std::string_view("()[]{}<>").find(line[caret.column]) != std::string_view::npos;
        next[0] = {caret.line, at ? caret.column : caret.column - 1};
        next[1] = mate;
    }
    if (next[0] == brackets_[0] && next[1] == brackets_[1]) return;
    for (const editor::TextPos& p : brackets_)
        if (p.line >= 0) InvalidateLines(p.line, p.line);
    brackets_[0] = next[0];
    brackets_[1] = next[1];
    for (const editor::TextPos& p : brackets_)
        if (p.line >= 0) InvalidateLines(p.line, p.line);
}

void ScriptEditorWindow::SetErrorLine(int line) {
    if (line >= model_.LineCount()) line = -1;
    if (error_line_ >= 0) InvalidateLines(error_line_, error_line_);
    error_line_ = line;
    error_text_ = line >= 0 ? model_.Line(line) : std::string();
    if (line >= 0) InvalidateLines(line, line);
}

void ScriptEditorWindow::InvalidateAll() {
    // Never with a null handle: that would repaint every window on the desktop.
    if (hwnd_) ::InvalidateRect(hwnd_.get(), nullptr, FALSE);
}

void ScriptEditorWindow::InvalidateLines(int first, int last) {
    if (!hwnd_) return;
    int top = model_.TopLine();
    int visible = VisibleLineCount() + 1;
    first = std::max(first, top);
    last = std::min(last == INT_MAX ? INT_MAX - 1 : last, top + visible);
    if (first > last) return;
    RECT rc{};
    ::GetClientRect(hwnd_.get(), &rc);
    rc.top = (first - top) * line_height_;
    rc.bottom = std::min<LONG>(rc.bottom, (last - top + 1) * line_height_);
    ::InvalidateRect(hwnd_.get(), &rc, FALSE);
}

void ScriptEditorWindow::InvalidateCaret() {
    // Both the line the caret was painted on and the one it stands on now.
    InvalidateLines(last_caret_line_, last_caret_line_);
    last_caret_line_ = model_.Caret().line;
    InvalidateLines(last_caret_line_, last_caret_line_);
}

void ScriptEditorWindow::RestartBlink() {
    blink_on_ = true;
    if (focused_) {
        UINT period = ::GetCaretBlinkTime();
        if (period == 0 || period == INFINITE) period = 530;
        ::SetTimer(hwnd_.get(), kBlinkTimer, period, nullptr);
    }
    InvalidateCaret();
}

// --- appearance -------------------------------------------------------------------------------

void ScriptEditorWindow::SetFont(const FontSpec& font) {
    text_font_.Reset(font);
    UpdateMetrics();
    UpdateScrollBars();
    InvalidateAll();
}

void ScriptEditorWindow::SetGutterFont(const FontSpec& font) {
    gutter_font_.Reset(font);
    InvalidateAll();
}

void ScriptEditorWindow::SetColours(std::int32_t text_colour, std::int32_t background) {
    text_colour_ = HasOwnColour(text_colour) ? text_colour : kWindowText;
    background_ = HasOwnColour(background) ? background : kWindow;
    InvalidateAll();
}

void ScriptEditorWindow::SetOptions(const editor::EditorOptions& options) {
    model_.SetOptions(options);
    UpdateMetrics();
    ApplyChanges();
    UpdateScrollBars();
    InvalidateAll();
}

void ScriptEditorWindow::SetRightMargin(int column) {
    editor::EditorOptions o = Options();
    o.right_edge = column < 0 ? -1 : column;
    SetOptions(o);
}

void ScriptEditorWindow::SetGutterWidth(int pixels) {
    editor::EditorOptions o = Options();
    o.gutter_width = std::max(0, pixels);
    SetOptions(o);
}

void ScriptEditorWindow::SetGutterVisible(bool visible) {
    editor::EditorOptions o = Options();
    o.gutter_visible = visible;
    SetOptions(o);
}

void ScriptEditorWindow::SetHighlighter(const editor::Highlighter* highlighter) {
    model_.SetHighlighter(highlighter);
    ApplyChanges();
    InvalidateAll();
}

void ScriptEditorWindow::RefreshLooks() {
    InvalidateAll();
}

void ScriptEditorWindow::SetText(std::string_view text) {
    if (completion_ && completion_->IsOpen()) completion_->Cancel();
    model_.SetText(text);
    left_column_ = 0;
    model_.SetTopLine(0);
    ApplyChanges();
    InvalidateAll();
}

void ScriptEditorWindow::SetCaretXY(int x, int y) {
    model_.SetCaretXY(x, y);
    ApplyChanges();
}

void ScriptEditorWindow::Focus() {
    ::SetFocus(hwnd_.get());
}

bool ScriptEditorWindow::HasFocus() const {
    return hwnd_ && ::GetFocus() == hwnd_.get();
}

void ScriptEditorWindow::SetReadOnly(bool read_only) {
    if (read_only && completion_ && completion_->IsOpen()) completion_->Cancel();
    model_.SetReadOnly(read_only);
    ApplyChanges();
}

bool ScriptEditorWindow::ShowCompletion() {
    if (!completion_) return false;
    bool opened = completion_->Execute();
    ApplyChanges();
    return opened;
}

void ScriptEditorWindow::HideCompletion() {
    if (completion_) completion_->Cancel();  // also the timer of a "." not yet shown
    ApplyChanges();
}

}  // namespace zeph::win
