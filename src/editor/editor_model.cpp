#include "editor/editor_model.h"

#include "editor/line_view.h"

#include <algorithm>
#include <tuple>

#include "text/cp1251.h"

namespace zeph::editor {

namespace {

bool IsIdent(char c) {
    return text::IsIdentChar(c);
}

}  // namespace

EditorOptions EditorOptions::ScriptEditor() {
    EditorOptions o;
    o.want_tabs = true;
    o.extra_line_spacing = 1;
    o.max_line_length = 9999;
    o.show_scroll_hint = true;
    return o;
}

EditorOptions EditorOptions::PreviewMemo() {
    EditorOptions o;
    o.want_tabs = false;
    o.show_scroll_hint = false;
    return o;
}

void EditorChanges::AddLines(int first, int last) {
    first_line = std::min(first_line, first);
    last_line = std::max(last_line, last);
}

EditorModel::EditorModel(EditorOptions options) : options_(options) {}

// --- options and view -----------------------------------------------------------------

void EditorModel::SetOptions(const EditorOptions& options) {
    options_ = options;
    if (options_.tab_width < 1) options_.tab_width = 1;
    caret_ = ClampPos(caret_);
    anchor_ = ClampPos(anchor_);
    changes_.all = true;
    changes_.mode_changed = true;
}

void EditorModel::SetInsertMode(bool on) {
    if (options_.insert_mode == on) return;
    options_.insert_mode = on;
    changes_.mode_changed = true;
}

void EditorModel::SetVisibleLines(int n) {
    visible_lines_ = std::max(1, n);
}

void EditorModel::SetTopLine(int line) {
    int max_top = options_.scroll_past_eof ? std::max(0, LineCount() - 1)
                                           : std::max(0, LineCount() - visible_lines_);
    line = std::clamp(line, 0, max_top);
    if (line == top_line_) return;
    top_line_ = line;
    changes_.top_line_changed = true;
}

// --- highlighter ----------------------------------------------------------------------

void EditorModel::SetHighlighter(const Highlighter* h) {
    doc_.SetHighlighter(h);
    changes_.all = true;
}

// --- text -----------------------------------------------------------------------------

void EditorModel::SetText(std::string_view text) {
    doc_.SetText(text);
    caret_ = anchor_ = {};
    untrimmed_line_ = -1;
    top_line_ = 0;
    desired_display_ = -1;
    bookmark_set_.fill(false);
    changes_.all = true;
    changes_.line_count_changed = true;
    changes_.text_changed = true;
    changes_.caret_moved = true;
    changes_.top_line_changed = true;
}

void EditorModel::ReplaceLine(int index, std::string_view text) {
    if (index < 0 || index >= LineCount() || !Editable()) return;
    BeginStep(EditKind::kOther);
    ReplaceRange({index, 0}, {index, LineLength(index)}, text);
    caret_ = ClampPos(caret_);
    anchor_ = ClampPos(anchor_);
    EndStep();
}

void EditorModel::ReplaceLines(std::span<const LineEdit> edits, int caret_column) {
    if (edits.empty() || !Editable()) return;
    BeginStep(EditKind::kOther);
    MarkSelectionLines();
    anchor_ = caret_;
    // From the last line up, so that the indexes of the lines still to edit hold.
    int caret_line = caret_.line;
    for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
        const int line = it->line;
        if (line < 0 || line >= LineCount()) continue;
        const TextPos end = ReplaceRange({line, 0}, {line, LineLength(line)}, it->text);
        if (line < caret_.line) caret_line += end.line - line;
    }
    MoveCaret({caret_line, caret_column}, false);
    EndStep();
}

void EditorModel::InsertLine(int index, std::string_view text) {
    if (index < 0 || index > LineCount() || !Editable()) return;
    BeginStep(EditKind::kOther);
    if (LineCount() == 0) {
        ReplaceRange({0, 0}, {0, 0}, text);
    } else if (index < LineCount()) {
        std::string t(text);
        t += "\r\n";
        ReplaceRange({index, 0}, {index, 0}, t);
        if (caret_.line >= index) ++caret_.line, ++anchor_.line;
    } else {
        TextPos end = EndOfText();
        std::string t = "\r\n";
        t += text;
        ReplaceRange(end, end, t);
    }
    caret_ = ClampPos(caret_);
    anchor_ = ClampPos(anchor_);
    EndStep();
}

void EditorModel::DeleteLine(int index) {
    if (index < 0 || index >= LineCount() || !Editable()) return;
    BeginStep(EditKind::kOther);
    if (index + 1 < LineCount())
        ReplaceRange({index, 0}, {index + 1, 0}, "");
    else if (index > 0)
        ReplaceRange({index - 1, LineLength(index - 1)}, {index, LineLength(index)}, "");
    else
        ReplaceRange({0, 0}, {0, LineLength(0)}, "");
    if (caret_.line > index) --caret_.line;
    if (anchor_.line > index) --anchor_.line;
    caret_ = ClampPos(caret_);
    anchor_ = ClampPos(anchor_);
    EndStep();
}

TextPos EditorModel::ClampPos(TextPos p) const {
    p.line = std::clamp(p.line, 0, std::max(0, LineCount() - 1));
    int max_col = options_.scroll_past_eol ? std::max(options_.max_line_length, LineLength(p.line))
                                           : LineLength(p.line);
    p.column = std::clamp(p.column, 0, max_col);
    return p;
}

void EditorModel::EnsureLine(int line) {
    if (doc_.EnsureLine(line)) changes_.line_count_changed = true;
}

TextPos EditorModel::ReplaceRange(TextPos from, TextPos to, std::string_view text) {
    std::string padded;
    if (LineCount() == 0) EnsureLine(0);
    if (!doc_.PrepareEdit(from, to, text, padded)) return from;
    bool own_step = !doc_.InStep();
    if (own_step) BeginStep(EditKind::kOther);
    TextChange change = doc_.ApplyEdit(from, to, text);
    TextChanged(change);
    if (own_step) EndStep();
    return change.end;
}

void EditorModel::TextChanged(const TextChange& c) {
    const TextPos from = c.from;
    const int to_line = c.old_last_line;
    const int delta = c.line_delta;
    if (c.lines_appended) changes_.line_count_changed = true;
    if (c.state_first <= c.state_last) changes_.AddLines(c.state_first, c.state_last);
    if (untrimmed_line_ > to_line)
        untrimmed_line_ += delta;
    else if (untrimmed_line_ > from.line)
        untrimmed_line_ = from.line;
    for (int n = 0; n < 10; ++n) {
        if (!bookmark_set_[n]) continue;
        TextPos& b = bookmarks_[n];
        if (b.line > to_line)
            b.line += delta;
        else if (b.line == from.line && from.column == 0 && delta > 0 && c.ends_with_break)
            b.line += delta;  // lines inserted above the bookmarked one
        else if (b.line > from.line)
            b.line = from.line;
    }
    changes_.text_changed = true;
    if (delta != 0) {
        changes_.line_count_changed = true;
        const int old_count = to_line - from.line + 1;
        changes_.AddLines(from.line, std::max(LineCount(), from.line + old_count));
    } else {
        changes_.AddLines(from.line, c.end.line);
    }
}

// --- undo -----------------------------------------------------------------------------

void EditorModel::BeginStep(EditKind kind) {
    doc_.BeginStep(kind, CaretNow(), options_.group_undo);
}

void EditorModel::EndStep() {
    if (doc_.OutermostStep() && options_.trim_trailing_spaces && doc_.TouchedLast() >= 0) {
        // Still inside the step, so the trimming undoes with it.
        int last = std::min(doc_.TouchedLast(), LineCount() - 1);
        for (int l = doc_.TouchedFirst(); l <= last; ++l) {
            // The caret's own line may hold the indent the user is typing into: it is
            // trimmed when the caret leaves it.
            if (l == caret_.line)
                untrimmed_line_ = l;
            else
                TrimLine(l);
        }
    }
    doc_.EndStep(CaretNow());
}

void EditorModel::TrimLeftLine() {
    const int line = untrimmed_line_;
    untrimmed_line_ = -1;
    if (line >= LineCount() || !Editable()) return;
    if (doc_.InStep() || !doc_.CanUndo()) {
        TrimLine(line);
        return;
    }
    // The blanks belong to the edit that left them: undoing it takes them back too.
    doc_.AppendToLastStep([&] { TrimLine(line); });
}

void EditorModel::TrimLine(int line) {
    const std::string& s = Line(line);
    int end = static_cast<int>(s.size());
    while (end > 0 && IsBlank(s[end - 1])) --end;
    if (end < static_cast<int>(s.size()))
        ReplaceRange({line, end}, {line, static_cast<int>(s.size())}, "");
}

void EditorModel::RestoreCaret(const CaretState& state, bool with_mode) {
    MarkSelectionLines();
    caret_ = state.caret;
    anchor_ = state.anchor;
    if (with_mode) sel_mode_ = state.mode;
    MarkCaret();
    MarkSelectionLines();
}

void EditorModel::Undo() {
    if (!doc_.CanUndo() || !Editable()) return;
    untrimmed_line_ = -1;
    auto before = doc_.Undo([this](const TextChange& c) { TextChanged(c); });
    RestoreCaret(*before, true);
}

void EditorModel::Redo() {
    if (!doc_.CanRedo() || !Editable()) return;
    untrimmed_line_ = -1;
    auto after = doc_.Redo([this](const TextChange& c) { TextChanged(c); });
    RestoreCaret(*after, false);
}

// --- caret and selection --------------------------------------------------------------

void EditorModel::MarkCaret() {
    changes_.caret_moved = true;
    changes_.scroll_to_caret = true;
    if (caret_.line < top_line_) {
        top_line_ = caret_.line;
        changes_.top_line_changed = true;
    } else if (caret_.line >= top_line_ + visible_lines_) {
        top_line_ = caret_.line - visible_lines_ + 1;
        changes_.top_line_changed = true;
    }
}

void EditorModel::MarkSelectionLines() {
    if (caret_ == anchor_) return;
    const auto [first, last] = SelectedLines();
    changes_.AddLines(first, last);
}

void EditorModel::MoveCaret(TextPos p, bool select) {
    p = ClampPos(p);
    MarkSelectionLines();
    caret_ = p;
    if (!select) anchor_ = p;
    MarkSelectionLines();
    desired_display_ = -1;
    MarkCaret();
    if (untrimmed_line_ >= 0 && untrimmed_line_ != caret_.line) TrimLeftLine();
}

void EditorModel::SetCaret(TextPos p, bool extend_selection) {
    doc_.CloseRun();
    MoveCaret(p, extend_selection);
}

void EditorModel::SetCaretXY(int x, int y) {
    SetCaret({y - 1, x - 1});
}

void EditorModel::SetSelectionMode(SelectionMode m) {
    if (m == sel_mode_) return;
    MarkSelectionLines();
    sel_mode_ = m;
    MarkSelectionLines();
    changes_.mode_changed = true;
}

bool EditorModel::HasSelection() const {
    return caret_ != anchor_;
}

TextPos EditorModel::SelectionStart() const {
    switch (sel_mode_) {
        case SelectionMode::kColumn:
            return {std::min(caret_.line, anchor_.line), std::min(caret_.column, anchor_.column)};
        case SelectionMode::kLine:
            if (!HasSelection()) return caret_;
            return {std::min(caret_.line, anchor_.line), 0};
        default:
            return std::min(caret_, anchor_);
    }
}

TextPos EditorModel::SelectionEnd() const {
    switch (sel_mode_) {
        case SelectionMode::kColumn:
            return {std::max(caret_.line, anchor_.line), std::max(caret_.column, anchor_.column)};
        case SelectionMode::kLine: {
            if (!HasSelection()) return caret_;
            int l = std::max(caret_.line, anchor_.line);
            return {l, LineLength(l)};
        }
        default:
            return std::max(caret_, anchor_);
    }
}

void EditorModel::SetSelection(TextPos anchor, TextPos caret) {
    doc_.CloseRun();
    MarkSelectionLines();
    anchor_ = ClampPos(anchor);
    caret_ = ClampPos(caret);
    desired_display_ = -1;
    MarkSelectionLines();
    MarkCaret();
}

void EditorModel::ClearSelection() {
    MarkSelectionLines();
    anchor_ = caret_;
}

std::pair<int, int> EditorModel::SelectedLines() const {
    return std::minmax(caret_.line, anchor_.line);
}

std::pair<int, int> EditorModel::SelectedColumns() const {
    return std::minmax(DisplayColumn(caret_.line, caret_.column),
                       DisplayColumn(anchor_.line, anchor_.column));
}

std::string EditorModel::SelectedText() const {
    if (!HasSelection()) return {};
    switch (sel_mode_) {
        case SelectionMode::kColumn: {
            const auto [x1, x2] = SelectedColumns();
            std::string out;
            const auto [l1, l2] = SelectedLines();
            for (int l = l1; l <= l2; ++l) {
                int a = std::min(ColumnAtDisplay(l, x1), LineLength(l));
                int b = std::min(ColumnAtDisplay(l, x2), LineLength(l));
                if (b > a) out.append(Line(l), a, b - a);
                if (l != l2) out += "\r\n";
            }
            return out;
        }
        case SelectionMode::kLine: {
            std::string out;
            const auto [l1, l2] = SelectedLines();
            for (int l = l1; l <= l2 && l < LineCount(); ++l) {
                out += Line(l);
                out += "\r\n";
            }
            return out;
        }
        default:
            return doc_.TextRange(SelectionStart(), SelectionEnd());
    }
}

bool EditorModel::SelectionOnLine(int line, int& from, int& to) const {
    if (!HasSelection()) return false;
    const auto [l1, l2] = SelectedLines();
    if (line < l1 || line > l2) return false;
    switch (sel_mode_) {
        case SelectionMode::kColumn:
            std::tie(from, to) = SelectedColumns();
            return from < to;
        case SelectionMode::kLine:
            from = 0;
            to = INT_MAX;
            return true;
        default: {
            TextPos s = SelectionStart(), e = SelectionEnd();
            from = line == s.line ? DisplayColumn(line, s.column) : 0;
            to = line == e.line ? DisplayColumn(line, e.column) : INT_MAX;
            return from < to;
        }
    }
}

void EditorModel::DeleteSelection() {
    if (!HasSelection()) return;
    switch (sel_mode_) {
        case SelectionMode::kColumn: {
            const auto [x1, x2] = SelectedColumns();
            const auto [l1, l2] = SelectedLines();
            for (int l = l1; l <= l2; ++l) {
                int a = ColumnAtDisplay(l, x1), b = std::min(ColumnAtDisplay(l, x2), LineLength(l));
                if (a < b) ReplaceRange({l, a}, {l, b}, "");
            }
            MoveCaret({l1, ColumnAtDisplay(l1, x1)}, false);
            break;
        }
        case SelectionMode::kLine: {
            const auto [l1, l2] = SelectedLines();
            if (l2 + 1 < LineCount())
                ReplaceRange({l1, 0}, {l2 + 1, 0}, "");
            else if (l1 > 0)
                ReplaceRange({l1 - 1, LineLength(l1 - 1)}, {l2, LineLength(l2)}, "");
            else
                ReplaceRange({0, 0}, {l2, LineLength(l2)}, "");
            MoveCaret({std::min(l1, LineCount() - 1), 0}, false);
            break;
        }
        default: {
            TextPos s = SelectionStart(), e = SelectionEnd();
            ReplaceRange(s, e, "");
            MoveCaret(s, false);
        }
    }
}

void EditorModel::ReplaceSelection(std::string_view text) {
    if (!Editable()) return;
    BeginStep(EditKind::kOther);
    DeleteSelection();
    TextPos end = ReplaceRange(caret_, caret_, text);
    MoveCaret(end, false);
    EndStep();
}

// --- word queries ---------------------------------------------------------------------

void EditorModel::WordBoundsAt(TextPos p, int& begin, int& end) const {
    const std::string& s = Line(p.line);
    const int len = static_cast<int>(s.size());
    begin = end = p.column;
    if (p.column < 0 || p.column > len) return;
    while (begin > 0 && IsIdent(s[begin - 1])) --begin;
    while (end < len && IsIdent(s[end])) ++end;
}

std::string EditorModel::WordAtColumn(int x) const {
    int b, e;
    WordBoundsAt({caret_.line, x - 1}, b, e);
    return b < e ? Line(caret_.line).substr(b, e - b) : std::string();
}

std::string EditorModel::WordAtCaret() const {
    int b, e;
    WordBoundsAt(caret_, b, e);
    return b < e ? Line(caret_.line).substr(b, e - b) : std::string();
}

TextPos EditorModel::WordLeftOf(TextPos p) const {
    const std::string& s = Line(p.line);
    int c = std::min<int>(p.column, s.size());
    if (c == 0 && p.column == 0) {
        if (p.line == 0) return p;
        return {p.line - 1, LineLength(p.line - 1)};
    }
    while (c > 0 && !IsIdent(s[c - 1])) --c;
    while (c > 0 && IsIdent(s[c - 1])) --c;
    return {p.line, c};
}

TextPos EditorModel::WordRightOf(TextPos p) const {
    const std::string& s = Line(p.line);
    const int len = static_cast<int>(s.size());
    if (p.column >= len) {
        if (p.line + 1 >= LineCount()) return {p.line, std::max(p.column, len)};
        return {p.line + 1, 0};
    }
    int c = p.column;
    while (c < len && IsIdent(s[c])) ++c;
    while (c < len && !IsIdent(s[c])) ++c;
    return {p.line, c};
}

// --- layout ---------------------------------------------------------------------------

int EditorModel::DisplayColumn(int line, int column) const {
    const std::string& s = Line(line);
    const int tab = std::max(1, options_.tab_width);
    const int n = std::min<int>(column, s.size());
    int d = 0;
    for (int i = 0; i < n; ++i) d = NextDisplayColumn(s[i], d, tab);
    if (column > n) d += column - n;
    return d;
}

int EditorModel::ColumnAtDisplay(int line, int display) const {
    const std::string& s = Line(line);
    const int tab = std::max(1, options_.tab_width);
    int d = 0;
    for (int i = 0; i < static_cast<int>(s.size()); ++i) {
        if (display <= d) return i;
        int next = NextDisplayColumn(s[i], d, tab);
        if (display < next) return (display - d < next - display) ? i : i + 1;
        d = next;
    }
    return static_cast<int>(s.size()) + std::max(0, display - d);
}

TextPos EditorModel::PositionAtPixel(int x, int y, const PixelGrid& grid) const {
    int lh = std::max(1, grid.line_height), cw = std::max(1, grid.char_width);
    int line = top_line_ + (y < 0 ? 0 : y / lh);
    line = std::clamp(line, 0, std::max(0, LineCount() - 1));
    int display = grid.left_column + (x < 0 ? 0 : (x + cw / 2) / cw);
    return ClampPos({line, ColumnAtDisplay(line, display)});
}

void EditorModel::PixelOf(TextPos p, const PixelGrid& grid, int& x, int& y) const {
    x = (DisplayColumn(p.line, p.column) - grid.left_column) * grid.char_width;
    y = (p.line - top_line_) * grid.line_height;
}

void EditorModel::SelectWordAt(TextPos p) {
    p = ClampPos(p);
    int b, e;
    WordBoundsAt(p, b, e);
    SetSelection({p.line, b}, {p.line, e});
}

bool EditorModel::DropSelection(TextPos target, bool copy) {
    if (!options_.drag_drop_editing || !Editable() || !HasSelection() ||
        sel_mode_ != SelectionMode::kNormal)
        return false;
    TextPos s = SelectionStart(), e = SelectionEnd();
    target = ClampPos(target);
    if (target.line < LineCount()) target.column = std::min(target.column, LineLength(target.line));
    if (s <= target && target <= e) return false;
    std::string text = SelectedText();
    BeginStep(EditKind::kOther);
    if (!copy) {
        ReplaceRange(s, e, "");
        if (e <= target) {
            if (target.line == e.line)
                target = {s.line, s.column + (target.column - e.column)};
            else
                target.line -= e.line - s.line;
        }
    }
    TextPos end = ReplaceRange(target, target, text);
    SetSelection(target, end);
    EndStep();
    return true;
}

// --- bookmarks and brackets -----------------------------------------------------------

int EditorModel::BookmarkLine(int n) const {
    if (n < 0 || n > 9 || !bookmark_set_[n]) return -1;
    return bookmarks_[n].line;
}

void EditorModel::SetBookmark(int n, TextPos p) {
    if (n < 0 || n > 9) return;
    if (bookmark_set_[n]) changes_.AddLines(bookmarks_[n].line, bookmarks_[n].line);
    bookmarks_[n] = ClampPos(p);
    bookmark_set_[n] = true;
    changes_.AddLines(bookmarks_[n].line, bookmarks_[n].line);
}

void EditorModel::ClearBookmark(int n) {
    if (n < 0 || n > 9 || !bookmark_set_[n]) return;
    bookmark_set_[n] = false;
    changes_.AddLines(bookmarks_[n].line, bookmarks_[n].line);
}

bool EditorModel::FindMatchingBracket(TextPos from, TextPos& match) const {
    static constexpr std::string_view kOpen = "([{<", kClose = ")]}>";
    const std::string& s = Line(from.line);
    int col = from.column;
    auto is_bracket = [](char c) {
        return kOpen.find(c) != std::string_view::npos || kClose.find(c) != std::string_view::npos;
    };
    if (col >= static_cast<int>(s.size()) || !is_bracket(s[col])) {
        if (col < 1 || col > static_cast<int>(s.size()) || !is_bracket(s[col - 1])) return false;
        --col;
    }
    char c = s[col];
    std::size_t k = kOpen.find(c);
    bool forward = k != std::string_view::npos;
    char mate = forward ? kClose[k] : kOpen[kClose.find(c)];
    int depth = 0;
    int line = from.line;
    int i = col;
    while (true) {
        const std::string& t = Line(line);
        if (forward) {
            for (; i < static_cast<int>(t.size()); ++i) {
                if (t[i] == c)
                    ++depth;
                else if (t[i] == mate && --depth == 0) {
                    match = {line, i};
                    return true;
                }
            }
            if (++line >= LineCount()) return false;
            i = 0;
        } else {
            for (; i >= 0; --i) {
                if (t[i] == c)
                    ++depth;
                else if (t[i] == mate && --depth == 0) {
                    match = {line, i};
                    return true;
                }
            }
            if (--line < 0) return false;
            i = LineLength(line) - 1;
        }
    }
}

EditorChanges EditorModel::TakeChanges() {
    EditorChanges out = changes_;
    changes_ = {};
    return out;
}

}  // namespace zeph::editor
