// A top-level test window (shared by the tests unless one is given) holding one editor control, and
// the real window messages a user would cause: key strokes through TranslateMessage, characters,
// mouse buttons, scroll bars.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/unique.h"
#include "desktop.h"
#include "editor/script_editor_window.h"

namespace zeph::win::test {

// Modifier bits as the editor names them.
inline constexpr unsigned kShift = 1, kCtrl = 2, kAlt = 4;

class EditorHost {
  public:
    explicit EditorHost(
        ScriptEditorWindow::Settings settings = ScriptEditorWindow::WorkbenchSettings(),
        SIZE client = {520, 300}, HWND frame = nullptr);
    ~EditorHost();

    ScriptEditorWindow& editor() { return *editor_; }
    editor::EditorModel& model() { return editor_->model(); }
    HWND frame() const { return frame_; }
    HWND hwnd() const { return editor_->hwnd(); }

    // Runs every queued message (posted ones through TranslateMessage, as a message loop
    // does), then returns.
    static void Pump();

    // A key press and release with the given modifiers held.
    void Key(int vk, unsigned modifiers = 0);
    // Characters as WM_CHAR messages (UTF-16, the way a -W window receives them).
    void Type(const std::wstring& text);
    // Mouse in the editor's client coordinates.
    void Click(POINT pt, unsigned modifiers = 0);
    void DoubleClick(POINT pt);
    void Drag(POINT from, POINT to);
    // A client point that puts the caret before a 0-based line's character when clicked.
    POINT CaretPoint(int line, int column) const;

  private:
    void SetModifiers(unsigned modifiers);

    HWND frame_;
    std::unique_ptr<ScriptEditorWindow> editor_;
};

// A top-level window for tests that need one of their own.
HWND CreateTestFrame(SIZE client);

// Renders a window (frame, scroll bars and client area) into a 24-bit .bmp file; creates the
// folder. Returns false when nothing could be written.
bool SaveShownWindow(HWND hwnd, const std::string& path);

// The folder in the build tree where the snapshots go.
std::string ScreensDir();

// The colour of a client pixel as the screen shows it after pending paints: catches lines
// that were changed but never invalidated.
COLORREF ScreenPixel(HWND hwnd, int x, int y);

// The colour of a client pixel of the window as the window paints it.
COLORREF ClientPixel(HWND hwnd, int x, int y);

}  // namespace zeph::win::test
