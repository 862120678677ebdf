#include "editor/completion_popup.h"

#include "base/window_binding.h"
#include "base/window_class.h"

#include <algorithm>

#include "base/result.h"
#include "base/wide.h"
#include "editor/pretty_text.h"
#include "editor/scroll_hint.h"

namespace zeph::win {

namespace {

constexpr wchar_t kClassName[] = L"TCompletionProposalForm";
constexpr int kListFontHeight = 13;
constexpr int kTextIndent = 2;

void RegisterOnce(WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.style = CS_DBLCLKS | CS_DROPSHADOW;
    wc.lpfnWndProc = proc;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterModuleClass(wc);
}

}  // namespace

std::string DefaultFontFace() {
    LOGFONTW lf{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    return Narrow(lf.lfFaceName);
}

CompletionPopupWindow::CompletionPopupWindow(HWND editor, editor::CompletionModel& model)
    : editor_(editor), model_(model) {
    RegisterOnce(&WindowProc);
    std::string face = DefaultFontFace();
    font_ = CreateCyrillicFont(face, kListFontHeight);
    bold_font_ = CreateCyrillicFont(face, kListFontHeight, true);

    HWND owner = ::GetAncestor(editor, GA_ROOT);
    // WM_NCCREATE takes the handle into hwnd_.
    HWND created = (::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE,
                                      kClassName, L"", WS_POPUP | WS_BORDER | WS_VSCROLL, 0, 0,
                                      model.width, 100, owner, nullptr, CodeModule(), this));
    THROW_LAST_ERROR_IF(!created || !hwnd_);

    WindowDc dc(hwnd_.get());
    SelectedObject sel(dc.get(), font_.get());
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc.get(), &tm);
    line_height_ = tm.tmHeight + 2;
    first_column_width_ = TextWidth(dc.get(), Wide(model.first_column_word));
}

CompletionPopupWindow::~CompletionPopupWindow() {
    if (hwnd_) ::SetWindowLongPtrW(hwnd_.get(), GWLP_USERDATA, 0);
}

LRESULT CALLBACK CompletionPopupWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = BoundObject(hwnd, msg, lp, &CompletionPopupWindow::hwnd_);
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return self->Handle(msg, wp, lp);
    } catch (...) {
        // The list closes, and the user learns why.
        ::ShowWindow(hwnd, SW_HIDE);
        ShowException(std::current_exception(), ::GetAncestor(::GetParent(hwnd), GA_ROOT), L"Zeph");
        return 0;
    }
}

LRESULT CompletionPopupWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    HWND hwnd = hwnd_.get();
    switch (msg) {
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PaintDc dc(hwnd);
            Paint(dc.get());
            return 0;
        }
        case WM_PRINTCLIENT:
            Paint(reinterpret_cast<HDC>(wp));
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            int i = IndexAt(static_cast<short>(HIWORD(lp)));
            if (i < 0) return 0;
            model_.SetSelectedIndex(i);
            Refresh();
            if (msg == WM_LBUTTONDBLCLK) {
                model_.Accept();
                if (on_accepted) on_accepted();
            }
            return 0;
        }
        case WM_VSCROLL:
            OnVScroll(LOWORD(wp));
            return 0;
        case WM_MOUSEWHEEL:
            ScrollLines(-GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA * 3);
            return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

int CompletionPopupWindow::ShownCount() const {
    return static_cast<int>(model_.ShownItems().size());
}

int CompletionPopupWindow::IndexAt(int y) const {
    if (y < 0) return -1;
    int i = top_ + y / line_height_;
    return i < ShownCount() ? i : -1;
}

RECT CompletionPopupWindow::LineRect(int shown_index) const {
    RECT rc{};
    ::GetClientRect(hwnd_.get(), &rc);
    rc.top = (shown_index - top_) * line_height_;
    rc.bottom = rc.top + line_height_;
    return rc;
}

void CompletionPopupWindow::ShowAt(POINT caret, int line_top, int line_bottom) {
    if (!hwnd_) return;
    RECT frame{0, 0, model_.width, model_.visible_lines * line_height_};
    ::AdjustWindowRectEx(&frame, WS_POPUP | WS_BORDER, FALSE, WS_EX_TOOLWINDOW);
    int w = model_.width;  // the owner's width is the outer width
    int h = frame.bottom - frame.top;
    int x = caret.x, y = line_bottom;

    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(::MonitorFromPoint(caret, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT& work = mi.rcWork;
    if (x + w > work.right) x -= w;
    if (y + h > work.bottom) y = line_top - h;
    x = std::clamp<int>(x, work.left, std::max<int>(work.left, work.right - w));
    y = std::clamp<int>(y, work.top, std::max<int>(work.top, work.bottom - h));

    top_ = 0;
    EnsureSelectionVisible();
    ::SetWindowPos(hwnd_.get(), HWND_TOPMOST, x, y, w, h, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateScrollBar();
    ::InvalidateRect(hwnd_.get(), nullptr, FALSE);
}

void CompletionPopupWindow::Hide() {
    if (hwnd_) ::ShowWindow(hwnd_.get(), SW_HIDE);
}

bool CompletionPopupWindow::Visible() const {
    return hwnd_ && ::IsWindowVisible(hwnd_.get());
}

void CompletionPopupWindow::EnsureSelectionVisible() {
    int sel = model_.SelectedIndex();
    int visible = std::max(1, model_.visible_lines);
    if (sel >= 0) {
        if (sel < top_) top_ = sel;
        if (sel >= top_ + visible) top_ = sel - visible + 1;
    }
    top_ = std::clamp(top_, 0, std::max(0, ShownCount() - visible));
}

void CompletionPopupWindow::Refresh() {
    if (!Visible()) return;
    EnsureSelectionVisible();
    UpdateScrollBar();
    ::InvalidateRect(hwnd_.get(), nullptr, FALSE);
}

void CompletionPopupWindow::ScrollLines(int delta) {
    if (!hwnd_) return;
    int visible = std::max(1, model_.visible_lines);
    top_ = std::clamp(top_ + delta, 0, std::max(0, ShownCount() - visible));
    UpdateScrollBar();
    ::InvalidateRect(hwnd_.get(), nullptr, FALSE);
}

void CompletionPopupWindow::UpdateScrollBar() {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, ShownCount() - 1);
    si.nPage = static_cast<UINT>(std::max(1, model_.visible_lines));
    si.nPos = top_;
    ::SetScrollInfo(hwnd_.get(), SB_VERT, &si, TRUE);
}

void CompletionPopupWindow::OnVScroll(int code) {
    int page = std::max(1, model_.visible_lines);
    switch (code) {
        case SB_LINEUP:
            ScrollLines(-1);
            break;
        case SB_LINEDOWN:
            ScrollLines(1);
            break;
        case SB_PAGEUP:
            ScrollLines(-page);
            break;
        case SB_PAGEDOWN:
            ScrollLines(page);
            break;
        case SB_TOP:
            ScrollLines(-top_);
            break;
        case SB_BOTTOM:
            ScrollLines(ShownCount());
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            ScrollLines(ScrollTrackPos(hwnd_.get(), SB_VERT) - top_);
            break;
    }
}

void CompletionPopupWindow::Paint(HDC target) {
    RECT rc;
    ::GetClientRect(hwnd_.get(), &rc);
    if (rc.right <= 0 || rc.bottom <= 0) return;
    UniqueMemoryDc dc(::CreateCompatibleDC(target));
    UniqueBitmap bitmap(::CreateCompatibleBitmap(target, rc.right, rc.bottom));
    SelectedObject keep(dc.get(), bitmap.get());

    ::FillRect(dc.get(), &rc, ::GetSysColorBrush(COLOR_WINDOW));
    ::SetBkMode(dc.get(), TRANSPARENT);
    PrettyTextFonts fonts{font_.get(), bold_font_.get(), first_column_width_};
    const auto& shown = model_.ShownItems();
    const auto& items = model_.ItemList();
    TEXTMETRICW tm{};
    {
        SelectedObject f(dc.get(), font_.get());
        ::GetTextMetricsW(dc.get(), &tm);
    }
    for (int i = top_; i < ShownCount(); ++i) {
        RECT line = LineRect(i);
        if (line.top >= rc.bottom) break;
        bool selected = i == model_.SelectedIndex();
        if (selected) ::FillRect(dc.get(), &line, ::GetSysColorBrush(COLOR_HIGHLIGHT));
        ::SetTextColor(dc.get(), ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        int item = shown[i];
        if (item < 0 || item >= static_cast<int>(items.size())) continue;
        int y = line.top + (line_height_ - tm.tmHeight) / 2;
        DrawPrettyText(dc.get(), line.left + kTextIndent, y, line, items[item], fonts);
    }
    ::BitBlt(target, 0, 0, rc.right, rc.bottom, dc.get(), 0, 0, SRCCOPY);
}

}  // namespace zeph::win
