// The script editor: caret and selection, the key strokes' commands, bookmarks, the mapping
// between text positions and pixels, and drag and drop, over a TextDocument (lines, the
// highlighter's per-line states, undo). The window draws what this model says and forwards
// keys, characters and mouse positions to it.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/highlighter.h"
#include "editor/key_strokes.h"
#include "editor/text_document.h"

namespace zeph::editor {

struct EditorOptions {
    bool auto_indent = true;
    bool drag_drop_editing = true;
    bool group_undo = true;
    bool scroll_past_eof = true;
    bool scroll_past_eol = true;
    bool show_scroll_hint = true;
    bool smart_tabs = false;  // Tab goes to the next word start of the line above
    bool smart_tab_delete = true;
    bool tab_indent = true;
    bool trim_trailing_spaces = true;
    bool want_tabs = true;  // the Tab key inserts a tab (otherwise the window moves the focus)
    bool read_only = false;
    bool insert_mode = true;
    int tab_width = 2;
    int right_edge = 80;  // -1 hides the margin line
    int max_line_length = 1024;
    int extra_line_spacing = 0;
    int gutter_width = 30;
    bool gutter_visible = true;

    // The settings of the workbench's script editor and of the settings dialog's preview.
    static EditorOptions ScriptEditor();
    static EditorOptions PreviewMemo();
};

// The new text of one line; the text may hold line breaks.
struct LineEdit {
    int line = 0;
    std::string text;
};

// What changed since the window last asked (TakeChanges): the window repaints only these.
struct EditorChanges {
    int first_line = INT_MAX;  // range of lines to repaint (inclusive), empty when first > last
    int last_line = -1;
    bool all = false;  // repaint everything (highlighter, options, whole text)
    bool line_count_changed = false;
    bool caret_moved = false;
    bool scroll_to_caret = false;  // bring the caret into view
    bool top_line_changed = false;
    bool text_changed = false;
    bool mode_changed = false;  // insert/overwrite or selection mode

    bool LinesDirty() const { return all || first_line <= last_line; }
    void AddLines(int first, int last);
};

// The system clipboard as the window offers it; the window converts to and from Unicode.
class EditorClipboard {
  public:
    virtual ~EditorClipboard() = default;
    // `column_block` marks text copied from a column selection (lines joined by CR LF).
    virtual void PutText(std::string_view cp1251, bool column_block) = 0;
    // False when the clipboard holds no text.
    virtual bool GetText(std::string& cp1251, bool& column_block) = 0;
};

// Pixel grid of the text area: the window's font metrics and horizontal scroll.
struct PixelGrid {
    int char_width = 8;
    int line_height = 16;  // including extra line spacing
    int left_column = 0;   // first visible display column (horizontal scroll)
};

class EditorModel {
  public:
    explicit EditorModel(EditorOptions options = {});

    // --- options and view -------------------------------------------------------------
    const EditorOptions& Options() const { return options_; }
    void SetOptions(const EditorOptions& options);
    bool InsertMode() const { return options_.insert_mode; }
    void SetInsertMode(bool on);
    bool ReadOnly() const { return options_.read_only; }
    void SetReadOnly(bool on) { options_.read_only = on; }

    // Number of whole lines the window shows; page and scroll commands need it.
    void SetVisibleLines(int n);
    int VisibleLines() const { return visible_lines_; }
    int TopLine() const { return top_line_; }  // 0-based
    void SetTopLine(int line);

    // --- highlighter ------------------------------------------------------------------
    // Not owned; nullptr draws everything in the editor's own colours. The text, caret and
    // undo history stay as they are.
    void SetHighlighter(const Highlighter* h);
    const Highlighter* GetHighlighter() const { return doc_.GetHighlighter(); }
    // Tokens of one line, in order, covering it whole.
    void LineTokens(int line, std::vector<TokenRun>& out) const { doc_.LineTokens(line, out); }
    LineState LineStartState(int line) const { return doc_.LineStartState(line); }
    // Lines scanned to keep the states up to date since the counter was reset (tests).
    std::uint64_t ScanCount() const { return doc_.ScanCount(); }
    void ResetScanCount() { doc_.ResetScanCount(); }

    // --- text -------------------------------------------------------------------------
    // Every line followed by CR LF.
    std::string Text() const { return doc_.Text(); }
    // Replaces all lines, breaking at CR LF, LF or CR; clears undo, bookmarks and selection.
    void SetText(std::string_view text);
    int LineCount() const { return doc_.LineCount(); }
    // Empty text for an index out of range.
    const std::string& Line(int index) const { return doc_.Line(index); }
    // Undoable line edits (0-based index). InsertLine accepts index == LineCount().
    void ReplaceLine(int index, std::string_view text);
    void InsertLine(int index, std::string_view text);
    void DeleteLine(int index);
    // Replaces whole lines (ascending indexes, each edit's line as it was before any of them)
    // as one undo step: bookmarks follow their lines, the caret stays on its line at
    // `caret_column`, and the selection goes.
    void ReplaceLines(std::span<const LineEdit> edits, int caret_column);
    bool Modified() const { return doc_.Modified(); }

    // --- caret and selection ----------------------------------------------------------
    TextPos Caret() const { return caret_; }
    void SetCaret(TextPos p, bool extend_selection = false);
    // 1-based caret column (CaretX) and line (CaretY).
    int CaretX() const { return caret_.column + 1; }
    int CaretY() const { return caret_.line + 1; }
    void SetCaretXY(int x, int y);
    const std::string& CaretLineText() const { return Line(caret_.line); }

    SelectionMode GetSelectionMode() const { return sel_mode_; }
    void SetSelectionMode(SelectionMode m);
    bool HasSelection() const;
    // Normalised ends of the selection (equal when there is none). In column mode they are the
    // block's corners, in line mode the start of the first and the end of the last line.
    TextPos SelectionStart() const;
    TextPos SelectionEnd() const;
    TextPos SelectionAnchor() const { return anchor_; }
    void SetSelection(TextPos anchor, TextPos caret);
    void ClearSelection();
    std::string SelectedText() const;
    // Replaces the selection (or inserts at the caret) with text that may hold line breaks;
    // the caret ends after it. One undo step.
    void ReplaceSelection(std::string_view text);
    // Whether a line's display column range [from, to) is selected, for drawing; in normal
    // mode `to` may be INT_MAX for the rest of the line including its end.
    bool SelectionOnLine(int line, int& from_display, int& to_display) const;

    // --- word queries -----------------------------------------------------------------
    // The run of identifier characters covering 1-based column `x` of the caret line: it
    // extends right from column x and left from column x - 1.
    std::string WordAtColumn(int x) const;
    // The identifier run that the caret is in or touches.
    std::string WordAtCaret() const;
    // 0-based [begin, end) of the identifier run the position is in or touches.
    void WordBoundsAt(TextPos p, int& begin, int& end) const;

    // --- commands ---------------------------------------------------------------------
    // Runs the command bound to the key; false when no command is bound, or the key is Tab /
    // Shift+Tab and tabs are not wanted, so the window may use the key itself.
    bool ExecuteKey(int key, unsigned modifiers);
    void ExecuteCommand(EditorCommand cmd);
    // A typed character (code page 1251); control characters are ignored.
    void TypeChar(char c);
    // Context help (Ctrl+F1) is the owner's.
    std::function<void()> on_context_help;
    void SetClipboard(EditorClipboard* clipboard) { clipboard_ = clipboard; }

    bool CanUndo() const { return doc_.CanUndo(); }
    bool CanRedo() const { return doc_.CanRedo(); }
    void Undo();
    void Redo();
    void ClearUndo() { doc_.ClearUndo(); }

    // Bookmarks 0..9: the line (0-based) or -1.
    int BookmarkLine(int n) const;
    void SetBookmark(int n, TextPos p);
    void ClearBookmark(int n);

    // Position of the bracket matching the one at (or just before) the caret; false if none.
    bool FindMatchingBracket(TextPos from, TextPos& match) const;

    // --- mouse ------------------------------------------------------------------------
    // Display column of a character index (tabs expanded; beyond the end one cell each).
    int DisplayColumn(int line, int column) const;
    // Character index at a display column (the nearer cell boundary of a tab).
    int ColumnAtDisplay(int line, int display) const;
    // Text position under a pixel of the text area (x, y relative to its top left).
    TextPos PositionAtPixel(int x, int y, const PixelGrid& grid) const;
    // Top left pixel of a position, relative to the text area.
    void PixelOf(TextPos p, const PixelGrid& grid, int& x, int& y) const;
    void SelectWordAt(TextPos p);
    // Drag-and-drop editing: moves (or copies) the selection to `target`. False when not
    // allowed (option off, read-only, target inside the selection).
    bool DropSelection(TextPos target, bool copy);

    // --- changes ----------------------------------------------------------------------
    EditorChanges TakeChanges();
    const EditorChanges& PendingChanges() const { return changes_; }

  private:
    // One entry of the command table: what the command does with its argument, and whether
    // it edits the text (refused when read-only) or continues a run of like edits.
    struct Command {
        EditorCommand command;
        void (*run)(EditorModel& m, int arg);
        int arg;
        unsigned flags;
    };
    struct CommandHandlers;
    static std::span<const Command> Commands();

    // The one primitive edit: replaces [from, to) with `text`; returns the end of the
    // inserted text. Records undo, keeps states, bookmarks and changes up to date.
    TextPos ReplaceRange(TextPos from, TextPos to, std::string_view text);
    // Follows an edit of the document: bookmarks, the untrimmed line, what to repaint.
    void TextChanged(const TextChange& change);
    CaretState CaretNow() const { return {caret_, anchor_, sel_mode_}; }
    void BeginStep(EditKind kind);
    void EndStep();
    void RestoreCaret(const CaretState& state, bool with_mode);
    void MoveCaret(TextPos p, bool select);
    void MarkCaret();
    void MarkSelectionLines();
    TextPos ClampPos(TextPos p) const;
    // The first and last line the selection spans.
    std::pair<int, int> SelectedLines() const;
    // The display columns [left, right) a column selection covers.
    std::pair<int, int> SelectedColumns() const;
    TextPos EndOfText() const { return doc_.EndOfText(); }
    void DeleteSelection();
    // Deletes the selection as an undo step of its own; false when there is none.
    bool DeleteSelectionStep();
    void InsertTyped(std::string_view text);
    void TrimLine(int line);
    void TrimLeftLine();
    void EnsureLine(int line);
    int LineLength(int line) const { return doc_.LineLength(line); }
    int DesiredDisplay() const;
    void VerticalMove(int delta, bool select);
    TextPos WordLeftOf(TextPos p) const;
    TextPos WordRightOf(TextPos p) const;
    void BlockIndent(bool unindent);
    void DeleteLastChar();
    void DeleteChar();
    void LineBreak(bool move_caret);
    void TabKey();
    void ShiftTabKey();
    void Paste();
    void CopySelection(bool cut);
    bool Editable() const { return !options_.read_only; }

    EditorOptions options_;
    TextDocument doc_;

    TextPos caret_, anchor_;
    SelectionMode sel_mode_ = SelectionMode::kNormal;
    int desired_display_ = -1;  // kept across vertical moves
    int visible_lines_ = 20;
    int top_line_ = 0;
    int untrimmed_line_ = -1;  // the caret's edited line, trimmed once the caret leaves it

    std::array<TextPos, 10> bookmarks_;
    std::array<bool, 10> bookmark_set_{};
    EditorClipboard* clipboard_ = nullptr;
    EditorChanges changes_;
};

}  // namespace zeph::editor
