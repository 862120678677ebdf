// The editor control's scrolling: the scroll bars' ranges and messages, the wheel, keeping
// the caret in view, and the hint that shows the lines while the thumb is dragged.
#include <algorithm>

#include "base/wide.h"
#include "editor/completion_popup.h"
#include "editor/script_editor_window.h"
#include "editor/scroll_hint.h"
#include "text/cp1251.h"

namespace zeph::win {

using text::operator""_cp;

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
    // A scroll bar that comes or goes (a paste made the longest line longer) changes the
    // room, so the bars follow the text first, and the caret is placed again if they changed.
    for (int pass = 0; pass < 3; ++pass) {
        UpdateScrollBars();
        const int visible = VisibleLineCount();
        const int cols = VisibleColumns();
        editor::TextPos caret = model_.Caret();
        int top = model_.TopLine();
        if (caret.line < top) top = caret.line;
        if (caret.line >= top + visible) top = caret.line - visible + 1;
        int col = model_.DisplayColumn(caret.line, caret.column);
        int left = left_column_;
        if (col < left) left = col;
        if (col >= left + cols) left = col - cols + 1;
        ScrollTo(top, left);
        if (VisibleLineCount() == visible && VisibleColumns() == cols) break;
    }
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
        case SB_THUMBTRACK:
            ScrollTo(ScrollTrackPos(hwnd_.get(), SB_VERT), left_column_);
            ShowScrollHint(model_.TopLine());
            break;
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
        case SB_THUMBPOSITION:
            left = ScrollTrackPos(hwnd_.get(), SB_HORZ);
            break;
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
