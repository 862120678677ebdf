// The editor control's input: key strokes and characters (the owner and the completion
// pop-up see them first), and the mouse: placing the caret, selecting, auto-scrolling past
// the edges, and dragging a selection to move or copy it.
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "base/wide.h"
#include "editor/completion_popup.h"
#include "editor/script_editor_window.h"

namespace zeph::win {

// --- keyboard ---------------------------------------------------------------------------------

unsigned ScriptEditorWindow::Modifiers() const {
    unsigned m = editor::kNoModifier;
    if (::GetKeyState(VK_SHIFT) < 0) m |= editor::kShift;
    if (::GetKeyState(VK_CONTROL) < 0) m |= editor::kCtrl;
    if (::GetKeyState(VK_MENU) < 0) m |= editor::kAlt;
    return m;
}

bool ScriptEditorWindow::OnKeyDown(WPARAM vk) {
    if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) return false;
    const int key = static_cast<int>(vk);
    const unsigned mods = Modifiers();
    if (on_key_down && on_key_down(key, mods)) return true;
    if (completion_ && completion_->KeyDown(key, mods)) {
        ApplyChanges();
        return true;
    }
    if (!model_.ExecuteKey(key, mods)) return false;
    ApplyChanges();
    return true;
}

void ScriptEditorWindow::OnChar(wchar_t ch) {
    if (ch < 0x20) return;  // Enter, Tab, Backspace and Ctrl+letter arrive as key strokes
    std::string narrow = Narrow(std::wstring_view(&ch, 1));
    if (narrow.size() != 1) return;
    char c = narrow[0];
    if (c == '?' && ch != L'?') return;  // no such character in the code page
    if (completion_ && completion_->CharTyped(c)) {
        ApplyChanges();
        return;
    }
    model_.TypeChar(c);
    ApplyChanges();
}

void ScriptEditorWindow::DropTypedCharacters() {
    MSG m;
    while (::PeekMessageW(&m, hwnd_.get(), WM_CHAR, WM_DEADCHAR, PM_REMOVE)) {
    }
    while (::PeekMessageW(&m, hwnd_.get(), WM_SYSCHAR, WM_SYSDEADCHAR, PM_REMOVE)) {
    }
}

// --- mouse ------------------------------------------------------------------------------------

bool ScriptEditorWindow::InsideSelection(editor::TextPos pos) const {
    if (!model_.HasSelection()) return false;
    return model_.SelectionStart() <= pos && pos < model_.SelectionEnd();
}

void ScriptEditorWindow::SetMouseCursor() {
    POINT pt;
    ::GetCursorPos(&pt);
    ::ScreenToClient(hwnd_.get(), &pt);
    // An arrow over the gutter, and over a selection that may be dragged.
    bool arrow = Options().gutter_visible && pt.x < Options().gutter_width;
    if (!arrow && Options().drag_drop_editing && mouse_mode_ == MouseMode::kNone)
        arrow = InsideSelection(PositionAt(pt.x, pt.y));
    ::SetCursor(::LoadCursorW(nullptr, arrow ? IDC_ARROW : IDC_IBEAM));
}

void ScriptEditorWindow::OnCaptureChanged(HWND to) {
    // Another window took the mouse: whatever selecting or dragging was under way ends.
    if (to == hwnd_.get() || mouse_mode_ == MouseMode::kNone) return;
    mouse_mode_ = MouseMode::kNone;
    ::KillTimer(hwnd_.get(), kAutoScrollTimer);
    ::InvalidateRect(hwnd_.get(), nullptr, FALSE);
}

void ScriptEditorWindow::OnMouseDown(int x, int y, bool shift, bool double_click) {
    if (!HasFocus()) ::SetFocus(hwnd_.get());
    if (completion_) completion_->Cancel();
    editor::TextPos pos = PositionAt(std::max(x, TextLeft()), y);
    mouse_down_ = mouse_last_ = {x, y};
    if (double_click) {
        model_.SelectWordAt(pos);
        mouse_mode_ = MouseMode::kNone;
        ApplyChanges();
        return;
    }
    if (!shift && Options().drag_drop_editing && !ReadOnly() && InsideSelection(pos)) {
        mouse_mode_ = MouseMode::kDragPending;
    } else {
        model_.SetCaret(pos, shift);
        mouse_mode_ = MouseMode::kSelecting;
    }
    ::SetCapture(hwnd_.get());
    ApplyChanges();
}

void ScriptEditorWindow::OnMouseMove(int x, int y) {
    mouse_last_ = {x, y};
    switch (mouse_mode_) {
        case MouseMode::kNone:
            return;
        case MouseMode::kDragPending:
            if (std::abs(x - mouse_down_.x) < ::GetSystemMetrics(SM_CXDRAG) &&
                std::abs(y - mouse_down_.y) < ::GetSystemMetrics(SM_CYDRAG))
                return;
            mouse_mode_ = MouseMode::kDragging;
            [[fallthrough]];
        case MouseMode::kDragging: {
            editor::TextPos pos = PositionAt(std::max(x, TextLeft()), y);
            if (pos != drop_pos_) {
                InvalidateLines(drop_pos_.line, drop_pos_.line);
                drop_pos_ = pos;
                InvalidateLines(drop_pos_.line, drop_pos_.line);
            }
            break;
        }
        case MouseMode::kSelecting:
            model_.SetCaret(PositionAt(std::max(x, TextLeft()), y), true);
            ApplyChanges();
            break;
    }
    RECT area = TextArea();
    bool outside = y < 0 || y >= area.bottom || x < TextLeft() || x >= area.right;
    if (outside)
        ::SetTimer(hwnd_.get(), kAutoScrollTimer, 50, nullptr);
    else
        ::KillTimer(hwnd_.get(), kAutoScrollTimer);
}

void ScriptEditorWindow::OnAutoScroll() {
    if (mouse_mode_ != MouseMode::kSelecting && mouse_mode_ != MouseMode::kDragging) {
        ::KillTimer(hwnd_.get(), kAutoScrollTimer);
        return;
    }
    RECT area = TextArea();
    int dy = mouse_last_.y < 0 ? -1 : mouse_last_.y >= area.bottom ? 1 : 0;
    int dx = mouse_last_.x < TextLeft() ? -1 : mouse_last_.x >= area.right ? 1 : 0;
    ScrollTo(model_.TopLine() + dy, left_column_ + dx);
    int y = std::clamp<int>(mouse_last_.y, 0, std::max<int>(0, area.bottom - 1));
    int x = std::clamp<int>(mouse_last_.x, TextLeft(), std::max<int>(TextLeft(), area.right - 1));
    if (dy < 0) y = 0;
    if (mouse_mode_ == MouseMode::kSelecting) {
        model_.SetCaret(PositionAt(x, y), true);
        ApplyChanges();
    } else {
        drop_pos_ = PositionAt(x, y);
        InvalidateAll();
    }
}

void ScriptEditorWindow::OnMouseUp(int x, int y) {
    MouseMode mode = std::exchange(mouse_mode_, MouseMode::kNone);
    ::KillTimer(hwnd_.get(), kAutoScrollTimer);
    if (::GetCapture() == hwnd_.get()) ::ReleaseCapture();
    if (mode == MouseMode::kDragPending) {
        // A click inside the selection without a drag just places the caret.
        model_.SetCaret(PositionAt(std::max(x, TextLeft()), y), false);
    } else if (mode == MouseMode::kDragging) {
        bool copy = ::GetKeyState(VK_CONTROL) < 0;
        model_.DropSelection(drop_pos_, copy);
        InvalidateAll();
    }
    ApplyChanges();
}

}  // namespace zeph::win
