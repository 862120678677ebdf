#include "editor/pretty_text.h"

#include <algorithm>
#include <string>

#include "base/unique.h"
#include "base/wide.h"
#include "editor/completion_popup_model.h"

namespace zeph::win {

namespace {

int DrawRun(HDC dc, int x, int y, const RECT& clip, std::string_view run, HFONT font) {
    if (run.empty()) return x;
    SelectedObject sel(dc, font);
    std::wstring w = Wide(run);
    ::ExtTextOutW(dc, x, y, ETO_CLIPPED, &clip, w.data(), static_cast<UINT>(w.size()), nullptr);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, w.data(), static_cast<int>(w.size()), &size);
    return x + size.cx;
}

}  // namespace

int DrawPrettyText(HDC dc, int x, int y, const RECT& clip, std::string_view text,
                   const PrettyTextFonts& fonts) {
    editor::PrettyText parts = editor::SplitPrettyText(text);
    RECT first = clip;
    first.right = std::min<LONG>(clip.right, x + fonts.first_column_width);
    int end = DrawRun(dc, x, y, first, parts.first, fonts.normal);
    if (text.find('\t') == std::string_view::npos) return std::min<int>(end, first.right);
    int pos = x + fonts.first_column_width + 1;
    pos = DrawRun(dc, pos, y, clip, parts.bold, fonts.bold);
    return DrawRun(dc, pos, y, clip, parts.rest, fonts.normal);
}

}  // namespace zeph::win
