#include "host/tool_images.h"

#include <initializer_list>

namespace tellur {

namespace {

constexpr COLORREF kImageMask = RGB(255, 0, 255);
constexpr COLORREF kSelection = RGB(0, 160, 255);  // the map's selection colour

void DrawImage(HDC dc, int index) {
    auto pen = [&](COLORREF c, int w = 1) {
        return zeph::win::UniquePen(::CreatePen(PS_SOLID, w, c));
    };
    auto brush = [&](COLORREF c) { return zeph::win::UniqueBrush(::CreateSolidBrush(c)); };
    RECT all{0, 0, 16, 16};
    zeph::win::UniqueBrush mask = brush(kImageMask);
    ::FillRect(dc, &all, mask.get());
    auto box = [&](int l, int t, int r, int b, COLORREF line, COLORREF fill) {
        auto p = pen(line);
        auto f = brush(fill);
        zeph::win::SelectedObject sp(dc, p.get()), sf(dc, f.get());
        ::Rectangle(dc, l, t, r, b);
    };
    auto lineTo = [&](COLORREF c, int w, std::initializer_list<POINT> pts) {
        auto p = pen(c, w);
        zeph::win::SelectedObject sp(dc, p.get());
        auto it = pts.begin();
        ::MoveToEx(dc, it->x, it->y, nullptr);
        for (++it; it != pts.end(); ++it) ::LineTo(dc, it->x, it->y);
    };
    auto magnifier = [&](bool plus) {
        auto p = pen(RGB(40, 40, 40), 1);
        auto f = brush(RGB(210, 235, 255));
        zeph::win::SelectedObject sp(dc, p.get()), sf(dc, f.get());
        ::Ellipse(dc, 1, 1, 12, 12);
        lineTo(RGB(90, 60, 30), 3, {{10, 10}, {14, 14}});
        lineTo(RGB(0, 0, 0), 1, {{4, 6}, {9, 6}});
        if (plus) lineTo(RGB(0, 0, 0), 1, {{6, 4}, {6, 9}});
    };
    switch (index) {
        case kImgOpen: {
            box(1, 4, 14, 14, RGB(150, 110, 20), RGB(250, 210, 90));
            box(1, 2, 7, 5, RGB(150, 110, 20), RGB(250, 210, 90));
            lineTo(RGB(255, 240, 180), 1, {{2, 6}, {13, 6}});
            break;
        }
        case kImgSave: {
            box(1, 1, 15, 15, RGB(20, 40, 110), RGB(60, 100, 190));
            box(4, 2, 12, 7, RGB(20, 40, 110), RGB(255, 255, 255));
            box(5, 10, 11, 15, RGB(20, 40, 110), RGB(200, 200, 200));
            break;
        }
        case kImgZoomAll: {
            box(3, 3, 13, 13, RGB(60, 120, 60), RGB(190, 230, 180));
            lineTo(RGB(0, 0, 0), 1, {{0, 4}, {0, 0}, {4, 0}});
            lineTo(RGB(0, 0, 0), 1, {{11, 0}, {15, 0}, {15, 4}});
            lineTo(RGB(0, 0, 0), 1, {{15, 11}, {15, 15}, {11, 15}});
            lineTo(RGB(0, 0, 0), 1, {{4, 15}, {0, 15}, {0, 11}});
            break;
        }
        case kImgZoomIn:
            magnifier(true);
            break;
        case kImgZoomOut:
            magnifier(false);
            break;
        case kImgSelectAll:
        case kImgClear: {
            box(2, 6, 9, 13, RGB(40, 100, 40), RGB(170, 220, 160));
            auto p = pen(RGB(40, 40, 40));
            zeph::win::SelectedObject sp(dc, p.get());
            ::SetPixel(dc, 11, 4, RGB(200, 40, 40));
            box(9, 2, 14, 7, RGB(150, 30, 30), RGB(240, 120, 120));
            for (int i = 0; i < 16; i += 2) {
                ::SetPixel(dc, i, 0, kSelection);
                ::SetPixel(dc, i, 15, kSelection);
                ::SetPixel(dc, 0, i, kSelection);
                ::SetPixel(dc, 15, i, kSelection);
            }
            if (index == kImgClear) {
                lineTo(RGB(210, 0, 0), 2, {{3, 3}, {13, 13}});
                lineTo(RGB(210, 0, 0), 2, {{13, 3}, {3, 13}});
            }
            break;
        }
        case kImgWorkbench: {
            box(2, 0, 14, 16, RGB(80, 80, 80), RGB(255, 255, 255));
            lineTo(RGB(0, 0, 200), 1, {{4, 3}, {10, 3}});
            lineTo(RGB(0, 128, 0), 1, {{6, 6}, {12, 6}});
            lineTo(RGB(128, 0, 0), 1, {{6, 9}, {11, 9}});
            lineTo(RGB(0, 0, 200), 1, {{4, 12}, {9, 12}});
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
