// A colour drop-down: an owner-drawn combo box listing the standard, extended and system
// colours, "none", "default" and a custom entry that opens the colour chooser. Each entry shows
// a swatch and the colour's short name; a value the list lacks shows as the custom entry.
//
// The parent forwards WM_MEASUREITEM, WM_DRAWITEM and the box's CBN_SELCHANGE to it. The
// window itself is a child of the parent and goes with it.
#pragma once

#include <windows.h>

#include <array>
#include <optional>

#include "editor/token_class.h"

namespace zeph::win {

class ColourBox {
  public:
    // Throws when the window cannot be made. The initial selection is the default colour.
    ColourBox(HWND parent, int control_id, const RECT& bounds, HFONT font);
    ColourBox(const ColourBox&) = delete;
    ColourBox& operator=(const ColourBox&) = delete;

    HWND hwnd() const noexcept { return hwnd_; }

    void Select(editor::ColourValue value);
    void ClearSelection();
    // The selected colour; the default colour when nothing is selected.
    editor::ColourValue Selected() const;
    // The custom entry's colour (the last one chosen or shown through it).
    editor::ColourValue CustomColour() const noexcept { return custom_; }

    // Entry height for WM_MEASUREITEM of any colour box of this height.
    static int ItemHeight(int box_height) noexcept;
    void DrawItem(const DRAWITEMSTRUCT& item) const;
    // For CBN_SELCHANGE: the colour chosen, or none when the colour chooser of the custom entry
    // was cancelled (the previous selection is back then).
    std::optional<editor::ColourValue> OnSelChange();

  private:
    static LRESULT CALLBACK Subclass(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                     UINT_PTR id, DWORD_PTR data) noexcept;
    int CustomIndex() const noexcept;

    HWND hwnd_ = nullptr;
    editor::ColourValue custom_ = 0;
    int previous_ = -1;
    std::array<COLORREF, 16> chooser_colours_{};
};

}  // namespace zeph::win
