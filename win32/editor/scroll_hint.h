// The small tip beside the vertical scroll bar that names the range of lines shown while the
// thumb is dragged. It never takes the focus.
#pragma once

#include <windows.h>

#include <string>

#include "base/unique.h"

namespace zeph::win {

// Where the thumb of a scroll bar (SB_VERT or SB_HORZ) is being dragged to.
inline int ScrollTrackPos(HWND hwnd, int bar) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_TRACKPOS;
    ::GetScrollInfo(hwnd, bar, &si);
    return si.nTrackPos;
}

class ScrollHintWindow {
  public:
    ScrollHintWindow() = default;
    ~ScrollHintWindow() = default;
    ScrollHintWindow(const ScrollHintWindow&) = delete;
    ScrollHintWindow& operator=(const ScrollHintWindow&) = delete;

    // Shows `text` (UTF-16) with the tip's right edge at `anchor.x` and its middle at
    // `anchor.y` (screen coordinates), creating the window on first use.
    void Show(HWND owner, POINT anchor, const std::wstring& text);
    void Hide();
    bool Visible() const;
    HWND hwnd() const { return hwnd_.get(); }
    const std::wstring& text() const { return text_; }

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    UniqueWindow hwnd_;
    UniqueFont font_;
    std::wstring text_;
};

}  // namespace zeph::win
