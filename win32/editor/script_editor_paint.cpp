// The editor control's painting: lines with their tokens and selection, the gutter with
// line numbers, bookmarks and the error mark, the margin line, bracket frames and the caret,
// drawn through a back buffer.
#include <algorithm>
#include <climits>
#include <string_view>

#include "editor/colour.h"
#include "editor/line_view.h"
#include "editor/script_editor_window.h"
#include "text/cp1251.h"

namespace zeph::win {

namespace {

constexpr COLORREF kMarginColour = RGB(192, 192, 192);
constexpr COLORREF kErrorLineColour = RGB(255, 220, 220);
constexpr COLORREF kErrorMarkColour = RGB(220, 0, 0);

}  // namespace

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
    const int text_left = TextLeft();
    RECT area = TextArea();
    RECT line_rect{std::max(area.left, update.left), y, std::min(area.right, update.right),
                   y + line_height_};
    if (line_rect.left >= line_rect.right) return;
    COLORREF editor_fg = ResolveColour(text_colour_, ::GetSysColor(COLOR_WINDOWTEXT));
    COLORREF editor_bg = ResolveColour(background_, ::GetSysColor(COLOR_WINDOW));
    int sel_from = 0, sel_to = 0;
    bool selected = model_.SelectionOnLine(line, sel_from, sel_to) && sel_from < sel_to;
    if (!selected) sel_from = sel_to = INT_MIN;
    // Display columns worth drawing, one extra on each side for overhanging glyphs.
    runs_.clear();
    model_.LineTokens(line, runs_);
    const int tab = std::max(1, Options().tab_width);
    const std::vector<editor::PaintSegment> segments = editor::LineSegments(
        s, runs_, tab, sel_from, sel_to,
        left_column_ + std::max(0, (static_cast<int>(line_rect.left) - text_left) / cw) - 1,
        left_column_ + (static_cast<int>(line_rect.right) - text_left) / cw + 1);

    auto x_of = [&](int col) { return text_left + (col - left_column_) * cw; };
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    const int baseline = y + text_font_.ascent();

    // First the backgrounds of all segments, then their text, so that an italic or bold
    // glyph reaching into the next cell is not cut off by that cell's background.
    std::wstring cells;
    std::vector<INT> dx;
    for (int pass = 0; pass < 2; ++pass) {
        for (const editor::PaintSegment& seg : segments) {
            const int x = x_of(seg.column);
            if (pass == 0) {
                const COLORREF bg =
                    seg.cls ? ResolveColour(seg.cls->background, editor_bg) : editor_bg;
                const COLORREF fill = seg.selected ? ::GetSysColor(COLOR_HIGHLIGHT) : bg;
                if (fill == editor_bg) continue;
                RECT r{x, y, x + static_cast<int>(seg.cells.size()) * cw, y + line_height_};
                ::IntersectRect(&r, &r, &line_rect);
                UniqueBrush brush(::CreateSolidBrush(fill));
                ::FillRect(dc, &r, brush.get());
                continue;
            }
            const COLORREF fg = seg.cls ? ResolveColour(seg.cls->foreground, editor_fg) : editor_fg;
            ::SetTextColor(dc, seg.selected ? ::GetSysColor(COLOR_HIGHLIGHTTEXT) : fg);
            SelectedObject font(dc, text_font_.Get(seg.cls ? seg.cls->style : 0));
            cells.clear();
            for (char c : seg.cells) cells.push_back(static_cast<wchar_t>(text::ToUtf16(c)));
            dx.assign(cells.size(), cw);
            ::ExtTextOutW(dc, x, baseline, ETO_CLIPPED, &line_rect, cells.data(),
                          static_cast<UINT>(cells.size()), dx.data());
        }
        const int col = editor::DisplayWidth(s, tab);
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

}  // namespace zeph::win
