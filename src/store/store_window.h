// What the store operations read from and write to the workbench window. The workbench window
// implements this as part of its view; the store never touches a control directly.
#pragma once

#include <string>
#include <vector>

#include "editor/highlighter.h"

namespace zeph::store {

// Stored as "Normal", "Minimized", "Maximized" (in this order).
enum class WindowState { kNormal = 0, kMinimized = 1, kMaximized = 2 };

// Outer window rectangle in pixels.
struct WindowBounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const WindowBounds&, const WindowBounds&) = default;
};

class IStoreWindow {
  public:
    virtual ~IStoreWindow() = default;

    // --- saved-script box ---
    // Empties the drop-down list (the box text stays).
    virtual void ClearScriptList() = 0;
    // Adds the names in one batch update. The list sorts itself (case-insensitively) and keeps
    // duplicates.
    virtual void AddScriptNames(const std::vector<std::string>& names) = 0;
    virtual std::string ScriptBoxText() = 0;
    virtual void SetScriptBoxText(const std::string& text) = 0;

    // --- editor ---
    // The whole text: every line followed by CR LF.
    virtual std::string EditorText() = 0;
    // Replaces the whole text with painting suspended; the language stays.
    virtual void ReplaceEditorText(const std::string& text) = 0;
    virtual std::string FontName() = 0;
    virtual int FontSize() = 0;  // points
    virtual void SetFontName(const std::string& family) = 0;
    virtual void SetFontSize(int points) = 0;
    // Puts the right margin at `column` and shows it.
    virtual void SetRightMargin(int column) = 0;
    // Called right after SetRightMargin; false switches the margin off.
    virtual void SetRightMarginVisible(bool visible) = 0;
    virtual void SetGutterWidth(int pixels) = 0;
    virtual void SetGutterVisible(bool visible) = 0;

    // --- highlighters ---
    // The store sets the token classes' looks and then calls NotifyLooksChanged() on each; the
    // window repaints when it sees the change.
    virtual editor::Highlighter& JavaScriptHighlighter() = 0;
    virtual editor::Highlighter& VBScriptHighlighter() = 0;

    // --- window ---
    virtual WindowState GetWindowState() = 0;
    virtual void SetWindowState(WindowState state) = 0;
    // The normal (restored) rectangle; for a minimized or maximized window, where it returns to.
    virtual WindowBounds GetWindowBounds() = 0;
    virtual void SetWindowBounds(const WindowBounds& bounds) = 0;
};

}  // namespace zeph::store
