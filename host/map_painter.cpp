#include "host/map_painter.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <vector>

#include "base/unique.h"

namespace tellur {

namespace {

constexpr COLORREF kPaper = RGB(244, 241, 232);
constexpr COLORREF kGrid = RGB(225, 220, 205);
constexpr COLORREF kSelection = RGB(0, 160, 255);

std::wstring Number(double value, int decimals) {
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%.*f", decimals, value);
    return buf;
}

double NiceStep(double raw) {
    double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= raw) return m * p;
    return 10 * p;
}

int PenStyle(LineStyle s) {
    switch (s) {
        case LineStyle::Dash:
            return PS_DASH;
        case LineStyle::Dot:
            return PS_DOT;
        case LineStyle::DashDot:
            return PS_DASHDOT;
        case LineStyle::None:
            return PS_NULL;
        default:
            return PS_SOLID;
    }
}

// A cosmetic pen wider than one pixel draws every style solid; wide dashes need a
// geometric pen.
zeph::win::UniquePen FeaturePen(const Style& s) {
    if (s.lineWidth == 0) return zeph::win::UniquePen(::CreatePen(PS_NULL, 0, 0));
    const int style = PenStyle(s.lineStyle);
    if (s.lineWidth > 1 && style != PS_SOLID && style != PS_NULL) {
        LOGBRUSH brush{BS_SOLID, s.lineColor, 0};
        return zeph::win::UniquePen(
            ::ExtCreatePen(PS_GEOMETRIC | style | PS_ENDCAP_FLAT, s.lineWidth, &brush, 0, nullptr));
    }
    return zeph::win::UniquePen(::CreatePen(style, s.lineWidth, s.lineColor));
}

void DrawFeature(HDC dc, const MapViewport& view, const Feature& f, bool selected) {
    const Style& s = f.style;
    std::vector<POINT> pts;
    for (const Vertex& v : f.vertices) pts.push_back(view.ToClient(v));
    int width = std::max(1, s.lineWidth);
    if (selected) {
        // A wide halo under the object marks the selection in every style.
        zeph::win::UniquePen halo(::CreatePen(PS_SOLID, width + 6, kSelection));
        zeph::win::SelectedObject keepPen(dc, halo.get());
        zeph::win::SelectedObject keepBrush(dc, ::GetStockObject(NULL_BRUSH));
        if (f.kind == Kind::Point)
            ::Ellipse(dc, pts[0].x - 8, pts[0].y - 8, pts[0].x + 9, pts[0].y + 9);
        else if (f.kind == Kind::Line)
            ::Polyline(dc, pts.data(), static_cast<int>(pts.size()));
        else
            ::Polygon(dc, pts.data(), static_cast<int>(pts.size()));
    }
    zeph::win::UniquePen pen = FeaturePen(s);
    zeph::win::UniqueBrush fill(::CreateSolidBrush(s.fillColor));
    zeph::win::SelectedObject keepPen(dc, pen.get());
    zeph::win::SelectedObject keepBrush(dc, fill.get());
    ::SetBkMode(dc, TRANSPARENT);
    switch (f.kind) {
        case Kind::Point:
            ::Ellipse(dc, pts[0].x - 5, pts[0].y - 5, pts[0].x + 6, pts[0].y + 6);
            break;
        case Kind::Line:
            ::Polyline(dc, pts.data(), static_cast<int>(pts.size()));
            break;
        case Kind::Polygon:
            ::Polygon(dc, pts.data(), static_cast<int>(pts.size()));
            break;
    }
    if (selected && f.kind != Kind::Point) {
        zeph::win::UniqueBrush handle(::CreateSolidBrush(RGB(255, 255, 255)));
        zeph::win::UniquePen frame(::CreatePen(PS_SOLID, 1, RGB(0, 90, 170)));
        zeph::win::SelectedObject hp(dc, frame.get()), hb(dc, handle.get());
        for (const POINT& p : pts) ::Rectangle(dc, p.x - 3, p.y - 3, p.x + 4, p.y + 4);
    }
}

void DrawScaleBar(HDC dc, const MapScene& scene) {
    const MapViewport& view = scene.view;
    const RECT& client = view.client;
    double meters = NiceStep(120 / view.zoom);
    int length = static_cast<int>(std::lround(meters * view.zoom));
    int x = 16, y = client.bottom - 20;
    RECT back{x - 6, y - 22, x + length + 60, y + 10};
    zeph::win::UniqueBrush white(::CreateSolidBrush(RGB(255, 255, 255)));
    ::FillRect(dc, &back, white.get());
    ::FrameRect(dc, &back, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
    RECT bar{x, y - 4, x + length, y};
    ::FillRect(dc, &bar, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    std::wstring text = ScaleText(meters, scene.units);
    zeph::win::SelectedObject font(dc, scene.labelFont);
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::SetBkMode(dc, TRANSPARENT);
    ::TextOutW(dc, x, y - 19, text.c_str(), static_cast<int>(text.size()));
}

}  // namespace

POINT MapViewport::ToClient(Vertex v) const {
    return {static_cast<LONG>(std::lround((v.x - center.x) * zoom + client.right / 2.0)),
            static_cast<LONG>(std::lround(client.bottom / 2.0 - (v.y - center.y) * zoom))};
}

Vertex MapViewport::ToMap(POINT p) const {
    return {center.x + (p.x - client.right / 2.0) / zoom,
            center.y - (p.y - client.bottom / 2.0) / zoom};
}

std::wstring ScaleText(double meters, Units units) {
    switch (units) {
        case Units::Kilometers:
            return Number(meters / 1000, meters < 1000 ? 3 : 0) + L" км";
        case Units::Feet:
            return Number(meters / 0.3048, 0) + L" фт";
        default:
            return Number(meters, meters < 1 ? 2 : 0) + L" м";
    }
}

std::wstring FormatCoordinate(double meters, Units units) {
    switch (units) {
        case Units::Kilometers:
            return Number(meters / 1000, 3) + L" км";
        case Units::Feet:
            return Number(meters / 0.3048, 1) + L" фт";
        default:
            return Number(meters, 1) + L" м";
    }
}

void PaintMap(HDC dc, const MapScene& scene) {
    const MapViewport& view = scene.view;
    const RECT& client = view.client;
    zeph::win::UniqueBrush paper(::CreateSolidBrush(kPaper));
    ::FillRect(dc, &client, paper.get());

    // Grid at a round step of about 80 pixels.
    double step = NiceStep(80 / view.zoom);
    Vertex lo = view.ToMap({0, client.bottom}), hi = view.ToMap({client.right, 0});
    zeph::win::UniquePen grid(::CreatePen(PS_SOLID, 1, kGrid));
    {
        zeph::win::SelectedObject keep(dc, grid.get());
        for (double x = std::floor(lo.x / step) * step; x <= hi.x; x += step) {
            POINT s = view.ToClient({x, 0});
            ::MoveToEx(dc, s.x, 0, nullptr);
            ::LineTo(dc, s.x, client.bottom);
        }
        for (double y = std::floor(lo.y / step) * step; y <= hi.y; y += step) {
            POINT s = view.ToClient({0, y});
            ::MoveToEx(dc, 0, s.y, nullptr);
            ::LineTo(dc, client.right, s.y);
        }
    }

    const Map& map = scene.map;
    for (Kind kind : {Kind::Polygon, Kind::Line, Kind::Point})
        for (const auto& f : map.features())
            if (f->kind == kind && f->visible) DrawFeature(dc, view, *f, map.IsSelected(*f));

    // Labels last, so that no shape covers them.
    zeph::win::SelectedObject font(dc, scene.labelFont);
    ::SetBkMode(dc, TRANSPARENT);
    for (const auto& f : map.features()) {
        if (!f->visible || !f->style.showLabel || f->name.empty()) continue;
        Bounds b = f->Extent();
        POINT at = f->kind == Kind::Point
                       ? view.ToClient(f->vertices[0])
                       : view.ToClient({(b.minX + b.maxX) / 2, (b.minY + b.maxY) / 2});
        if (f->kind == Kind::Point)
            at.x += 8, at.y -= 16;
        else if (f->kind == Kind::Line)
            at = view.ToClient(f->vertices[f->vertices.size() / 2]), at.y -= 16;
        SIZE size;
        ::GetTextExtentPoint32W(dc, f->name.c_str(), static_cast<int>(f->name.size()), &size);
        if (f->kind == Kind::Polygon) at.x -= size.cx / 2, at.y -= size.cy / 2;
        // A light halo keeps the text readable over any fill.
        ::SetTextColor(dc, kPaper);
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (dx || dy)
                    ::TextOutW(dc, at.x + dx, at.y + dy, f->name.c_str(),
                               static_cast<int>(f->name.size()));
        ::SetTextColor(dc, map.IsSelected(*f) ? RGB(0, 90, 170) : RGB(40, 40, 40));
        ::TextOutW(dc, at.x, at.y, f->name.c_str(), static_cast<int>(f->name.size()));
    }

    if (scene.band) {
        zeph::win::UniquePen dash(::CreatePen(PS_DOT, 1, RGB(0, 0, 0)));
        zeph::win::SelectedObject keepPen(dc, dash.get());
        zeph::win::SelectedObject keepBrush(dc, ::GetStockObject(NULL_BRUSH));
        ::SetBkMode(dc, TRANSPARENT);
        const RECT& r = *scene.band;
        ::Rectangle(dc, r.left, r.top, r.right, r.bottom);
    }
    DrawScaleBar(dc, scene);
}

Map::FeaturePtr FeatureAt(const Map& map, Vertex at, double tolerance) {
    const auto& features = map.features();
    // Points over lines over polygons; among equals the one drawn last (on top).
    for (Kind kind : {Kind::Point, Kind::Line, Kind::Polygon}) {
        for (auto it = features.rbegin(); it != features.rend(); ++it) {
            const Feature& f = **it;
            if (f.kind != kind || !f.visible) continue;
            const auto& v = f.vertices;
            bool hit = false;
            if (kind == Kind::Point) {
                hit = SegmentDistance(at, v[0], v[0]) <= tolerance;
            } else {
                for (size_t i = 1; i < v.size() && !hit; ++i)
                    hit = SegmentDistance(at, v[i - 1], v[i]) <= tolerance;
                if (kind == Kind::Polygon)
                    hit = hit || SegmentDistance(at, v.back(), v.front()) <= tolerance ||
                          PolygonContains(v, at);
            }
            if (hit) return *it;
        }
    }
    return nullptr;
}

}  // namespace tellur
