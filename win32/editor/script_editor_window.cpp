#include "editor/script_editor_window.h"

#include "base/window_class.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <exception>

#include "base/result.h"
#include "base/wide.h"
#include "editor/colour.h"
#include "editor/completion_popup.h"
#include "editor/scroll_hint.h"
#include "text/cp1251.h"

namespace zeph::win {

using text::operator""_cp;

namespace {

constexpr wchar_t kClassName[] = L"TScriptEditor";
constexpr UINT_PTR kBlinkTimer = 1;
constexpr UINT_PTR kAutoScrollTimer = 2;
constexpr UINT_PTR kCompletionTimer = 3;
constexpr int kTextIndent = 2;  // pixels between the gutter and the first column
constexpr COLORREF kMarginColour = RGB(192, 192, 192);
constexpr COLORREF kErrorLineColour = RGB(255, 220, 220);
constexpr COLORREF kErrorMarkColour = RGB(220, 0, 0);
constexpr std::int32_t kWindowText = static_cast<std::int32_t>(0xFF000000 | COLOR_WINDOWTEXT);
constexpr std::int32_t kWindow = static_cast<std::int32_t>(0xFF000000 | COLOR_WINDOW);

// Columns a line occupies on screen, tabs expanded to the next tab stop.
int DisplayWidth(const std::string& line, int tab_width) {
    int col = 0;
    for (char c : line) col = c == '\t' ? (col / tab_width + 1) * tab_width : col + 1;
    return col;
}

}  // namespace

// The clipboard as Unicode text. A column block also carries a private marker format so
// that pasting it back inserts a block again.
class Win32Clipboard final : public editor::EditorClipboard {
  public:
    explicit Win32Clipboard(HWND owner) : owner_(owner) {
        block_format_ = ::RegisterClipboardFormatW(L"Zeph Column Block");
    }

    void PutText(std::string_view cp1251, bool column_block) override {
        if (!Open()) return;
        ::EmptyClipboard();
        std::wstring w = Wide(cp1251);
        size_t bytes = (w.size() + 1) * sizeof(wchar_t);
        if (HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
            if (void* p = ::GlobalLock(mem)) {
                std::copy(w.c_str(), w.c_str() + w.size() + 1, static_cast<wchar_t*>(p));
                ::GlobalUnlock(mem);
                if (!::SetClipboardData(CF_UNICODETEXT, mem)) ::GlobalFree(mem);
            } else {
                ::GlobalFree(mem);
            }
        }
        if (column_block) {
            if (HGLOBAL mark = ::GlobalAlloc(GMEM_MOVEABLE, 1)) {
                if (!::SetClipboardData(block_format_, mark)) ::GlobalFree(mark);
            }
        }
        ::CloseClipboard();
    }

    bool GetText(std::string& cp1251, bool& column_block) override {
        if (!::IsClipboardFormatAvailable(CF_UNICODETEXT) || !Open()) return false;
        bool ok = false;
        if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
            if (auto* p = static_cast<const wchar_t*>(::GlobalLock(data))) {
                size_t max = ::GlobalSize(data) / sizeof(wchar_t);
                size_t n = 0;
                while (n < max && p[n]) ++n;
                cp1251 = Narrow(std::wstring_view(p, n));
                ::GlobalUnlock(data);
                ok = true;
            }
        }
        column_block = ok && ::IsClipboardFormatAvailable(block_format_);
        ::CloseClipboard();
        return ok;
    }

  private:
    // Another program may hold the clipboard open for a moment.
    bool Open() {
        for (int attempt = 0; attempt < 10; ++attempt) {
            if (::OpenClipboard(owner_)) return true;
            ::Sleep(10);
        }
        return false;
    }

    HWND owner_;
    UINT block_format_;
};

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
        longest_line_ = std::max(longest_line_, DisplayWidth(model_.Line(i), Options().tab_width));
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
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        auto* self = static_cast<ScriptEditorWindow*>(cs->lpCreateParams);
        self->hwnd_.reset(hwnd);
    }
    auto* self = reinterpret_cast<ScriptEditorWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        // The parent destroyed us first: forget the handle so the destructor does not.
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_.release();
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
    try {
        return self->Handle(msg, wp, lp);
    } catch (const std::exception& e) {
        HWND root = ::GetAncestor(hwnd, GA_ROOT);
        wchar_t caption[256] = L"";
        ::GetWindowTextW(root, caption, 256);
        ::MessageBoxW(root, Wide(e.what()).c_str(), caption, MB_OK | MB_ICONERROR);
    } catch (...) {
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
        case WM_GETDLGCODE: {
            LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
            if (Options().want_tabs) code |= DLGC_WANTTAB;
            // Enter breaks the line here rather than pressing a dialog's default button.
            auto* m = reinterpret_cast<const MSG*>(lp);
            if (m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN) code |= DLGC_WANTMESSAGE;
            return code;
        }
        case WM_SETFOCUS:
            focused_ = true;
            RestartBlink();
            return 0;
        case WM_KILLFOCUS:
            focused_ = false;
            ::KillTimer(hwnd, kBlinkTimer);
            InvalidateCaret();
            if (completion_) {
                completion_->Cancel();  // also the timer of a "." not yet shown
                Sync();
            }
            return 0;
        case WM_TIMER:
            if (wp == kBlinkTimer) {
                blink_on_ = !blink_on_;
                InvalidateCaret();
            } else if (wp == kAutoScrollTimer) {
                OnAutoScroll();
            } else if (wp == kCompletionTimer) {
                ::KillTimer(hwnd, kCompletionTimer);
                if (completion_) {
                    // Never a list over another window: the wait ends with the focus.
                    if (focused_)
                        completion_->TimerExpired();
                    else
                        completion_->Cancel();
                    Sync();
                }
            }
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (OnKeyDown(wp)) {
                // The character this key produced must not be typed as well.
                MSG m;
                while (::PeekMessageW(&m, hwnd, WM_CHAR, WM_DEADCHAR, PM_REMOVE)) {
                }
                while (::PeekMessageW(&m, hwnd, WM_SYSCHAR, WM_SYSDEADCHAR, PM_REMOVE)) {
                }
                return 0;
            }
            break;
        case WM_CHAR:
            OnChar(static_cast<wchar_t>(wp));
            return 0;
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
            if (reinterpret_cast<HWND>(lp) != hwnd && mouse_mode_ != MouseMode::kNone) {
                mouse_mode_ = MouseMode::kNone;
                ::KillTimer(hwnd, kAutoScrollTimer);
                ::InvalidateRect(hwnd, nullptr, FALSE);
            }
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lp) == HTCLIENT) {
                POINT pt;
                ::GetCursorPos(&pt);
                ::ScreenToClient(hwnd, &pt);
                bool arrow = Options().gutter_visible && pt.x < Options().gutter_width;
                if (!arrow && Options().drag_drop_editing && mouse_mode_ == MouseMode::kNone)
                    arrow = InsideSelection(PositionAt(pt.x, pt.y));
                ::SetCursor(::LoadCursorW(nullptr, arrow ? IDC_ARROW : IDC_IBEAM));
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
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
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

// --- painting ---------------------------------------------------------------------------

void ScriptEditorWindow::PaintInto(HDC dc) {
    RECT rc{};
    ::GetClientRect(hwnd_.get(), &rc);
    bool blink = blink_on_;
    blink_on_ = true;  // a snapshot shows the caret whatever the blink phase
    Paint(dc, rc);
    blink_on_ = blink;
}

void ScriptEditorWindow::Paint(HDC target, const RECT& update) {
    RECT client{};
    ::GetClientRect(hwnd_.get(), &client);
    if (client.right <= 0 || client.bottom <= 0) return;
    if (!buffer_dc_ || buffer_size_.cx < client.right || buffer_size_.cy < client.bottom) {
        // Compatible with the window's own DC, not with `target`, which may be a memory DC
        // holding a monochrome bitmap when the window is printed.
        WindowDc window(hwnd_.get());
        buffer_dc_.reset(::CreateCompatibleDC(window.get()));
        buffer_bitmap_.reset(::CreateCompatibleBitmap(window.get(), client.right, client.bottom));
        ::SelectObject(buffer_dc_.get(), buffer_bitmap_.get());
        buffer_size_ = {client.right, client.bottom};
    }
    HDC dc = buffer_dc_.get();

    RECT area = update;
    ::IntersectRect(&area, &area, &client);
    COLORREF bg = ResolveColour(background_, ::GetSysColor(COLOR_WINDOW));
    UniqueBrush bg_brush(::CreateSolidBrush(bg));
    ::FillRect(dc, &area, bg_brush.get());
    if (Options().gutter_visible && Options().gutter_width > 0) {
        RECT gutter{0, area.top, Options().gutter_width, area.bottom};
        ::FillRect(dc, &gutter, ::GetSysColorBrush(COLOR_BTNFACE));
    }

    int top = model_.TopLine();
    int first = top + std::max(0, static_cast<int>(area.top)) / line_height_;
    int last = top + (static_cast<int>(area.bottom) - 1) / line_height_;
    last = std::min(last, model_.LineCount() - 1);
    for (int line = first; line <= last; ++line) {
        int y = (line - top) * line_height_;
        if (line == error_line_) {
            RECT r = TextArea();
            r.top = y;
            r.bottom = y + line_height_;
            ::IntersectRect(&r, &r, &area);
            UniqueBrush brush(::CreateSolidBrush(kErrorLineColour));
            ::FillRect(dc, &r, brush.get());
        }
        PaintLine(dc, line, y, area);
        if (Options().gutter_visible && Options().gutter_width > 0) PaintGutter(dc, line, y);
    }

    // The bracket pair at the caret.
    for (const editor::TextPos& p : brackets_) {
        if (p.line < first || p.line > last) continue;
        const POINT pt = PointOf(p);
        RECT cell{pt.x, pt.y, pt.x + text_font_.cell_width(), pt.y + line_height_};
        if (cell.left >= TextLeft()) ::FrameRect(dc, &cell, ::GetSysColorBrush(COLOR_GRAYTEXT));
    }

    // Right margin line.
    int edge = Options().right_edge;
    if (edge >= 0 && edge >= left_column_) {
        int x = TextLeft() + (edge - left_column_) * text_font_.cell_width();
        if (x >= area.left && x < area.right) {
            UniquePen pen(::CreatePen(PS_SOLID, 1, kMarginColour));
            SelectedObject keep(dc, pen.get());
            ::MoveToEx(dc, x, area.top, nullptr);
            ::LineTo(dc, x, area.bottom);
        }
    }
    if (Options().gutter_visible && Options().gutter_width > 0) {
        RECT sep{Options().gutter_width - 1, area.top, Options().gutter_width, area.bottom};
        ::FillRect(dc, &sep, ::GetSysColorBrush(COLOR_BTNSHADOW));
    }

    if (mouse_mode_ == MouseMode::kDragging) PaintCaret(dc, drop_pos_, true);
    if (focused_ && blink_on_) PaintCaret(dc, model_.Caret(), false);

    ::BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, dc,
             area.left, area.top, SRCCOPY);
}

void ScriptEditorWindow::PaintLine(HDC dc, int line, int y, const RECT& update) {
    const std::string& s = model_.Line(line);
    const int cw = text_font_.cell_width();
    const int tab = std::max(1, Options().tab_width);
    const int text_left = TextLeft();
    RECT area = TextArea();
    RECT line_rect{std::max(area.left, update.left), y, std::min(area.right, update.right),
                   y + line_height_};
    if (line_rect.left >= line_rect.right) return;
    // Display columns worth drawing, one extra on each side for overhanging glyphs.
    const int first_col =
        left_column_ + std::max(0, (static_cast<int>(line_rect.left) - text_left) / cw) - 1;
    const int last_col = left_column_ + (static_cast<int>(line_rect.right) - text_left) / cw + 1;

    COLORREF editor_fg = ResolveColour(text_colour_, ::GetSysColor(COLOR_WINDOWTEXT));
    COLORREF editor_bg = ResolveColour(background_, ::GetSysColor(COLOR_WINDOW));
    int sel_from = 0, sel_to = 0;
    bool selected = model_.SelectionOnLine(line, sel_from, sel_to) && sel_from < sel_to;
    if (!selected) sel_from = sel_to = INT_MIN;

    runs_.clear();
    model_.LineTokens(line, runs_);
    if (runs_.empty() && !s.empty()) runs_.push_back({0, static_cast<int>(s.size()), nullptr});

    auto x_of = [&](int col) { return text_left + (col - left_column_) * cw; };
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    const int baseline = y + text_font_.ascent();

    // First the backgrounds of all tokens, then their text, so that an italic or bold
    // glyph reaching into the next cell is not cut off by that cell's background.
    for (int pass = 0; pass < 2; ++pass) {
        int col = 0;
        std::wstring cells;
        std::vector<INT> dx;
        for (const auto& run : runs_) {
            int begin = std::clamp(run.start, 0, static_cast<int>(s.size()));
            int end = std::clamp(run.start + run.length, begin, static_cast<int>(s.size()));
            COLORREF fg = run.cls ? ResolveColour(run.cls->foreground, editor_fg) : editor_fg;
            COLORREF bg = run.cls ? ResolveColour(run.cls->background, editor_bg) : editor_bg;
            unsigned style = run.cls ? run.cls->style : 0;
            // Split the token where the selection starts and ends.
            int i = begin;
            while (i < end) {
                const bool in_sel = col >= sel_from && col < sel_to;
                int seg_col = -1;
                cells.clear();
                while (i < end && (col >= sel_from && col < sel_to) == in_sel) {
                    char c = s[static_cast<size_t>(i)];
                    int next = c == '\t' ? (col / tab + 1) * tab : col + 1;
                    if (next > first_col && col < last_col) {
                        if (seg_col < 0) seg_col = col;
                        if (c == '\t') {
                            cells.append(static_cast<size_t>(next - col), L' ');
                        } else {
                            cells.push_back(static_cast<wchar_t>(text::ToUtf16(c)));
                        }
                    }
                    col = next;
                    ++i;
                }
                if (cells.empty()) continue;
                int x = x_of(seg_col);
                if (pass == 0) {
                    COLORREF fill = in_sel ? ::GetSysColor(COLOR_HIGHLIGHT) : bg;
                    if (fill != editor_bg) {
                        RECT r{x, y, x + static_cast<int>(cells.size()) * cw, y + line_height_};
                        ::IntersectRect(&r, &r, &line_rect);
                        UniqueBrush brush(::CreateSolidBrush(fill));
                        ::FillRect(dc, &r, brush.get());
                    }
                } else {
                    ::SetTextColor(dc, in_sel ? ::GetSysColor(COLOR_HIGHLIGHTTEXT) : fg);
                    SelectedObject font(dc, text_font_.Get(style));
                    dx.assign(cells.size(), cw);
                    ::ExtTextOutW(dc, x, baseline, ETO_CLIPPED, &line_rect, cells.data(),
                                  static_cast<UINT>(cells.size()), dx.data());
                }
            }
        }
        // The selection beyond the line's last character.
        if (pass == 0 && selected && sel_to > col) {
            int from = std::max(sel_from, col);
            RECT r{x_of(from), y, sel_to == INT_MAX ? line_rect.right : x_of(sel_to),
                   y + line_height_};
            ::IntersectRect(&r, &r, &line_rect);
            ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_HIGHLIGHT));
        }
    }
}

void ScriptEditorWindow::PaintGutter(HDC dc, int line, int y) {
    const int width = Options().gutter_width;
    RECT rc{0, y, width - 5, y + line_height_};
    std::wstring number = std::to_wstring(line + 1);
    SelectedObject font(dc, gutter_font_.Get(0));
    ::SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    ::DrawTextW(dc, number.c_str(), static_cast<int>(number.size()), &rc,
                DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    if (line == error_line_) {
        int size = std::min(line_height_ - 2, 10);
        RECT mark{2, y + (line_height_ - size) / 2, 2 + size, y + (line_height_ - size) / 2 + size};
        UniqueBrush brush(::CreateSolidBrush(kErrorMarkColour));
        ::FillRect(dc, &mark, brush.get());
    }
    // Bookmarks: the digit in a small box at the gutter's left.
    for (int n = 0; n < 10; ++n) {
        if (model_.BookmarkLine(n) != line) continue;
        int size = std::min(line_height_ - 2, 12);
        RECT box{2, y + (line_height_ - size) / 2, 2 + size, y + (line_height_ - size) / 2 + size};
        ::FillRect(dc, &box, ::GetSysColorBrush(COLOR_INFOBK));
        ::FrameRect(dc, &box, ::GetSysColorBrush(COLOR_BTNSHADOW));
        wchar_t digit[2] = {static_cast<wchar_t>(L'0' + n), 0};
        ::SetTextColor(dc, ::GetSysColor(COLOR_INFOTEXT));
        ::DrawTextW(dc, digit, 1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
        break;
    }
}

void ScriptEditorWindow::PaintCaret(HDC dc, editor::TextPos pos, bool drop_marker) {
    POINT pt = PointOf(pos);
    RECT area = TextArea();
    if (pt.x < area.left || pt.x >= area.right) return;
    int height = text_font_.cell_height();
    RECT r{pt.x, pt.y, pt.x + 2, pt.y + height};
    if (!drop_marker && !model_.InsertMode()) {
        // Overwrite: a block over the lower half of the cell.
        r = {pt.x, pt.y + height / 2, pt.x + text_font_.cell_width(), pt.y + height};
    }
    ::IntersectRect(&r, &r, &area);
    if (drop_marker) {
        UniqueBrush brush(
            ::CreateSolidBrush(ResolveColour(text_colour_, ::GetSysColor(COLOR_WINDOWTEXT))));
        ::FillRect(dc, &r, brush.get());
    } else {
        ::InvertRect(dc, &r);
    }
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
            longest_line_ = std::max(longest_line_, DisplayWidth(model_.Line(i), tab));
    } else if (ch.first_line <= ch.last_line) {
        int last = std::min(ch.last_line, model_.LineCount() - 1);
        for (int i = std::max(0, ch.first_line); i <= last; ++i)
            longest_line_ = std::max(longest_line_, DisplayWidth(model_.Line(i), tab));
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

int ScriptEditorWindow::MaxTopLine() const {
    int count = model_.LineCount();
    if (Options().scroll_past_eof) return std::max(0, count - 1);
    return std::max(0, count - VisibleLineCount());
}

void ScriptEditorWindow::UpdateScrollBars() {
    if (!hwnd_) return;
    int visible = VisibleLineCount();
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = MaxTopLine() + visible - 1;
    si.nPage = static_cast<UINT>(visible);
    si.nPos = model_.TopLine();
    ::SetScrollInfo(hwnd_.get(), SB_VERT, &si, TRUE);

    int cols = VisibleColumns();
    si.nMax = std::max(longest_line_ + 1, left_column_ + cols) - 1;
    si.nPage = static_cast<UINT>(cols);
    si.nPos = left_column_;
    ::SetScrollInfo(hwnd_.get(), SB_HORZ, &si, TRUE);
}

void ScriptEditorWindow::ScrollTo(int top_line, int left_column) {
    top_line = std::clamp(top_line, 0, MaxTopLine());
    int max_left = std::max(0, std::max(Options().max_line_length, longest_line_));
    left_column = std::clamp(left_column, 0, max_left);
    if (top_line == model_.TopLine() && left_column == left_column_) return;
    model_.SetTopLine(top_line);
    left_column_ = left_column;
    InvalidateAll();
    UpdateScrollBars();
}

void ScriptEditorWindow::EnsureCaretVisible() {
    editor::TextPos caret = model_.Caret();
    int visible = VisibleLineCount();
    int top = model_.TopLine();
    if (caret.line < top) top = caret.line;
    if (caret.line >= top + visible) top = caret.line - visible + 1;
    int col = model_.DisplayColumn(caret.line, caret.column);
    int cols = VisibleColumns();
    int left = left_column_;
    if (col < left) left = col;
    if (col >= left + cols) left = col - cols + 1;
    ScrollTo(top, left);
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
    if (completion_ && completion_->IsOpen()) completion_->Cancel();
    ApplyChanges();
}

// --- keyboard ---------------------------------------------------------------------------------

unsigned ScriptEditorWindow::Modifiers() const {
    unsigned m = editor::kNoModifier;
    if (::GetKeyState(VK_SHIFT) < 0) m |= editor::kShift;
    if (::GetKeyState(VK_CONTROL) < 0) m |= editor::kCtrl;
    if (::GetKeyState(VK_MENU) < 0) m |= editor::kAlt;
    return m;
}

bool ScriptEditorWindow::OnKeyDown(WPARAM vk) {
    if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) return false;
    const int key = static_cast<int>(vk);
    const unsigned mods = Modifiers();
    if (on_key_down && on_key_down(key, mods)) return true;
    if (completion_ && completion_->KeyDown(key, mods)) {
        ApplyChanges();
        return true;
    }
    if (!model_.ExecuteKey(key, mods)) return false;
    ApplyChanges();
    return true;
}

void ScriptEditorWindow::OnChar(wchar_t ch) {
    if (ch < 0x20) return;  // Enter, Tab, Backspace and Ctrl+letter arrive as key strokes
    std::string narrow = Narrow(std::wstring_view(&ch, 1));
    if (narrow.size() != 1) return;
    char c = narrow[0];
    if (c == '?' && ch != L'?') return;  // no such character in the code page
    if (completion_ && completion_->CharTyped(c)) {
        ApplyChanges();
        return;
    }
    model_.TypeChar(c);
    ApplyChanges();
}

// --- mouse ------------------------------------------------------------------------------------

bool ScriptEditorWindow::InsideSelection(editor::TextPos pos) const {
    if (!model_.HasSelection()) return false;
    return model_.SelectionStart() <= pos && pos < model_.SelectionEnd();
}

void ScriptEditorWindow::OnMouseDown(int x, int y, bool shift, bool double_click) {
    if (!HasFocus()) ::SetFocus(hwnd_.get());
    if (completion_) completion_->Cancel();
    editor::TextPos pos = PositionAt(std::max(x, TextLeft()), y);
    mouse_down_ = mouse_last_ = {x, y};
    if (double_click) {
        model_.SelectWordAt(pos);
        mouse_mode_ = MouseMode::kNone;
        ApplyChanges();
        return;
    }
    if (!shift && Options().drag_drop_editing && !ReadOnly() && InsideSelection(pos)) {
        mouse_mode_ = MouseMode::kDragPending;
    } else {
        model_.SetCaret(pos, shift);
        mouse_mode_ = MouseMode::kSelecting;
    }
    ::SetCapture(hwnd_.get());
    ApplyChanges();
}

void ScriptEditorWindow::OnMouseMove(int x, int y) {
    mouse_last_ = {x, y};
    switch (mouse_mode_) {
        case MouseMode::kNone:
            return;
        case MouseMode::kDragPending:
            if (std::abs(x - mouse_down_.x) < ::GetSystemMetrics(SM_CXDRAG) &&
                std::abs(y - mouse_down_.y) < ::GetSystemMetrics(SM_CYDRAG))
                return;
            mouse_mode_ = MouseMode::kDragging;
            [[fallthrough]];
        case MouseMode::kDragging: {
            editor::TextPos pos = PositionAt(std::max(x, TextLeft()), y);
            if (pos != drop_pos_) {
                InvalidateLines(drop_pos_.line, drop_pos_.line);
                drop_pos_ = pos;
                InvalidateLines(drop_pos_.line, drop_pos_.line);
            }
            break;
        }
        case MouseMode::kSelecting:
            model_.SetCaret(PositionAt(std::max(x, TextLeft()), y), true);
            ApplyChanges();
            break;
    }
    RECT area = TextArea();
    bool outside = y < 0 || y >= area.bottom || x < TextLeft() || x >= area.right;
    if (outside)
        ::SetTimer(hwnd_.get(), kAutoScrollTimer, 50, nullptr);
    else
        ::KillTimer(hwnd_.get(), kAutoScrollTimer);
}

void ScriptEditorWindow::OnAutoScroll() {
    if (mouse_mode_ != MouseMode::kSelecting && mouse_mode_ != MouseMode::kDragging) {
        ::KillTimer(hwnd_.get(), kAutoScrollTimer);
        return;
    }
    RECT area = TextArea();
    int dy = mouse_last_.y < 0 ? -1 : mouse_last_.y >= area.bottom ? 1 : 0;
    int dx = mouse_last_.x < TextLeft() ? -1 : mouse_last_.x >= area.right ? 1 : 0;
    ScrollTo(model_.TopLine() + dy, left_column_ + dx);
    int y = std::clamp<int>(mouse_last_.y, 0, std::max<int>(0, area.bottom - 1));
    int x = std::clamp<int>(mouse_last_.x, TextLeft(), std::max<int>(TextLeft(), area.right - 1));
    if (dy < 0) y = 0;
    if (mouse_mode_ == MouseMode::kSelecting) {
        model_.SetCaret(PositionAt(x, y), true);
        ApplyChanges();
    } else {
        drop_pos_ = PositionAt(x, y);
        InvalidateAll();
    }
}

void ScriptEditorWindow::OnMouseUp(int x, int y) {
    MouseMode mode = std::exchange(mouse_mode_, MouseMode::kNone);
    ::KillTimer(hwnd_.get(), kAutoScrollTimer);
    if (::GetCapture() == hwnd_.get()) ::ReleaseCapture();
    if (mode == MouseMode::kDragPending) {
        // A click inside the selection without a drag just places the caret.
        model_.SetCaret(PositionAt(std::max(x, TextLeft()), y), false);
    } else if (mode == MouseMode::kDragging) {
        bool copy = ::GetKeyState(VK_CONTROL) < 0;
        model_.DropSelection(drop_pos_, copy);
        InvalidateAll();
    }
    ApplyChanges();
}

// --- scrolling --------------------------------------------------------------------------------

void ScriptEditorWindow::ShowScrollHint(int top_line) {
    if (!Options().show_scroll_hint) return;
    RECT wr{};
    ::GetWindowRect(hwnd_.get(), &wr);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    RECT client{};
    ::GetClientRect(hwnd_.get(), &client);
    POINT right{client.right, 0};
    ::ClientToScreen(hwnd_.get(), &right);
    // The range of lines the window will show from this top line, as far as there is text.
    const int bottom =
        std::max(top_line + 1, std::min(top_line + VisibleLineCount(), model_.LineCount()));
    std::wstring text =
        Wide(u8"Строки: "_cp) + std::to_wstring(top_line + 1) + L" - " + std::to_wstring(bottom);
    scroll_hint_->Show(hwnd_.get(), {right.x - 4, std::clamp(cursor.y, wr.top, wr.bottom)}, text);
}

void ScriptEditorWindow::OnVScroll(int code) {
    int top = model_.TopLine();
    int page = std::max(1, VisibleLineCount() - 1);
    switch (code) {
        case SB_LINEUP:
            ScrollTo(top - 1, left_column_);
            break;
        case SB_LINEDOWN:
            ScrollTo(top + 1, left_column_);
            break;
        case SB_PAGEUP:
            ScrollTo(top - page, left_column_);
            break;
        case SB_PAGEDOWN:
            ScrollTo(top + page, left_column_);
            break;
        case SB_TOP:
            ScrollTo(0, left_column_);
            break;
        case SB_BOTTOM:
            ScrollTo(MaxTopLine(), left_column_);
            break;
        case SB_THUMBTRACK: {
            SCROLLINFO si{};
            si.cbSize = sizeof(si);
            si.fMask = SIF_TRACKPOS;
            ::GetScrollInfo(hwnd_.get(), SB_VERT, &si);
            ScrollTo(si.nTrackPos, left_column_);
            ShowScrollHint(model_.TopLine());
            break;
        }
        case SB_THUMBPOSITION:
        case SB_ENDSCROLL:
            scroll_hint_->Hide();
            break;
    }
}

void ScriptEditorWindow::OnHScroll(int code) {
    int left = left_column_;
    int page = std::max(1, VisibleColumns() - 1);
    switch (code) {
        case SB_LINELEFT:
            left -= 1;
            break;
        case SB_LINERIGHT:
            left += 1;
            break;
        case SB_PAGELEFT:
            left -= page;
            break;
        case SB_PAGERIGHT:
            left += page;
            break;
        case SB_LEFT:
            left = 0;
            break;
        case SB_RIGHT:
            left = longest_line_;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO si{};
            si.cbSize = sizeof(si);
            si.fMask = SIF_TRACKPOS;
            ::GetScrollInfo(hwnd_.get(), SB_HORZ, &si);
            left = si.nTrackPos;
            break;
        }
        default:
            return;
    }
    ScrollTo(model_.TopLine(), left);
}

void ScriptEditorWindow::OnWheel(int delta) {
    if (popup_ && popup_->Visible()) {
        popup_->ScrollLines(-delta / WHEEL_DELTA * 3);
        return;
    }
    UINT lines = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    if (lines == WHEEL_PAGESCROLL) lines = static_cast<UINT>(VisibleLineCount());
    wheel_rest_ += delta;
    int notches = wheel_rest_ / WHEEL_DELTA;
    wheel_rest_ -= notches * WHEEL_DELTA;
    if (notches) ScrollTo(model_.TopLine() - notches * static_cast<int>(lines), left_column_);
}

}  // namespace zeph::win
