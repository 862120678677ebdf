// The completion pop-up's window: the model's shown lines under the caret line, drawn as
// pretty text. It never takes the focus; the editor keeps the keys and forwards them to the
// model, and the mouse here only selects (click) and accepts (double-click).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "base/unique.h"
#include "editor/completion_popup_model.h"
#include "editor/font_set.h"

namespace zeph::win {

class CompletionPopupWindow {
  public:
    // `editor` is the editor control the pop-up belongs to; the window is owned by its
    // top-level window. `on_accepted` runs after a double-click accepted an entry.
    CompletionPopupWindow(HWND editor, editor::CompletionModel& model);
    ~CompletionPopupWindow();
    CompletionPopupWindow(const CompletionPopupWindow&) = delete;
    CompletionPopupWindow& operator=(const CompletionPopupWindow&) = delete;

    // Places the list with its left edge at `caret.x` and its top at `line_bottom` (screen
    // coordinates), kept on the work area: moved left by its width or above `line_top`.
    void ShowAt(POINT caret, int line_top, int line_bottom);
    void Hide();
    bool Visible() const;
    // Repaints after the model's lines or selection changed and keeps the selection in view.
    void Refresh();
    HWND hwnd() const { return hwnd_.get(); }

    // Client rectangle of a shown line (index into the model's shown lines).
    RECT LineRect(int shown_index) const;
    int LineHeight() const { return line_height_; }
    int TopIndex() const { return top_; }
    int FirstColumnWidth() const { return first_column_width_; }
    void ScrollLines(int delta);

    std::function<void()> on_accepted;

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void Paint(HDC dc);
    void UpdateScrollBar();
    void EnsureSelectionVisible();
    int ShownCount() const;
    int IndexAt(int y) const;
    void OnVScroll(int code);

    HWND editor_;
    editor::CompletionModel& model_;
    UniqueWindow hwnd_;
    UniqueFont font_;
    UniqueFont bold_font_;
    int line_height_ = 16;
    int first_column_width_ = 80;
    int top_ = 0;
};

// The face behind the "Default" font name: the system's dialog font.
std::string DefaultFontFace();

}  // namespace zeph::win
