// The drawing pieces on their own: colour numbers, fonts and the completion list's columns.
#include <gtest/gtest.h>

#include "editor/colour.h"
#include "editor/font_set.h"
#include "editor/pretty_text.h"

namespace zeph::win::test {
namespace {

TEST(Colour, NumbersResolveToPlainSystemOrFallbackColours) {
    const COLORREF fallback = RGB(1, 2, 3);
    EXPECT_EQ(ResolveColour(0x008000, fallback), RGB(0, 128, 0));
    EXPECT_EQ(ResolveColour(static_cast<std::int32_t>(0xFF000005), fallback),
              ::GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(ResolveColour(static_cast<std::int32_t>(0xFF00000D), fallback),
              ::GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(ResolveColour(0x1FFFFFFF, fallback), fallback);
    EXPECT_EQ(ResolveColour(0x20000000, fallback), fallback);
    EXPECT_FALSE(HasOwnColour(0x1FFFFFFF));
    EXPECT_TRUE(HasOwnColour(0));  // black is a colour, not "none"
}

TEST(FontSet, AMissingFaceGetsAFixedPitchStandIn) {
    FontSet missing(FontSpec{"No Such Face Anywhere", 13});
    EXPECT_TRUE(missing.fallback());
    WindowDc dc(nullptr);
    SelectedObject sel(dc.get(), missing.Get(0));
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc.get(), &tm);
    EXPECT_FALSE(tm.tmPitchAndFamily & TMPF_FIXED_PITCH);  // set means variable pitch
    EXPECT_EQ(tm.tmCharSet, RUSSIAN_CHARSET);
    EXPECT_GT(missing.cell_width(), 0);
    EXPECT_GE(missing.cell_height(), 13);

    std::string installed = ActualFace(missing.Get(0));
    FontSet present(FontSpec{installed, 20});
    EXPECT_FALSE(present.fallback());
    EXPECT_GT(present.cell_height(), missing.cell_height());
    // Every style variant exists and differs from the plain one.
    EXPECT_NE(present.Get(1), present.Get(0));
    EXPECT_NE(present.Get(7), present.Get(3));
}

// Columns of the bitmap that hold ink (anything but white).
std::vector<bool> InkColumns(const std::string& text, const PrettyTextFonts& fonts, int width) {
    WindowDc screen(nullptr);
    UniqueMemoryDc dc(::CreateCompatibleDC(screen.get()));
    UniqueBitmap bmp(::CreateCompatibleBitmap(screen.get(), width, 20));
    SelectedObject keep(dc.get(), bmp.get());
    RECT rc{0, 0, width, 20};
    ::FillRect(dc.get(), &rc, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::SetBkMode(dc.get(), TRANSPARENT);
    ::SetTextColor(dc.get(), RGB(0, 0, 0));
    DrawPrettyText(dc.get(), 0, 0, rc, text, fonts);
    std::vector<bool> ink(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < 20; ++y)
            if (::GetPixel(dc.get(), x, y) != RGB(255, 255, 255)) ink[x] = true;
    return ink;
}

TEST(PrettyText, FirstColumnIsCutAndTheBoldColumnStartsAfterIt) {
    UniqueFont normal = CreateCyrillicFont("Tahoma", 13);
    UniqueFont bold = CreateCyrillicFont("Tahoma", 13, true);
    PrettyTextFonts fonts{normal.get(), bold.get(), 40};
    const int width = 200;

    // A long first column leaves no ink at or beyond its width.
    auto ink = InkColumns("WWWWWWWWWWWWWWWWWWWW", fonts, width);
    for (int x = 40; x < width; ++x) EXPECT_FALSE(ink[x]) << x;
    ink = InkColumns("WWWWWWWWWWWWWWWWWWWW\tB", fonts, width);
    for (int x = 40; x < 41; ++x) EXPECT_FALSE(ink[x]) << x;
    EXPECT_TRUE(std::find(ink.begin() + 41, ink.end(), true) != ink.end());

    // Without a first column the bold text still starts past it.
    ink = InkColumns("\tName\t: String", fonts, width);
    for (int x = 0; x < 41; ++x) EXPECT_FALSE(ink[x]) << x;
    int last = width - 1;
    while (last > 0 && !ink[last]) --last;
    EXPECT_GT(last, 80);  // the rest after the second tab is drawn too
}

}  // namespace
}  // namespace zeph::win::test
