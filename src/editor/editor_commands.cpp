// The editor's commands: typing, deleting, line breaks, tabs and indentation, the clipboard,
// and the table that runs what a key stroke is bound to.
#include <algorithm>

#include "editor/editor_model.h"

namespace zeph::editor {

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
    if (HasSelection()) doc_.CloseRun();
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

bool EditorModel::DeleteSelectionStep() {
    if (!HasSelection()) return false;
    BeginStep(EditKind::kOther);
    DeleteSelection();
    EndStep();
    return true;
}

void EditorModel::DeleteChar() {
    if (DeleteSelectionStep()) return;
    BeginStep(EditKind::kDeleting);
    const int len = LineLength(caret_.line);
    if (caret_.column < len)
        ReplaceRange(caret_, {caret_.line, caret_.column + 1}, "");
    else if (caret_.line + 1 < LineCount())
        ReplaceRange(caret_, {caret_.line + 1, 0}, "");  // joins, filling up to the caret
    EndStep();
}

void EditorModel::DeleteLastChar() {
    if (DeleteSelectionStep()) return;
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
            const std::string& t = Line(l);
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
    const std::string& s = Line(at.line);
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
            const std::string& t = Line(l);
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
            if (Line(l).empty()) continue;
            ReplaceRange({l, 0}, {l, 0}, indent);
            delta = width;
        } else {
            const std::string& t = Line(l);
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
    if (cut && Editable()) DeleteSelectionStep();
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

// --- the command table -------------------------------------------------------------------

namespace {

enum CommandFlag : unsigned {
    kEdits = 1,  // refused while read-only
    kInRun = 2,  // Delete and Backspace continue their run; undo and redo end it themselves
};

}  // namespace

// What each command does with its table argument. A nested class, so that the handlers reach
// the editor's own members.
struct EditorModel::CommandHandlers {
    using M = EditorModel;
    // Caret moves take whether they extend the selection.
    static void Up(M& m, int sel) { m.VerticalMove(-1, sel); }
    static void Down(M& m, int sel) { m.VerticalMove(1, sel); }
    // Scrolls by a line, keeping the caret in view.
    static void Scroll(M& m, int delta) {
        m.SetTopLine(m.top_line_ + delta);
        const int bottom = m.top_line_ + std::max(1, m.visible_lines_) - 1;
        const int line = m.caret_.line;
        if (line > bottom)
            m.VerticalMove(bottom - line, false);
        else if (line < m.top_line_)
            m.VerticalMove(m.top_line_ - line, false);
    }
    static void Left(M& m, int sel) {
        TextPos p = m.caret_;
        if (p.column > 0)
            --p.column;
        else if (p.line > 0)
            p = {p.line - 1, m.LineLength(p.line - 1)};
        m.MoveCaret(p, sel);
    }
    static void Right(M& m, int sel) {
        TextPos p = m.caret_;
        if (m.options_.scroll_past_eol || p.column < m.LineLength(p.line))
            ++p.column;
        else if (p.line < m.LineCount() - 1)
            p = {p.line + 1, 0};
        m.MoveCaret(p, sel);
    }
    static void WordLeft(M& m, int sel) { m.MoveCaret(m.WordLeftOf(m.caret_), sel); }
    static void WordRight(M& m, int sel) { m.MoveCaret(m.WordRightOf(m.caret_), sel); }
    static void PageDown(M& m, int sel) {
        const int page = std::max(1, m.visible_lines_);
        m.SetTopLine(m.top_line_ + page);
        m.VerticalMove(page, sel);
    }
    static void PageUp(M& m, int sel) {
        const int page = std::max(1, m.visible_lines_);
        m.SetTopLine(m.top_line_ - page);
        m.VerticalMove(-page, sel);
    }
    static void PageTop(M& m, int sel) { m.VerticalMove(m.top_line_ - m.caret_.line, sel); }
    static void PageBottom(M& m, int sel) {
        const int bottom = m.top_line_ + std::max(1, m.visible_lines_) - 1;
        const int last = std::max(0, m.LineCount() - 1);
        m.VerticalMove(std::min(bottom, last) - m.caret_.line, sel);
    }
    static void LineStart(M& m, int sel) { m.MoveCaret({m.caret_.line, 0}, sel); }
    static void LineEnd(M& m, int sel) {
        m.MoveCaret({m.caret_.line, m.LineLength(m.caret_.line)}, sel);
    }
    static void TextStart(M& m, int sel) { m.MoveCaret({0, 0}, sel); }
    static void TextEnd(M& m, int sel) { m.MoveCaret(m.EndOfText(), sel); }
    static void SelectAll(M& m, int) { m.SetSelection({0, 0}, m.EndOfText()); }
    static void Mode(M& m, int mode) { m.SetSelectionMode(static_cast<SelectionMode>(mode)); }
    static void MatchBracket(M& m, int) {
        TextPos match;
        if (m.FindMatchingBracket(m.caret_, match)) m.MoveCaret(match, false);
    }
    // Editing.
    static void ToggleMode(M& m, int) { m.SetInsertMode(!m.options_.insert_mode); }
    static void Copy(M& m, int cut) { m.CopySelection(cut); }
    static void Paste(M& m, int) { m.Paste(); }
    static void Del(M& m, int) { m.DeleteChar(); }
    static void Backspace(M& m, int) { m.DeleteLastChar(); }
    static void DelWord(M& m, int right) {
        if (m.DeleteSelectionStep()) return;
        const TextPos c = m.caret_;
        const TextPos to = right ? m.WordRightOf(c) : m.WordLeftOf(c);
        m.BeginStep(EditKind::kOther);
        m.ReplaceRange(c, to, "");
        m.MoveCaret(std::min(c, to), false);
        m.EndStep();
    }
    static void Undo(M& m, int) { m.Undo(); }
    static void Redo(M& m, int) { m.Redo(); }
    static void LineBreak(M& m, int move) { m.LineBreak(move); }
    static void Tab(M& m, int) { m.TabKey(); }
    static void ShiftTab(M& m, int) { m.ShiftTabKey(); }
    static void Help(M& m, int) {
        if (m.on_context_help) m.on_context_help();
    }
    static void Indent(M& m, int unindent) { m.BlockIndent(unindent); }
    static void DeleteLine(M& m, int) {
        if (m.LineCount() == 0) return;
        const int line = m.caret_.line;
        m.DeleteLine(line);
        m.MoveCaret({std::min(line, std::max(0, m.LineCount() - 1)), 0}, false);
    }
    static void DeleteToEnd(M& m, int) {
        const TextPos c = m.caret_;
        if (c.column >= m.LineLength(c.line)) return;
        m.BeginStep(EditKind::kOther);
        m.ReplaceRange(c, {c.line, m.LineLength(c.line)}, "");
        m.EndStep();
    }
    // Bookmarks take their number.
    static void GoToMark(M& m, int n) {
        if (m.bookmark_set_[n]) m.MoveCaret(m.bookmarks_[n], false);
    }
    static void SetMark(M& m, int n) {
        if (m.bookmark_set_[n] && m.bookmarks_[n].line == m.caret_.line)
            m.ClearBookmark(n);  // the same key again takes it away
        else
            m.SetBookmark(n, m.caret_);
    }
    static void None(M&, int) {}
};

std::span<const EditorModel::Command> EditorModel::Commands() {
    using H = CommandHandlers;
    constexpr int kNormal = static_cast<int>(SelectionMode::kNormal);
    constexpr int kColumn = static_cast<int>(SelectionMode::kColumn);
    constexpr int kLine = static_cast<int>(SelectionMode::kLine);
    // In the order of EditorCommand, so that a command is its own index.
    static constexpr Command kTable[] = {
        {cmNone, H::None, 0, 0},
        {cmUp, H::Up, 0, 0},
        {cmSelUp, H::Up, 1, 0},
        {cmScrollUp, H::Scroll, -1, 0},
        {cmDown, H::Down, 0, 0},
        {cmSelDown, H::Down, 1, 0},
        {cmScrollDown, H::Scroll, 1, 0},
        {cmLeft, H::Left, 0, 0},
        {cmSelLeft, H::Left, 1, 0},
        {cmWordLeft, H::WordLeft, 0, 0},
        {cmSelWordLeft, H::WordLeft, 1, 0},
        {cmRight, H::Right, 0, 0},
        {cmSelRight, H::Right, 1, 0},
        {cmWordRight, H::WordRight, 0, 0},
        {cmSelWordRight, H::WordRight, 1, 0},
        {cmPageDown, H::PageDown, 0, 0},
        {cmSelPageDown, H::PageDown, 1, 0},
        {cmPageBottom, H::PageBottom, 0, 0},
        {cmSelPageBottom, H::PageBottom, 1, 0},
        {cmPageUp, H::PageUp, 0, 0},
        {cmSelPageUp, H::PageUp, 1, 0},
        {cmPageTop, H::PageTop, 0, 0},
        {cmSelPageTop, H::PageTop, 1, 0},
        {cmLineStart, H::LineStart, 0, 0},
        {cmSelLineStart, H::LineStart, 1, 0},
        {cmEditorTop, H::TextStart, 0, 0},
        {cmSelEditorTop, H::TextStart, 1, 0},
        {cmLineEnd, H::LineEnd, 0, 0},
        {cmSelLineEnd, H::LineEnd, 1, 0},
        {cmEditorBottom, H::TextEnd, 0, 0},
        {cmSelEditorBottom, H::TextEnd, 1, 0},
        {cmSelectAll, H::SelectAll, 0, 0},
        {cmNormalSelect, H::Mode, kNormal, 0},
        {cmColumnSelect, H::Mode, kColumn, 0},
        {cmLineSelect, H::Mode, kLine, 0},
        {cmMatchBracket, H::MatchBracket, 0, 0},
        {cmToggleMode, H::ToggleMode, 0, 0},
        {cmCopy, H::Copy, 0, 0},
        {cmCut, H::Copy, 1, kEdits},
        {cmPaste, H::Paste, 0, kEdits},
        {cmDeleteChar, H::Del, 0, kEdits | kInRun},
        {cmDeleteLastChar, H::Backspace, 0, kEdits | kInRun},
        {cmDeleteLastWord, H::DelWord, 0, kEdits},
        {cmUndo, H::Undo, 0, kEdits | kInRun},
        {cmRedo, H::Redo, 0, kEdits | kInRun},
        {cmLineBreak, H::LineBreak, 1, kEdits},
        {cmTab, H::Tab, 0, kEdits},
        {cmShiftTab, H::ShiftTab, 0, kEdits},
        {cmContextHelp, H::Help, 0, 0},
        {cmBlockIndent, H::Indent, 0, kEdits},
        {cmBlockUnindent, H::Indent, 1, kEdits},
        {cmInsertLine, H::LineBreak, 0, kEdits},
        {cmDeleteWord, H::DelWord, 1, kEdits},
        {cmDeleteLine, H::DeleteLine, 0, kEdits},
        {cmDeleteEOL, H::DeleteToEnd, 0, kEdits},
        {cmGotoMarker0, H::GoToMark, 0, 0},
        {cmGotoMarker1, H::GoToMark, 1, 0},
        {cmGotoMarker2, H::GoToMark, 2, 0},
        {cmGotoMarker3, H::GoToMark, 3, 0},
        {cmGotoMarker4, H::GoToMark, 4, 0},
        {cmGotoMarker5, H::GoToMark, 5, 0},
        {cmGotoMarker6, H::GoToMark, 6, 0},
        {cmGotoMarker7, H::GoToMark, 7, 0},
        {cmGotoMarker8, H::GoToMark, 8, 0},
        {cmGotoMarker9, H::GoToMark, 9, 0},
        {cmSetMarker0, H::SetMark, 0, 0},
        {cmSetMarker1, H::SetMark, 1, 0},
        {cmSetMarker2, H::SetMark, 2, 0},
        {cmSetMarker3, H::SetMark, 3, 0},
        {cmSetMarker4, H::SetMark, 4, 0},
        {cmSetMarker5, H::SetMark, 5, 0},
        {cmSetMarker6, H::SetMark, 6, 0},
        {cmSetMarker7, H::SetMark, 7, 0},
        {cmSetMarker8, H::SetMark, 8, 0},
        {cmSetMarker9, H::SetMark, 9, 0},
    };
    static_assert(std::size(kTable) == cmSetMarker9 + 1, "one entry per command");
    static_assert(
        [] {
            for (std::size_t i = 0; i < std::size(kTable); ++i)
                if (kTable[i].command != static_cast<int>(i)) return false;
            return true;
        }(),
        "entries in the order of EditorCommand");
    return kTable;
}

bool EditorModel::ExecuteKey(int key, unsigned modifiers) {
    EditorCommand cmd = CommandForKey(key, modifiers);
    if (cmd == cmNone) return false;
    if ((cmd == cmTab || cmd == cmShiftTab) && !options_.want_tabs) return false;
    ExecuteCommand(cmd);
    return true;
}

void EditorModel::ExecuteCommand(EditorCommand cmd) {
    const auto table = Commands();
    const Command* entry =
        cmd >= 0 && static_cast<std::size_t>(cmd) < table.size() ? &table[cmd] : nullptr;
    const unsigned flags = entry ? entry->flags : 0;
    if ((flags & kEdits) && !Editable()) return;
    // Only typing and deleting runs group; anything else ends the run.
    if (!(flags & kInRun)) doc_.CloseRun();
    if (entry) entry->run(*this, entry->arg);
}

}  // namespace zeph::editor
