// The script editor control: a child window that draws an editor model with its highlighter,
// gutter and margin line, and turns keys, characters, the mouse, the scroll bars and the
// clipboard into the model's commands. Owners embed it through this class only.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/unique.h"
#include "editor/completion_popup_model.h"
#include "editor/editor_model.h"
#include "editor/font_set.h"

namespace zeph::win {

class CompletionPopupWindow;
class ScrollHintWindow;
class Win32Clipboard;

class ScriptEditorWindow {
  public:
    struct Settings {
        FontSpec font{"Courier New", 13};
        FontSpec gutter_font{"Terminal", 11};
        std::int32_t text_colour = static_cast<std::int32_t>(0xFF000008);  // window text
        std::int32_t background = static_cast<std::int32_t>(0xFF000005);   // window
        editor::EditorOptions options;
        std::string text;
        bool with_completion = false;  // creates the completion pop-up and its model
    };
    // The workbench's script editor and the settings dialog's preview.
    static Settings WorkbenchSettings();
    static Settings PreviewSettings();

    // Creates the control as a child of `parent` at `bounds` (parent's client coordinates).
    ScriptEditorWindow(HWND parent, int control_id, const RECT& bounds, const Settings& settings);
    ~ScriptEditorWindow();
    ScriptEditorWindow(const ScriptEditorWindow&) = delete;
    ScriptEditorWindow& operator=(const ScriptEditorWindow&) = delete;

    HWND hwnd() const { return hwnd_.get(); }

    // The model, for queries (words, lines, selection). After changing it directly, call
    // Sync() so that the window repaints, scrolls and raises its events.
    editor::EditorModel& model() { return model_; }
    const editor::EditorModel& model() const { return model_; }
    void Sync();

    // --- appearance ---------------------------------------------------------------------
    void SetFont(const FontSpec& font);
    const FontSpec& font() const { return text_font_.spec(); }
    void SetGutterFont(const FontSpec& font);
    const FontSpec& gutter_font() const { return gutter_font_.spec(); }
    // Colour numbers; "none" or "default" give the window text and window colours.
    void SetColours(std::int32_t text_colour, std::int32_t background);
    void SetRightMargin(int column);  // -1 hides the margin line
    int RightMargin() const { return model_.Options().right_edge; }
    void SetGutterWidth(int pixels);
    int GutterWidth() const { return model_.Options().gutter_width; }
    void SetGutterVisible(bool visible);
    bool GutterVisible() const { return model_.Options().gutter_visible; }
    void SetOptions(const editor::EditorOptions& options);
    const editor::EditorOptions& Options() const { return model_.Options(); }
    // Not owned. Switching keeps the text, caret and undo history and repaints.
    void SetHighlighter(const editor::Highlighter* highlighter);
    const editor::Highlighter* Highlighter() const { return model_.GetHighlighter(); }
    // Repaints after the looks of the highlighter's token classes were changed.
    void RefreshLooks();

    // The line of the last script error (from 0), marked in the gutter and by its background
    // until its text changes; -1 for none.
    void SetErrorLine(int line);
    int ErrorLine() const { return error_line_; }
    // The bracket at (or just before) the caret and its mate, both framed; false for none.
    bool MatchedBrackets(editor::TextPos& own, editor::TextPos& mate) const {
        own = brackets_[0];
        mate = brackets_[1];
        return own.line >= 0;
    }

    // --- text, caret, focus ---------------------------------------------------------------
    std::string Text() const { return model_.Text(); }
    void SetText(std::string_view text);
    int CaretX() const { return model_.CaretX(); }  // from 1
    int CaretY() const { return model_.CaretY(); }  // from 1
    void SetCaretXY(int x, int y);
    void Focus();
    bool HasFocus() const;
    void SetReadOnly(bool read_only);
    bool ReadOnly() const { return model_.ReadOnly(); }

    // Client coordinates of the caret's left edge and the top of its line; the line height.
    POINT CaretPixel() const;
    int LineHeight() const { return line_height_; }
    int CharWidth() const { return text_font_.cell_width(); }
    // Client point of the top left of a text position (0-based line and character).
    POINT PointOf(editor::TextPos pos) const;
    int VisibleLineCount() const;

    // --- completion pop-up (only with Settings::with_completion) ------------------------------
    editor::CompletionModel* completion() { return completion_.get(); }
    CompletionPopupWindow* completion_window() { return popup_.get(); }
    // Opens the pop-up as Ctrl+Space does; hides it with a cancel, which also drops a typed
    // "." still waiting for its pop-up.
    bool ShowCompletion();
    void HideCompletion();

    // --- events --------------------------------------------------------------------------
    std::function<void()> on_text_changed;
    std::function<void()> on_caret_moved;
    // Every key press first; return true to take it (the owner's shortcuts), false to let the
    // pop-up and then the editor have it. Modifiers are editor::KeyModifier bits.
    std::function<bool(int key, unsigned modifiers)> on_key_down;
    // Files dropped from the shell; the window takes them only while this is set.
    std::function<void(const std::vector<std::filesystem::path>& files)> on_files_dropped;

    // Draws the client area into `dc` as it would appear now (for printing and snapshots).
    void PaintInto(HDC dc);

  private:
    static constexpr UINT_PTR kBlinkTimer = 1;
    static constexpr UINT_PTR kAutoScrollTimer = 2;
    static constexpr UINT_PTR kCompletionTimer = 3;

    // Creation, messages and metrics (script_editor_window.cpp).
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    static void RegisterClassOnce();
    LRESULT DialogCode(const MSG* msg) const;
    void OnDropFiles(HDROP drop);
    void OnKillFocus();
    void OnTimer(UINT_PTR id);
    void UpdateMetrics();
    int TextLeft() const;  // client x where display column left_column_ starts
    RECT TextArea() const;
    int VisibleColumns() const;
    editor::PixelGrid Grid() const;

    // Model changes to screen: repaint, scroll to caret, events (script_editor_window.cpp).
    void ApplyChanges();
    void InvalidateAll();
    void InvalidateLines(int first, int last);
    void InvalidateCaret();
    void UpdateBracketMatch();
    void RestartBlink();

    // Painting (script_editor_paint.cpp).
    void Paint(HDC dc, const RECT& update);
    void PaintLine(HDC dc, int line, int y, const RECT& update);
    void PaintGutter(HDC dc, int line, int y);
    void PaintCaret(HDC dc, editor::TextPos pos, bool drop_marker);

    // Keys, characters and the mouse (script_editor_input.cpp).
    unsigned Modifiers() const;
    bool OnKeyDown(WPARAM vk);
    // The characters of a key stroke taken as a command are not typed as well.
    void DropTypedCharacters();
    void OnChar(wchar_t ch);
    void SetMouseCursor();
    void OnCaptureChanged(HWND to);
    void OnMouseDown(int x, int y, bool shift, bool double_click);
    void OnMouseMove(int x, int y);
    void OnMouseUp(int x, int y);
    void OnAutoScroll();
    editor::TextPos PositionAt(int x, int y) const;
    bool InsideSelection(editor::TextPos pos) const;

    // Scroll bars, the wheel and the scroll hint (script_editor_scroll.cpp).
    void UpdateScrollBars();
    void ScrollTo(int top_line, int left_column);
    void EnsureCaretVisible();
    int MaxTopLine() const;
    void OnVScroll(int code);
    void OnHScroll(int code);
    void OnWheel(int delta);
    void ShowScrollHint(int top_line);

    UniqueWindow hwnd_;
    editor::EditorModel model_;
    std::unique_ptr<Win32Clipboard> clipboard_;
    std::unique_ptr<editor::CompletionModel> completion_;
    std::unique_ptr<CompletionPopupWindow> popup_;
    std::unique_ptr<ScrollHintWindow> scroll_hint_;

    FontSet text_font_;
    FontSet gutter_font_;
    std::int32_t text_colour_;
    std::int32_t background_;
    int line_height_ = 16;
    int error_line_ = -1;
    editor::TextPos brackets_[2] = {{-1, 0}, {-1, 0}};
    std::string error_text_;  // the marked line's text when it was marked
    int left_column_ = 0;
    int longest_line_ = 0;     // widest line seen, in display columns (horizontal scroll range)
    int last_caret_line_ = 0;  // where the caret was last painted
    int wheel_rest_ = 0;       // wheel movement short of a whole notch

    // Back buffer, kept between paints and recreated when the client area grows.
    // (The DC is declared last so that it goes first, releasing the bitmap it holds.)
    UniqueBitmap buffer_bitmap_;
    UniqueMemoryDc buffer_dc_;
    SIZE buffer_size_{0, 0};
    std::vector<editor::TokenRun> runs_;  // scratch for painting

    bool blink_on_ = true;
    bool focused_ = false;

    // Mouse state.
    enum class MouseMode { kNone, kSelecting, kDragPending, kDragging };
    MouseMode mouse_mode_ = MouseMode::kNone;
    POINT mouse_down_{};
    POINT mouse_last_{};
    editor::TextPos drop_pos_;
};

}  // namespace zeph::win
