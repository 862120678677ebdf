// The map view's messages: painting, selecting by click or band, panning, zooming by wheel
// and the keys of the view.
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

#include "host/main_window.h"
#include "host/map_painter.h"
#include "host/resource.h"

namespace tellur {

namespace {

constexpr int kPickRadius = 6;  // pixels around the pointer that still hit an object

}  // namespace

LRESULT MainWindow::OnMap(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT:
            PaintMapView();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SIZE:
            if (!fitted_) ZoomAll();
            ::InvalidateRect(map_, nullptr, FALSE);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
        case WM_MBUTTONUP:
        case WM_RBUTTONUP:
        case WM_CAPTURECHANGED:
        case WM_MOUSEWHEEL:
            return OnMapMouse(msg, wp, lp);
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_KEYDOWN:
            OnMapKey(wp);
            return 0;
    }
    return ::DefWindowProcW(map_, msg, wp, lp);
}

void MainWindow::PaintMapView() {
    zeph::win::PaintDc paint(map_);
    MapViewport view = Viewport();
    const RECT& client = view.client;
    // Drawn off screen and copied in one step, so that a redraw does not flicker.
    zeph::win::UniqueMemoryDc memory(::CreateCompatibleDC(paint.get()));
    zeph::win::UniqueBitmap bitmap(::CreateCompatibleBitmap(paint.get(), std::max(1L, client.right),
                                                            std::max(1L, client.bottom)));
    RECT band{std::min(pressAt_.x, dragAt_.x), std::min(pressAt_.y, dragAt_.y),
              std::max(pressAt_.x, dragAt_.x) + 1, std::max(pressAt_.y, dragAt_.y) + 1};
    zeph::win::SelectedObject keep(memory.get(), bitmap.get());
    PaintMap(memory.get(),
             {host_->map, view, labelFont_.get(), units_, banding_ ? &band : nullptr});
    ::BitBlt(paint.get(), 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
}

LRESULT MainWindow::OnMapMouse(UINT msg, WPARAM wp, LPARAM lp) {
    POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            ::SetFocus(map_);
            ::SetCapture(map_);
            pressing_ = true;
            banding_ = false;
            pressAt_ = dragAt_ = p;
            return 0;
        case WM_MBUTTONDOWN:
        case WM_RBUTTONDOWN:
            ::SetFocus(map_);
            ::SetCapture(map_);
            panning_ = true;
            dragAt_ = p;
            return 0;
        case WM_MOUSEMOVE:
            OnMapMove(p);
            return 0;
        case WM_LBUTTONUP:
            if (pressing_) FinishPress(p, (wp & MK_CONTROL) != 0);
            return 0;
        case WM_MBUTTONUP:
        case WM_RBUTTONUP:
            if (panning_) {
                panning_ = false;
                ::ReleaseCapture();
            }
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lp) != map_) {
                pressing_ = banding_ = panning_ = false;
                ::InvalidateRect(map_, nullptr, FALSE);
            }
            return 0;
        case WM_MOUSEWHEEL: {
            POINT at = p;
            ::ScreenToClient(map_, &at);
            ZoomAt(at, GET_WHEEL_DELTA_WPARAM(wp) > 0 ? 1.25 : 1 / 1.25);
            return 0;
        }
    }
    return 0;
}

void MainWindow::OnMapMove(POINT p) {
    Vertex at = ToMap(p);
    cursorText_ =
        L"X: " + FormatCoordinate(at.x, units_) + L"  Y: " + FormatCoordinate(at.y, units_);
    UpdateStatus();
    if (panning_) {
        center_.x -= (p.x - dragAt_.x) / zoom_;
        center_.y += (p.y - dragAt_.y) / zoom_;
        dragAt_ = p;
        ::InvalidateRect(map_, nullptr, FALSE);
    } else if (pressing_) {
        if (std::abs(p.x - pressAt_.x) > 3 || std::abs(p.y - pressAt_.y) > 3) banding_ = true;
        dragAt_ = p;
        if (banding_) ::InvalidateRect(map_, nullptr, FALSE);
    }
}

void MainWindow::FinishPress(POINT p, bool add) {
    // Releasing the capture sends WM_CAPTURECHANGED, which resets the gesture state.
    bool band = banding_;
    pressing_ = banding_ = false;
    ::ReleaseCapture();
    if (band) {
        FinishBand(p, add);
        ::InvalidateRect(map_, nullptr, FALSE);
        return;
    }
    Map& map = host_->map;
    Map::FeaturePtr hit = FeatureAt(map, ToMap(p), kPickRadius / zoom_);
    if (add) {
        if (hit) map.Select(hit, !map.IsSelected(*hit));
    } else if (hit) {
        map.SetSelection({hit});
    } else {
        map.ClearSelection();
    }
}

void MainWindow::OnMapKey(WPARAM wp) {
    bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
    double step = 60 / zoom_;
    switch (wp) {
        case 'O':
            if (ctrl) Command(IDM_OPEN);
            break;
        case 'A':
            if (ctrl) Command(IDM_SELECT_ALL);
            break;
        case VK_ESCAPE:
            Command(IDM_CLEAR_SELECTION);
            break;
        case VK_HOME:
            Command(IDM_ZOOM_ALL);
            break;
        case VK_ADD:
        case VK_OEM_PLUS:
            Command(IDM_ZOOM_IN);
            break;
        case VK_SUBTRACT:
        case VK_OEM_MINUS:
            Command(IDM_ZOOM_OUT);
            break;
        case VK_F11:
            Command(IDM_WORKBENCH);
            break;
        case VK_LEFT:
            center_.x -= step;
            ::InvalidateRect(map_, nullptr, FALSE);
            break;
        case VK_RIGHT:
            center_.x += step;
            ::InvalidateRect(map_, nullptr, FALSE);
            break;
        case VK_UP:
            center_.y += step;
            ::InvalidateRect(map_, nullptr, FALSE);
            break;
        case VK_DOWN:
            center_.y -= step;
            ::InvalidateRect(map_, nullptr, FALSE);
            break;
    }
}

void MainWindow::FinishBand(POINT end, bool add) {
    Vertex a = ToMap(pressAt_), b = ToMap(end);
    Bounds band;
    band.Add(a);
    band.Add(b);
    Map& map = host_->map;
    std::vector<Map::FeaturePtr> chosen;
    if (add) chosen = map.selection();
    for (const auto& f : map.features())
        if (f->visible && FeatureTouchesRect(*f, band)) chosen.push_back(f);
    map.SetSelection(std::move(chosen));
}

}  // namespace tellur
