#include "editor/font_set.h"

#include <algorithm>

#include "base/wide.h"
#include "text/cp1251.h"

namespace zeph::win {

FontSpec FontSpec::FromPoints(std::string face, int points) {
    WindowDc dc(nullptr);
    int dpi = dc ? ::GetDeviceCaps(dc.get(), LOGPIXELSY) : 96;
    return FontSpec{std::move(face), ::MulDiv(std::max(1, points), dpi, 72)};
}

UniqueFont CreateCyrillicFont(const std::string& face, int height, bool bold, bool italic,
                              bool underline, bool fixed_pitch) {
    LOGFONTW lf{};
    lf.lfHeight = -std::max(1, height);
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = italic;
    lf.lfUnderline = underline;
    lf.lfCharSet = RUSSIAN_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = fixed_pitch ? FIXED_PITCH | FF_MODERN : DEFAULT_PITCH | FF_DONTCARE;
    std::wstring w = Wide(face);
    w.resize(std::min<size_t>(w.size(), LF_FACESIZE - 1));
    std::copy(w.begin(), w.end(), lf.lfFaceName);
    return UniqueFont(::CreateFontIndirectW(&lf));
}

std::string ActualFace(HFONT font) {
    WindowDc dc(nullptr);
    SelectedObject sel(dc.get(), font);
    wchar_t face[LF_FACESIZE] = L"";
    ::GetTextFaceW(dc.get(), LF_FACESIZE, face);
    return Narrow(face);
}

int TextWidth(HDC dc, const std::wstring& text) {
    SIZE size{};
    if (text.empty()) return 0;
    ::GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

void FontSet::Reset(const FontSpec& spec) {
    spec_ = spec;
    for (auto& f : fonts_) f.reset();
    // A face that is not installed would be replaced by whatever GDI likes, often a
    // proportional one; the editor's grid reads better with a fixed-pitch stand-in.
    fallback_ = false;
    fallback_ = !text::EqualsNoCase(ActualFace(Get(0)), spec_.face);
    if (fallback_) fonts_[0].reset();
    WindowDc dc(nullptr);
    SelectedObject plain(dc.get(), Get(0));
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc.get(), &tm);
    // Fixed-pitch faces give their pitch; proportional ones are laid into cells as wide as
    // their widest usual letter so no glyph spills into the next column.
    int widest = 0;
    for (const wchar_t* probe : {L"W", L"M", L"\x0416", L"\x0428", L"0"}) {
        widest = std::max(widest, TextWidth(dc.get(), probe));
    }
    bool variable_pitch = tm.tmPitchAndFamily & TMPF_FIXED_PITCH;  // the bit means variable
    cell_width_ = std::max(1, variable_pitch ? widest : static_cast<int>(tm.tmAveCharWidth));
    int ascent = tm.tmAscent, descent = tm.tmDescent;
    // Bold and italic variants may reach further; one baseline and one cell hold them all.
    for (unsigned style : {1u, 2u, 3u}) {
        SelectedObject s(dc.get(), Get(style));
        TEXTMETRICW t2{};
        ::GetTextMetricsW(dc.get(), &t2);
        ascent = std::max(ascent, static_cast<int>(t2.tmAscent));
        descent = std::max(descent, static_cast<int>(t2.tmDescent));
    }
    ascent_ = ascent;
    cell_height_ = std::max(1, ascent + descent);
}

HFONT FontSet::Get(unsigned style) const {
    style &= 7;
    if (!fonts_[style]) {
        fonts_[style] = CreateCyrillicFont(fallback_ ? std::string() : spec_.face, spec_.height,
                                           style & 1, style & 2, style & 4, fallback_);
    }
    return fonts_[style].get();
}

}  // namespace zeph::win
