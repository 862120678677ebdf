// The map that Tellur shows and scripts change: points, lines and polygons with identifiers,
// names, drawing styles and free text attributes, plus the ordered selection. Plain C++; the
// window and the automation objects are views of it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tellur {

// Errors of the model carry the user's text (Russian, UTF-16).
class MapError : public std::runtime_error {
  public:
    explicit MapError(std::wstring message)
        : std::runtime_error("map error"), message_(std::move(message)) {}
    const std::wstring& message() const noexcept { return message_; }

  private:
    std::wstring message_;
};

// Values match the type library's enumerations.
enum class Kind { Point = 1, Line = 2, Polygon = 3 };
enum class LineStyle { Solid = 0, Dash = 1, Dot = 2, DashDot = 3, None = 5 };
enum class Units { Meters = 0, Kilometers = 1, Feet = 2 };

struct Vertex {
    double x = 0;
    double y = 0;
    bool operator==(const Vertex&) const = default;
};

struct Bounds {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool empty = true;
    void Add(Vertex v);
};

struct Style {
    unsigned lineColor = 0;  // 0x00BBGGRR
    unsigned fillColor = 0;
    int lineWidth = 1;
    LineStyle lineStyle = LineStyle::Solid;
    bool showLabel = true;
    bool operator==(const Style&) const = default;
};

Style DefaultStyle(Kind kind);

struct Feature {
    Kind kind = Kind::Point;
    std::wstring id;
    std::wstring name;
    std::vector<Vertex> vertices;
    Style style;
    bool visible = true;
    std::map<std::wstring, std::wstring> attributes;
    bool onMap = false;  // false once removed: automation objects may outlive their place

    Bounds Extent() const;
    double Length() const;  // a polygon's is its perimeter
    double Area() const;    // 0 for points and lines
};

// Vertex count a kind accepts; throws MapError naming the object otherwise.
void CheckVertices(Kind kind, const std::vector<Vertex>& vertices, std::wstring_view id);

// "x y, x y, ..." with '.' decimals, whatever the locale.
std::vector<Vertex> ParseCoordinates(std::wstring_view text);
std::wstring FormatCoordinates(const std::vector<Vertex>& vertices);
std::wstring FormatNumber(double value);

std::wstring_view KindWord(Kind kind);

// Geometry for hit testing and the rubber band.
bool PolygonContains(const std::vector<Vertex>& ring, Vertex p);
double SegmentDistance(Vertex p, Vertex a, Vertex b);
bool SegmentTouchesRect(Vertex a, Vertex b, const Bounds& rect);
bool FeatureTouchesRect(const Feature& f, const Bounds& rect);

class Map {
  public:
    enum class Change { Geometry, Selection, Everything };
    using FeaturePtr = std::shared_ptr<Feature>;

    const std::wstring& name() const noexcept { return name_; }
    void SetName(std::wstring name);
    const std::wstring& fileName() const noexcept { return fileName_; }

    const std::vector<FeaturePtr>& features() const noexcept { return features_; }
    FeaturePtr Find(std::wstring_view id) const;
    FeaturePtr Get(std::wstring_view id) const;  // throws "not found"
    FeaturePtr At(long index) const;             // throws "index out of range"
    FeaturePtr Add(Kind kind, std::wstring id, std::wstring name, std::vector<Vertex> vertices);
    void Remove(std::wstring_view id);
    Bounds Extent() const;

    // Selection, in the order objects were selected.
    const std::vector<FeaturePtr>& selection() const noexcept { return selection_; }
    bool IsSelected(const Feature& f) const;
    void Select(const FeaturePtr& f, bool on);
    void ClearSelection();
    void SetSelection(std::vector<FeaturePtr> features);
    FeaturePtr SelectedAt(long index) const;  // throws "index out of range"

    // Every change ends in one call of the listener (the window repaints).
    void SetListener(std::function<void(Change)> listener) { listener_ = std::move(listener); }
    void Changed(Change change) const {
        if (listener_) listener_(change);
    }

    // Map files: UTF-8 text, one record per line, tab-separated fields. Load replaces the
    // whole map only when the file reads without error.
    void Load(const std::wstring& path);
    void Save(const std::wstring& path);
    void Read(std::string_view utf8, const std::wstring& fileName);
    std::string Write() const;

  private:
    std::wstring name_;
    std::wstring fileName_;
    std::vector<FeaturePtr> features_;
    std::vector<FeaturePtr> selection_;
    std::function<void(Change)> listener_;
};

// UTF-8 <-> UTF-16 for files and logs.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

}  // namespace tellur
