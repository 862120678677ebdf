// Drawing of the demo host's map view and finding the object under a point: plain functions of
// the map and a viewport, so that the window keeps only its state and its messages.
#pragma once

#include <windows.h>

#include <string>

#include "host/map_model.h"

namespace tellur {

// Which part of the map the view shows: its client rectangle, the map position at the
// rectangle's centre and the pixels per map unit.
struct MapViewport {
    RECT client{0, 0, 0, 0};
    Vertex center{0, 0};
    double zoom = 1;

    POINT ToClient(Vertex v) const;
    Vertex ToMap(POINT p) const;
};

struct MapScene {
    const Map& map;
    MapViewport view;
    HFONT labelFont;
    Units units;
    const RECT* band;  // the rubber band being dragged, or null
};

// The grid, the objects (polygons under lines under points), their labels, the band and the
// scale bar.
void PaintMap(HDC dc, const MapScene& scene);

// The visible object within `tolerance` of `at`: points over lines over polygons, and among
// equals the one drawn last. Null when there is none.
Map::FeaturePtr FeatureAt(const Map& map, Vertex at, double tolerance);

// "12.5 м", "0.013 км": a scale bar's length and a cursor coordinate in the chosen units.
std::wstring ScaleText(double meters, Units units);
std::wstring FormatCoordinate(double meters, Units units);

}  // namespace tellur
