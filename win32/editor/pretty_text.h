// Drawing of the completion list's item texts: the part before the first tab is a first
// column cut at a fixed width; the first tab moves past that column and turns bold on, the
// second tab turns it off again.
#pragma once

#include <windows.h>

#include <string_view>

namespace zeph::win {

struct PrettyTextFonts {
    HFONT normal = nullptr;
    HFONT bold = nullptr;
    int first_column_width = 0;  // width of the first-column word in the normal font
};

// Draws `text` (code page 1251) with its top-left corner at (x, y), clipped to `clip`, in the
// text colour and background mode already set on `dc`. Returns the x after the last character.
int DrawPrettyText(HDC dc, int x, int y, const RECT& clip, std::string_view text,
                   const PrettyTextFonts& fonts);

}  // namespace zeph::win
