#include "editor/editor_model.h"

#include <algorithm>

#include "text/cp1251.h"

namespace zeph::editor {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsIdent(char c) {
    return text::IsIdentChar(c);
}

// Pieces of a text between line breaks (CR LF, LF or CR).
template <class F>
void ForEachPiece(std::string_view text, F&& f) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\r' && c != '\n') continue;
        f(text.substr(start, i - start));
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    f(text.substr(start));
}

const std::string kEmptyLine;

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
    highlighter_ = h;
    states_.assign(lines_.size(), 0);
    if (h && h->HasLineState()) {
        LineState s = 0;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            states_[i] = s;
            s = h->EndState(lines_[i], s);
            ++scan_count_;
        }
    }
    changes_.all = true;
}

LineState EditorModel::LineStartState(int line) const {
    if (line < 0 || line >= static_cast<int>(states_.size())) return 0;
    return states_[line];
}

void EditorModel::LineTokens(int line, std::vector<TokenRun>& out) const {
    out.clear();
    const std::string& text = Line(line);
    if (!highlighter_) {
        if (!text.empty()) out.push_back({0, static_cast<int>(text.size()), nullptr});
        return;
    }
    highlighter_->ScanLine(text, LineStartState(line), out);
}

// Re-scans from the first edited line as far as the start state of following lines changes.
void EditorModel::UpdateStates(int first, int old_count, int new_count) {
    if (new_count > old_count)
        states_.insert(states_.begin() + first + 1, new_count - old_count, LineState{0});
    else if (new_count < old_count)
        states_.erase(states_.begin() + first + 1,
                      states_.begin() + first + 1 + (old_count - new_count));
    if (!highlighter_ || !highlighter_->HasLineState()) return;
    const int count = LineCount();
    LineState s = states_[first];
    for (int i = first; i + 1 < count; ++i) {
        s = highlighter_->EndState(lines_[i], s);
        ++scan_count_;
        int next = i + 1;
        if (next >= first + new_count && states_[next] == s) return;
        if (states_[next] != s) {
            states_[next] = s;
            changes_.AddLines(next, next);
        }
    }
    if (first + new_count >= count && count > 0) {
        // The last line: nothing follows whose state could change, but it was scanned
        // when it is part of the edit.
    }
}

// --- text -----------------------------------------------------------------------------

std::string EditorModel::Text() const {
    std::size_t size = 0;
    for (const auto& l : lines_) size += l.size() + 2;
    std::string out;
    out.reserve(size);
    for (const auto& l : lines_) {
        out += l;
        out += "\r\n";
    }
    return out;
}

void EditorModel::SetText(std::string_view text) {
    lines_.clear();
    if (!text.empty()) {
        ForEachPiece(text, [this](std::string_view piece) { lines_.emplace_back(piece); });
        // A final line break ends the last line rather than starting an empty one.
        char last = text.back();
        if (last == '\r' || last == '\n') lines_.pop_back();
    }
    caret_ = anchor_ = {};
    untrimmed_line_ = -1;
    top_line_ = 0;
    desired_display_ = -1;
    undo_.clear();
    redo_.clear();
    grouping_open_ = false;
    bookmark_set_.fill(false);
    modified_ = false;
    SetHighlighter(highlighter_);
    changes_.all = true;
    changes_.line_count_changed = true;
    changes_.text_changed = true;
    changes_.caret_moved = true;
    changes_.top_line_changed = true;
}

const std::string& EditorModel::Line(int index) const {
    if (index < 0 || index >= LineCount()) return kEmptyLine;
    return lines_[index];
}

int EditorModel::LineLength(int line) const {
    return static_cast<int>(Line(line).size());
}

void EditorModel::ReplaceLine(int index, std::string_view text) {
    if (index < 0 || index >= LineCount() || !Editable()) return;
    BeginStep(EditKind::kOther);
    ReplaceRange({index, 0}, {index, LineLength(index)}, text);
    caret_ = ClampPos(caret_);
    anchor_ = ClampPos(anchor_);
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

TextPos EditorModel::EndOfText() const {
    if (lines_.empty()) return {0, 0};
    return {LineCount() - 1, LineLength(LineCount() - 1)};
}

TextPos EditorModel::ClampPos(TextPos p) const {
    p.line = std::clamp(p.line, 0, std::max(0, LineCount() - 1));
    int max_col = options_.scroll_past_eol ? std::max(options_.max_line_length, LineLength(p.line))
                                           : LineLength(p.line);
    p.column = std::clamp(p.column, 0, max_col);
    return p;
}

std::string EditorModel::TextRange(TextPos from, TextPos to) const {
    std::string out;
    if (from.line >= LineCount()) return out;
    to.line = std::min(to.line, LineCount() - 1);
    for (int l = from.line; l <= to.line; ++l) {
        const std::string& s = lines_[l];
        int a = l == from.line ? std::min<int>(from.column, s.size()) : 0;
        int b = l == to.line ? std::min<int>(to.column, s.size()) : static_cast<int>(s.size());
        if (b > a) out.append(s, a, b - a);
        if (l != to.line) out += "\r\n";
    }
    return out;
}

TextPos EditorModel::EndOf(TextPos from, std::string_view text) {
    TextPos p = from;
    bool first = true;
    ForEachPiece(text, [&](std::string_view piece) {
        if (first) {
            p.column += static_cast<int>(piece.size());
            first = false;
        } else {
            ++p.line;
            p.column = static_cast<int>(piece.size());
        }
    });
    return p;
}

void EditorModel::EnsureLine(int line) {
    while (LineCount() <= line) {
        lines_.emplace_back();
        states_.push_back(0);
        changes_.line_count_changed = true;
    }
}

TextPos EditorModel::ApplyRaw(TextPos from, TextPos to, std::string_view text,
                              std::string* removed) {
    EnsureLine(to.line);
    if (removed) *removed = TextRange(from, to);
    const int old_count = to.line - from.line + 1;
    std::string tail =
        lines_[to.line].substr(std::min<std::size_t>(to.column, lines_[to.line].size()));
    std::string& head_line = lines_[from.line];
    head_line.resize(std::min<std::size_t>(from.column, head_line.size()));

    std::vector<std::string> pieces;
    ForEachPiece(text, [&](std::string_view piece) { pieces.emplace_back(piece); });
    const int new_count = static_cast<int>(pieces.size());
    TextPos end{
        from.line + new_count - 1,
        static_cast<int>(new_count == 1 ? from.column + pieces[0].size() : pieces.back().size())};
    pieces.front().insert(0, head_line);
    pieces.back() += tail;

    // Replace lines [from.line, to.line] by the pieces, reusing the common prefix.
    const int common = std::min(old_count, new_count);
    for (int i = 0; i < common; ++i) lines_[from.line + i] = std::move(pieces[i]);
    if (new_count > old_count)
        lines_.insert(lines_.begin() + from.line + common,
                      std::make_move_iterator(pieces.begin() + common),
                      std::make_move_iterator(pieces.end()));
    else if (new_count < old_count)
        lines_.erase(lines_.begin() + from.line + common, lines_.begin() + from.line + old_count);

    UpdateStates(from.line, old_count, new_count);

    const int delta = new_count - old_count;
    if (untrimmed_line_ > to.line)
        untrimmed_line_ += delta;
    else if (untrimmed_line_ > from.line)
        untrimmed_line_ = from.line;
    for (int n = 0; n < 10; ++n) {
        if (!bookmark_set_[n]) continue;
        TextPos& b = bookmarks_[n];
        if (b.line > to.line)
            b.line += delta;
        else if (b.line == from.line && from.column == 0 && delta > 0 && text.size() &&
                 (text.back() == '\n' || text.back() == '\r'))
            b.line += delta;  // lines inserted above the bookmarked one
        else if (b.line > from.line)
            b.line = from.line;
    }

    modified_ = true;
    changes_.text_changed = true;
    if (delta != 0) {
        changes_.line_count_changed = true;
        changes_.AddLines(from.line, std::max(LineCount(), from.line + old_count));
    } else {
        changes_.AddLines(from.line, end.line);
    }
    touched_first_ = std::min(touched_first_, from.line);
    touched_last_ = std::max(touched_last_, end.line);
    return end;
}

TextPos EditorModel::ReplaceRange(TextPos from, TextPos to, std::string_view text) {
    if (to < from) std::swap(from, to);
    std::string padded;
    if (LineCount() == 0) EnsureLine(0);
    from.line = std::clamp(from.line, 0, LineCount() - 1);
    to.line = std::clamp(to.line, 0, LineCount() - 1);
    to.column = std::min(to.column, LineLength(to.line));
    if (from.column > LineLength(from.line)) {
        // Text placed beyond the line's end: fill the gap with blanks.
        padded.assign(from.column - LineLength(from.line), ' ');
        padded += text;
        text = padded;
        from.column = LineLength(from.line);
        if (to < from) to = from;
    }
    if (from == to && text.empty()) return from;
    bool own_step = step_depth_ == 0;
    if (own_step) BeginStep(EditKind::kOther);
    Edit e;
    e.from = from;
    e.inserted = std::string(text);
    TextPos end = ApplyRaw(from, to, text, &e.removed);
    if (!in_undo_ && !undo_.empty()) undo_.back().edits.push_back(std::move(e));
    if (own_step) EndStep();
    return end;
}

// --- undo -----------------------------------------------------------------------------

void EditorModel::BeginStep(EditKind kind) {
    if (step_depth_++ > 0) return;
    touched_first_ = INT_MAX;
    touched_last_ = -1;
    redo_.clear();
    bool join = options_.group_undo && kind != EditKind::kOther && grouping_open_ &&
                !undo_.empty() && undo_.back().kind == kind && undo_.back().caret_after == caret_ &&
                !HasSelection();
    if (join) return;
    UndoStep step;
    step.kind = kind;
    step.caret_before = caret_;
    step.anchor_before = anchor_;
    step.mode_before = sel_mode_;
    step.modified_before = modified_;
    undo_.push_back(std::move(step));
}

void EditorModel::EndStep() {
    if (--step_depth_ > 0) return;
    ++step_depth_;  // trimming belongs to the same step
    if (options_.trim_trailing_spaces && touched_last_ >= 0) {
        int last = std::min(touched_last_, LineCount() - 1);
        for (int l = touched_first_; l <= last; ++l) {
            // The caret's own line may hold the indent the user is typing into: it is
            // trimmed when the caret leaves it.
            if (l == caret_.line)
                untrimmed_line_ = l;
            else
                TrimLine(l);
        }
    }
    --step_depth_;
    UndoStep& step = undo_.back();
    step.caret_after = caret_;
    step.anchor_after = anchor_;
    if (step.edits.empty()) {
        undo_.pop_back();
        grouping_open_ = false;
        return;
    }
    grouping_open_ = step.kind != EditKind::kOther;
}

void EditorModel::TrimLeftLine() {
    const int line = untrimmed_line_;
    untrimmed_line_ = -1;
    if (line >= LineCount() || in_undo_ || !Editable()) return;
    if (step_depth_ > 0 || undo_.empty()) {
        TrimLine(line);
        return;
    }
    // The blanks belong to the edit that left them: undoing it takes them back too.
    ++step_depth_;
    TrimLine(line);
    --step_depth_;
}

void EditorModel::TrimLine(int line) {
    const std::string& s = lines_[line];
    int end = static_cast<int>(s.size());
    while (end > 0 && IsBlank(s[end - 1])) --end;
    if (end < static_cast<int>(s.size()))
        ReplaceRange({line, end}, {line, static_cast<int>(s.size())}, "");
}

void EditorModel::Undo() {
    if (undo_.empty() || !Editable()) return;
    UndoStep step = std::move(undo_.back());
    undo_.pop_back();
    in_undo_ = true;
    untrimmed_line_ = -1;
    for (auto it = step.edits.rbegin(); it != step.edits.rend(); ++it)
        ApplyRaw(it->from, EndOf(it->from, it->inserted), it->removed, nullptr);
    in_undo_ = false;
    MarkSelectionLines();
    caret_ = step.caret_before;
    anchor_ = step.anchor_before;
    sel_mode_ = step.mode_before;
    modified_ = step.modified_before;
    MarkCaret();
    MarkSelectionLines();
    grouping_open_ = false;
    redo_.push_back(std::move(step));
}

void EditorModel::Redo() {
    if (redo_.empty() || !Editable()) return;
    UndoStep step = std::move(redo_.back());
    redo_.pop_back();
    in_undo_ = true;
    untrimmed_line_ = -1;
    for (const auto& e : step.edits)
        ApplyRaw(e.from, EndOf(e.from, e.removed), e.inserted, nullptr);
    in_undo_ = false;
    MarkSelectionLines();
    caret_ = step.caret_after;
    anchor_ = step.anchor_after;
    MarkCaret();
    MarkSelectionLines();
    grouping_open_ = false;
    undo_.push_back(std::move(step));
}

void EditorModel::ClearUndo() {
    undo_.clear();
    redo_.clear();
    grouping_open_ = false;
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
    if (caret_ != anchor_)
        changes_.AddLines(std::min(caret_.line, anchor_.line), std::max(caret_.line, anchor_.line));
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
    grouping_open_ = false;
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
    grouping_open_ = false;
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

std::string EditorModel::SelectedText() const {
    if (!HasSelection()) return {};
    switch (sel_mode_) {
        case SelectionMode::kColumn: {
            int x1 = std::min(DisplayColumn(caret_.line, caret_.column),
                              DisplayColumn(anchor_.line, anchor_.column));
            int x2 = std::max(DisplayColumn(caret_.line, caret_.column),
                              DisplayColumn(anchor_.line, anchor_.column));
            std::string out;
            int l1 = std::min(caret_.line, anchor_.line), l2 = std::max(caret_.line, anchor_.line);
            for (int l = l1; l <= l2; ++l) {
                int a = std::min(ColumnAtDisplay(l, x1), LineLength(l));
                int b = std::min(ColumnAtDisplay(l, x2), LineLength(l));
                if (b > a) out.append(lines_[l], a, b - a);
                if (l != l2) out += "\r\n";
            }
            return out;
        }
        case SelectionMode::kLine: {
            std::string out;
            int l1 = std::min(caret_.line, anchor_.line), l2 = std::max(caret_.line, anchor_.line);
            for (int l = l1; l <= l2 && l < LineCount(); ++l) {
                out += lines_[l];
                out += "\r\n";
            }
            return out;
        }
        default:
            return TextRange(SelectionStart(), SelectionEnd());
    }
}

bool EditorModel::SelectionOnLine(int line, int& from, int& to) const {
    if (!HasSelection()) return false;
    int l1 = std::min(caret_.line, anchor_.line), l2 = std::max(caret_.line, anchor_.line);
    if (line < l1 || line > l2) return false;
    switch (sel_mode_) {
        case SelectionMode::kColumn:
            from = std::min(DisplayColumn(caret_.line, caret_.column),
                            DisplayColumn(anchor_.line, anchor_.column));
            to = std::max(DisplayColumn(caret_.line, caret_.column),
                          DisplayColumn(anchor_.line, anchor_.column));
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
            int x1 = std::min(DisplayColumn(caret_.line, caret_.column),
                              DisplayColumn(anchor_.line, anchor_.column));
            int x2 = std::max(DisplayColumn(caret_.line, caret_.column),
                              DisplayColumn(anchor_.line, anchor_.column));
            int l1 = std::min(caret_.line, anchor_.line), l2 = std::max(caret_.line, anchor_.line);
            for (int l = l1; l <= l2; ++l) {
                int a = ColumnAtDisplay(l, x1), b = std::min(ColumnAtDisplay(l, x2), LineLength(l));
                if (a < b) ReplaceRange({l, a}, {l, b}, "");
            }
            MoveCaret({l1, ColumnAtDisplay(l1, x1)}, false);
            break;
        }
        case SelectionMode::kLine: {
            int l1 = std::min(caret_.line, anchor_.line), l2 = std::max(caret_.line, anchor_.line);
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
    for (int i = 0; i < n; ++i) d = s[i] == '\t' ? (d / tab + 1) * tab : d + 1;
    if (column > n) d += column - n;
    return d;
}

int EditorModel::ColumnAtDisplay(int line, int display) const {
    const std::string& s = Line(line);
    const int tab = std::max(1, options_.tab_width);
    int d = 0;
    for (int i = 0; i < static_cast<int>(s.size()); ++i) {
        if (display <= d) return i;
        int next = s[i] == '\t' ? (d / tab + 1) * tab : d + 1;
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
        const std::string& t = lines_[line];
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

// --- commands -------------------------------------------------------------------------

bool EditorModel::ExecuteKey(int key, unsigned modifiers) {
    EditorCommand cmd = CommandForKey(key, modifiers);
    if (cmd == cmNone) return false;
    if ((cmd == cmTab || cmd == cmShiftTab) && !options_.want_tabs) return false;
    ExecuteCommand(cmd);
    return true;
}

int EditorModel::DesiredDisplay() const {
    return desired_display_ >= 0 ? desired_display_ : DisplayColumn(caret_.line, caret_.column);
}

void EditorModel::VerticalMove(int delta, bool select) {
    int want = DesiredDisplay();
    int line = std::clamp(caret_.line + delta, 0, std::max(0, LineCount() - 1));
    MoveCaret({line, ColumnAtDisplay(line, want)}, select);
    desired_display_ = want;
}

void EditorModel::TypeChar(char c) {
    if (static_cast<unsigned char>(c) < 32 || c == 0x7F || !Editable()) return;
    if (HasSelection()) grouping_open_ = false;
    BeginStep(EditKind::kTyping);
    DeleteSelection();
    if (LineCount() == 0) EnsureLine(0);
    const int len = LineLength(caret_.line);
    const bool overwrite = !options_.insert_mode && caret_.column < len;
    const int new_len = overwrite ? len : std::max(len, caret_.column) + 1;
    if (new_len <= options_.max_line_length) {
        TextPos to = overwrite ? TextPos{caret_.line, caret_.column + 1} : caret_;
        TextPos end = ReplaceRange(caret_, to, std::string_view(&c, 1));
        MoveCaret(end, false);
    }
    EndStep();
}

void EditorModel::InsertTyped(std::string_view text) {
    BeginStep(EditKind::kTyping);
    DeleteSelection();
    TextPos end = ReplaceRange(caret_, caret_, text);
    MoveCaret(end, false);
    EndStep();
}

void EditorModel::DeleteChar() {
    if (HasSelection()) {
        BeginStep(EditKind::kOther);
        DeleteSelection();
        EndStep();
        return;
    }
    BeginStep(EditKind::kDeleting);
    const int len = LineLength(caret_.line);
    if (caret_.column < len)
        ReplaceRange(caret_, {caret_.line, caret_.column + 1}, "");
    else if (caret_.line + 1 < LineCount())
        ReplaceRange(caret_, {caret_.line + 1, 0}, "");  // joins, filling up to the caret
    EndStep();
}

void EditorModel::DeleteLastChar() {
    if (HasSelection()) {
        BeginStep(EditKind::kOther);
        DeleteSelection();
        EndStep();
        return;
    }
    const std::string& s = Line(caret_.line);
    const int len = static_cast<int>(s.size());
    if (caret_.column == 0) {
        if (caret_.line == 0) return;
        BeginStep(EditKind::kOther);
        TextPos to{caret_.line - 1, LineLength(caret_.line - 1)};
        ReplaceRange(to, {caret_.line, 0}, "");
        MoveCaret(to, false);
        EndStep();
        return;
    }
    if (caret_.column > len) {  // nothing but the caret's own room to take back
        MoveCaret({caret_.line, caret_.column - 1}, false);
        return;
    }
    BeginStep(EditKind::kBackspacing);
    bool leading = std::all_of(s.begin(), s.begin() + caret_.column, IsBlank);
    if (options_.smart_tab_delete && leading) {
        // Back to the indentation of the nearest line above that is indented less.
        const int here = DisplayColumn(caret_.line, caret_.column);
        int target = 0;
        for (int l = caret_.line - 1; l >= 0; --l) {
            const std::string& t = lines_[l];
            auto first = std::find_if_not(t.begin(), t.end(), IsBlank);
            if (first == t.end()) continue;
            int indent = DisplayColumn(l, static_cast<int>(first - t.begin()));
            if (indent < here) {
                target = indent;
                break;
            }
        }
        int k = ColumnAtDisplay(caret_.line, target);
        while (k > 0 && DisplayColumn(caret_.line, k) > target) --k;
        std::string fill(target - DisplayColumn(caret_.line, k), ' ');
        TextPos end = ReplaceRange({caret_.line, k}, caret_, fill);
        MoveCaret(end, false);
    } else {
        TextPos from{caret_.line, caret_.column - 1};
        ReplaceRange(from, caret_, "");
        MoveCaret(from, false);
    }
    EndStep();
}

void EditorModel::LineBreak(bool move_caret) {
    BeginStep(EditKind::kOther);
    DeleteSelection();
    if (LineCount() == 0) EnsureLine(0);
    const TextPos at = caret_;
    const std::string& s = lines_[at.line];
    std::string text = "\r\n";
    if (options_.auto_indent) {
        int n = 0;
        while (n < static_cast<int>(s.size()) && n < at.column && IsBlank(s[n])) ++n;
        text.append(s, 0, n);
    }
    TextPos from{at.line, std::min<int>(at.column, s.size())};
    TextPos end = ReplaceRange(from, from, text);
    MoveCaret(move_caret ? end : at, false);
    EndStep();
}

void EditorModel::TabKey() {
    TextPos s = SelectionStart(), e = SelectionEnd();
    if (options_.tab_indent && HasSelection() && s.line != e.line) {
        BlockIndent(false);
        return;
    }
    std::string text = "\t";
    if (options_.smart_tabs) {
        const int here = DisplayColumn(caret_.line, caret_.column);
        for (int l = caret_.line - 1; l >= 0; --l) {
            const std::string& t = lines_[l];
            if (std::all_of(t.begin(), t.end(), IsBlank)) continue;
            int i = ColumnAtDisplay(l, here);
            if (i > 0 && i <= static_cast<int>(t.size()) && DisplayColumn(l, i) < here) ++i;
            while (i < static_cast<int>(t.size()) && !IsBlank(t[i])) ++i;
            while (i < static_cast<int>(t.size()) && IsBlank(t[i])) ++i;
            if (i < static_cast<int>(t.size())) text.assign(DisplayColumn(l, i) - here, ' ');
            break;
        }
    }
    InsertTyped(text);
}

void EditorModel::ShiftTabKey() {
    TextPos s = SelectionStart(), e = SelectionEnd();
    if (options_.tab_indent && HasSelection() && s.line != e.line) {
        BlockIndent(true);
        return;
    }
    const int tab = std::max(1, options_.tab_width);
    int d = DisplayColumn(caret_.line, caret_.column);
    if (d == 0) return;
    MoveCaret({caret_.line, ColumnAtDisplay(caret_.line, (d - 1) / tab * tab)}, false);
}

void EditorModel::BlockIndent(bool unindent) {
    int l1 = caret_.line, l2 = caret_.line;
    if (HasSelection()) {
        TextPos s = SelectionStart(), e = SelectionEnd();
        l1 = s.line;
        l2 = e.line;
        if (sel_mode_ == SelectionMode::kNormal && e.column == 0 && l2 > l1) --l2;
    }
    if (LineCount() == 0) return;
    const int width = std::max(1, options_.tab_width);
    const std::string indent(width, ' ');
    BeginStep(EditKind::kOther);
    TextPos caret = caret_, anchor = anchor_;
    for (int l = l1; l <= l2; ++l) {
        int delta = 0;
        if (!unindent) {
            if (lines_[l].empty()) continue;
            ReplaceRange({l, 0}, {l, 0}, indent);
            delta = width;
        } else {
            const std::string& t = lines_[l];
            int n = 0;
            if (!t.empty() && t[0] == '\t')
                n = 1;
            else
                while (n < width && n < static_cast<int>(t.size()) && t[n] == ' ') ++n;
            if (n == 0) continue;
            ReplaceRange({l, 0}, {l, n}, "");
            delta = -n;
        }
        for (TextPos* p : {&caret, &anchor})
            if (p->line == l && p->column > 0) p->column = std::max(0, p->column + delta);
    }
    SetSelection(anchor, caret);
    EndStep();
}

void EditorModel::CopySelection(bool cut) {
    if (!HasSelection() || !clipboard_) return;
    clipboard_->PutText(SelectedText(), sel_mode_ == SelectionMode::kColumn);
    if (cut && Editable()) {
        BeginStep(EditKind::kOther);
        DeleteSelection();
        EndStep();
    }
}

void EditorModel::Paste() {
    if (!clipboard_) return;
    std::string text;
    bool column = false;
    if (!clipboard_->GetText(text, column)) return;
    BeginStep(EditKind::kOther);
    DeleteSelection();
    if (!column) {
        TextPos end = ReplaceRange(caret_, caret_, text);
        MoveCaret(end, false);
    } else {
        const int x = DisplayColumn(caret_.line, caret_.column);
        int line = caret_.line;
        TextPos end = caret_;
        ForEachPiece(text, [&](std::string_view piece) {
            if (line >= LineCount()) {
                TextPos last = EndOfText();
                ReplaceRange(last, last, "\r\n");
            }
            TextPos at{line, ColumnAtDisplay(line, x)};
            end = ReplaceRange(at, at, piece);
            ++line;
        });
        MoveCaret(end, false);
    }
    EndStep();
}

void EditorModel::ExecuteCommand(EditorCommand cmd) {
    const bool editing =
        cmd >= cmToggleMode && cmd <= cmDeleteEOL && cmd != cmCopy && cmd != cmContextHelp;
    if (editing && cmd != cmToggleMode && !Editable()) return;
    if (cmd != cmDeleteChar && cmd != cmDeleteLastChar) {
        // Only typing and deleting runs group; anything else ends the run.
        if (!editing || (cmd != cmUndo && cmd != cmRedo)) grouping_open_ = false;
    }
    const int page = std::max(1, visible_lines_);
    const int last = std::max(0, LineCount() - 1);
    const TextPos c = caret_;
    switch (cmd) {
        case cmUp:
            VerticalMove(-1, false);
            break;
        case cmSelUp:
            VerticalMove(-1, true);
            break;
        case cmDown:
            VerticalMove(1, false);
            break;
        case cmSelDown:
            VerticalMove(1, true);
            break;
        case cmScrollUp:
        case cmScrollDown: {
            SetTopLine(top_line_ + (cmd == cmScrollUp ? -1 : 1));
            int bottom = top_line_ + page - 1;
            if (c.line > bottom)
                VerticalMove(bottom - c.line, false);
            else if (c.line < top_line_)
                VerticalMove(top_line_ - c.line, false);
            break;
        }
        case cmLeft:
        case cmSelLeft: {
            TextPos p = c;
            if (p.column > 0)
                --p.column;
            else if (p.line > 0)
                p = {p.line - 1, LineLength(p.line - 1)};
            MoveCaret(p, cmd == cmSelLeft);
            break;
        }
        case cmRight:
        case cmSelRight: {
            TextPos p = c;
            if (options_.scroll_past_eol || p.column < LineLength(p.line))
                ++p.column;
            else if (p.line < last)
                p = {p.line + 1, 0};
            MoveCaret(p, cmd == cmSelRight);
            break;
        }
        case cmWordLeft:
            MoveCaret(WordLeftOf(c), false);
            break;
        case cmSelWordLeft:
            MoveCaret(WordLeftOf(c), true);
            break;
        case cmWordRight:
            MoveCaret(WordRightOf(c), false);
            break;
        case cmSelWordRight:
            MoveCaret(WordRightOf(c), true);
            break;
        case cmPageDown:
        case cmSelPageDown:
            SetTopLine(top_line_ + page);
            VerticalMove(page, cmd == cmSelPageDown);
            break;
        case cmPageUp:
        case cmSelPageUp:
            SetTopLine(top_line_ - page);
            VerticalMove(-page, cmd == cmSelPageUp);
            break;
        case cmPageTop:
        case cmSelPageTop:
            VerticalMove(top_line_ - c.line, cmd == cmSelPageTop);
            break;
        case cmPageBottom:
        case cmSelPageBottom:
            VerticalMove(std::min(top_line_ + page - 1, last) - c.line, cmd == cmSelPageBottom);
            break;
        case cmLineStart:
            MoveCaret({c.line, 0}, false);
            break;
        case cmSelLineStart:
            MoveCaret({c.line, 0}, true);
            break;
        case cmLineEnd:
            MoveCaret({c.line, LineLength(c.line)}, false);
            break;
        case cmSelLineEnd:
            MoveCaret({c.line, LineLength(c.line)}, true);
            break;
        case cmEditorTop:
            MoveCaret({0, 0}, false);
            break;
        case cmSelEditorTop:
            MoveCaret({0, 0}, true);
            break;
        case cmEditorBottom:
            MoveCaret(EndOfText(), false);
            break;
        case cmSelEditorBottom:
            MoveCaret(EndOfText(), true);
            break;
        case cmSelectAll:
            SetSelection({0, 0}, EndOfText());
            break;
        case cmNormalSelect:
            SetSelectionMode(SelectionMode::kNormal);
            break;
        case cmColumnSelect:
            SetSelectionMode(SelectionMode::kColumn);
            break;
        case cmLineSelect:
            SetSelectionMode(SelectionMode::kLine);
            break;
        case cmMatchBracket: {
            TextPos m;
            if (FindMatchingBracket(c, m)) MoveCaret(m, false);
            break;
        }
        case cmToggleMode:
            SetInsertMode(!options_.insert_mode);
            break;
        case cmCopy:
            CopySelection(false);
            break;
        case cmCut:
            CopySelection(true);
            break;
        case cmPaste:
            Paste();
            break;
        case cmDeleteChar:
            DeleteChar();
            break;
        case cmDeleteLastChar:
            DeleteLastChar();
            break;
        case cmDeleteLastWord:
        case cmDeleteWord:
            if (HasSelection()) {
                BeginStep(EditKind::kOther);
                DeleteSelection();
                EndStep();
            } else {
                TextPos to = cmd == cmDeleteWord ? WordRightOf(c) : WordLeftOf(c);
                BeginStep(EditKind::kOther);
                ReplaceRange(c, to, "");
                MoveCaret(std::min(c, to), false);
                EndStep();
            }
            break;
        case cmUndo:
            Undo();
            break;
        case cmRedo:
            Redo();
            break;
        case cmLineBreak:
            LineBreak(true);
            break;
        case cmInsertLine:
            LineBreak(false);
            break;
        case cmTab:
            TabKey();
            break;
        case cmShiftTab:
            ShiftTabKey();
            break;
        case cmContextHelp:
            if (on_context_help) on_context_help();
            break;
        case cmBlockIndent:
            BlockIndent(false);
            break;
        case cmBlockUnindent:
            BlockIndent(true);
            break;
        case cmDeleteLine:
            if (LineCount() == 0) break;
            DeleteLine(c.line);
            MoveCaret({std::min(c.line, std::max(0, LineCount() - 1)), 0}, false);
            break;
        case cmDeleteEOL:
            if (c.column < LineLength(c.line)) {
                BeginStep(EditKind::kOther);
                ReplaceRange(c, {c.line, LineLength(c.line)}, "");
                EndStep();
            }
            break;
        default:
            if (cmd >= cmGotoMarker0 && cmd <= cmGotoMarker9) {
                int n = cmd - cmGotoMarker0;
                if (bookmark_set_[n]) MoveCaret(bookmarks_[n], false);
            } else if (cmd >= cmSetMarker0 && cmd <= cmSetMarker9) {
                int n = cmd - cmSetMarker0;
                if (bookmark_set_[n] && bookmarks_[n].line == c.line)
                    ClearBookmark(n);  // the same key again takes it away
                else
                    SetBookmark(n, c);
            }
    }
}

EditorChanges EditorModel::TakeChanges() {
    EditorChanges out = changes_;
    changes_ = {};
    return out;
}

}  // namespace zeph::editor
