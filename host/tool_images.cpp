#include "host/tool_images.h"

#include <initializer_list>

namespace tellur {

namespace {

constexpr COLORREF kImageMask = RGB(255, 0, 255);
constexpr COLORREF kSelection = RGB(0, 160, 255);  // the map's selection colour

// The strokes the images are made of, each with its own pen and brush.
class Strokes {
  public:
    explicit Strokes(HDC dc) : dc_(dc) {}

    void Box(int l, int t, int r, int b, COLORREF line, COLORREF fill) const {
        zeph::win::UniquePen p(::CreatePen(PS_SOLID, 1, line));
        zeph::win::UniqueBrush f(::CreateSolidBrush(fill));
        zeph::win::SelectedObject sp(dc_, p.get()), sf(dc_, f.get());
        ::Rectangle(dc_, l, t, r, b);
    }
    void Lines(COLORREF c, int w, std::initializer_list<POINT> pts) const {
        zeph::win::UniquePen p(::CreatePen(PS_SOLID, w, c));
        zeph::win::SelectedObject sp(dc_, p.get());
        auto it = pts.begin();
        ::MoveToEx(dc_, it->x, it->y, nullptr);
        for (++it; it != pts.end(); ++it) ::LineTo(dc_, it->x, it->y);
    }
    void Magnifier(bool plus) const {
        zeph::win::UniquePen p(::CreatePen(PS_SOLID, 1, RGB(40, 40, 40)));
        zeph::win::UniqueBrush f(::CreateSolidBrush(RGB(210, 235, 255)));
        zeph::win::SelectedObject sp(dc_, p.get()), sf(dc_, f.get());
        ::Ellipse(dc_, 1, 1, 12, 12);
        Lines(RGB(90, 60, 30), 3, {{10, 10}, {14, 14}});
        Lines(RGB(0, 0, 0), 1, {{4, 6}, {9, 6}});
        if (plus) Lines(RGB(0, 0, 0), 1, {{6, 4}, {6, 9}});
    }
    // Two objects inside the map's dotted selection frame.
    void Selection() const {
        Box(2, 6, 9, 13, RGB(40, 100, 40), RGB(170, 220, 160));
        ::SetPixel(dc_, 11, 4, RGB(200, 40, 40));
        Box(9, 2, 14, 7, RGB(150, 30, 30), RGB(240, 120, 120));
        for (int i = 0; i < 16; i += 2) {
            ::SetPixel(dc_, i, 0, kSelection);
            ::SetPixel(dc_, i, 15, kSelection);
            ::SetPixel(dc_, 0, i, kSelection);
            ::SetPixel(dc_, 15, i, kSelection);
        }
    }

  private:
    HDC dc_;
};

void DrawImage(HDC dc, int index) {
    RECT all{0, 0, 16, 16};
    zeph::win::UniqueBrush mask(::CreateSolidBrush(kImageMask));
    ::FillRect(dc, &all, mask.get());
    const Strokes draw(dc);
    switch (index) {
        case kImgOpen: {
            draw.Box(1, 4, 14, 14, RGB(150, 110, 20), RGB(250, 210, 90));
            draw.Box(1, 2, 7, 5, RGB(150, 110, 20), RGB(250, 210, 90));
            draw.Lines(RGB(255, 240, 180), 1, {{2, 6}, {13, 6}});
            break;
        }
        case kImgSave: {
            draw.Box(1, 1, 15, 15, RGB(20, 40, 110), RGB(60, 100, 190));
            draw.Box(4, 2, 12, 7, RGB(20, 40, 110), RGB(255, 255, 255));
            draw.Box(5, 10, 11, 15, RGB(20, 40, 110), RGB(200, 200, 200));
            break;
        }
        case kImgZoomAll: {
            draw.Box(3, 3, 13, 13, RGB(60, 120, 60), RGB(190, 230, 180));
            draw.Lines(RGB(0, 0, 0), 1, {{0, 4}, {0, 0}, {4, 0}});
            draw.Lines(RGB(0, 0, 0), 1, {{11, 0}, {15, 0}, {15, 4}});
            draw.Lines(RGB(0, 0, 0), 1, {{15, 11}, {15, 15}, {11, 15}});
            draw.Lines(RGB(0, 0, 0), 1, {{4, 15}, {0, 15}, {0, 11}});
            break;
        }
        case kImgZoomIn:
            draw.Magnifier(true);
            break;
        case kImgZoomOut:
            draw.Magnifier(false);
            break;
        case kImgSelectAll:
            draw.Selection();
            break;
        case kImgClear:
            draw.Selection();
            draw.Lines(RGB(210, 0, 0), 2, {{3, 3}, {13, 13}});
            draw.Lines(RGB(210, 0, 0), 2, {{13, 3}, {3, 13}});
            break;
        case kImgWorkbench: {
            draw.Box(2, 0, 14, 16, RGB(80, 80, 80), RGB(255, 255, 255));
            draw.Lines(RGB(0, 0, 200), 1, {{4, 3}, {10, 3}});
            draw.Lines(RGB(0, 128, 0), 1, {{6, 6}, {12, 6}});
            draw.Lines(RGB(128, 0, 0), 1, {{6, 9}, {11, 9}});
            draw.Lines(RGB(0, 0, 200), 1, {{4, 12}, {9, 12}});
            break;
        }
        default:
            break;
    }
}

}  // namespace

zeph::win::UniqueImageList CreateToolImages() {
    zeph::win::UniqueImageList list(
        ::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, kImageCount, 0));
    zeph::win::WindowDc screen(nullptr);
    zeph::win::UniqueMemoryDc dc(::CreateCompatibleDC(screen.get()));
    for (int i = 0; i < kImageCount; ++i) {
        zeph::win::UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), 16, 16));
        {
            zeph::win::SelectedObject keep(dc.get(), bitmap.get());
            DrawImage(dc.get(), i);
        }
        ::ImageList_AddMasked(list.get(), bitmap.get(), kImageMask);
    }
    return list;
}

}  // namespace tellur
