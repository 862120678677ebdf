#include "host/automation.h"

#include "base/result.h"
#include "base/window_text.h"
#include "host/dispatch.h"

#include <oleauto.h>

#include <algorithm>
#include <atomic>
#include <initializer_list>
#include <new>

namespace tellur {

using zeph::win::ComPtr;

namespace {

using namespace dispatch;

ComPtr<ITellurMapObject> WrapFeature(std::shared_ptr<Host> host, Map::FeaturePtr feature);

// Scripts pass enumerations as plain numbers: anything outside the enumeration is refused
// with `what` and the number.
template <class E>
void CheckKnown(E value, std::initializer_list<E> known, const wchar_t* what) {
    if (std::find(known.begin(), known.end(), value) == known.end())
        throw MapError(what + std::to_wstring(value));
}

// --- Style ---------------------------------------------------------------------------------

class StyleObject final : public Dispatch<ITellurStyle> {
  public:
    StyleObject(std::shared_ptr<Host> host, Map::FeaturePtr feature)
        : Dispatch(std::move(host), IID_ITellurStyle), feature_(std::move(feature)) {}

    HRESULT STDMETHODCALLTYPE get_LineColor(LONG* color) override {
        return Get(color, [&] { return static_cast<LONG>(feature_->style.lineColor); });
    }
    HRESULT STDMETHODCALLTYPE put_LineColor(LONG color) override {
        return Set([&](Style& s) { s.lineColor = Color(color); });
    }
    HRESULT STDMETHODCALLTYPE get_FillColor(LONG* color) override {
        return Get(color, [&] { return static_cast<LONG>(feature_->style.fillColor); });
    }
    HRESULT STDMETHODCALLTYPE put_FillColor(LONG color) override {
        return Set([&](Style& s) { s.fillColor = Color(color); });
    }
    HRESULT STDMETHODCALLTYPE get_LineWidth(LONG* width) override {
        return Get(width, [&] { return static_cast<LONG>(feature_->style.lineWidth); });
    }
    HRESULT STDMETHODCALLTYPE put_LineWidth(LONG width) override {
        return Set([&](Style& s) {
            if (width < 0 || width > 50)
                throw MapError(L"Толщина линии должна быть от 0 до 50 пикселей");
            s.lineWidth = width;
        });
    }
    HRESULT STDMETHODCALLTYPE get_LineStyle(TellurLineStyle* style) override {
        return Get(style, [&] { return static_cast<TellurLineStyle>(feature_->style.lineStyle); });
    }
    HRESULT STDMETHODCALLTYPE put_LineStyle(TellurLineStyle style) override {
        return Set([&](Style& s) {
            CheckKnown(style, {lsSolid, lsDash, lsDot, lsDashDot, lsNone},
                       L"Неизвестный стиль линии: ");
            s.lineStyle = static_cast<LineStyle>(style);
        });
    }
    HRESULT STDMETHODCALLTYPE get_ShowLabel(VARIANT_BOOL* show) override {
        return Get(show, [&] { return Bool(feature_->style.showLabel); });
    }
    HRESULT STDMETHODCALLTYPE put_ShowLabel(VARIANT_BOOL show) override {
        return Set([&](Style& s) { s.showLabel = show != VARIANT_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        return Set([&](Style& s) { s = DefaultStyle(feature_->kind); });
    }

  private:
    static unsigned Color(LONG value) {
        if (value < 0 || value > 0xFFFFFF)
            throw MapError(L"Цвет должен быть числом от 0 до &HFFFFFF (0x00BBGGRR)");
        return static_cast<unsigned>(value);
    }
    template <typename T, typename F>
    HRESULT Get(T* out, F&& value) {
        return Run([&] {
            CheckOut(out);
            *out = value();
        });
    }
    template <typename F>
    HRESULT Set(F&& change) {
        return Run([&] {
            Style s = feature_->style;
            change(s);
            feature_->style = s;
            if (feature_->onMap) host().map.Changed(Map::Change::Geometry);
        });
    }

    Map::FeaturePtr feature_;
};

// --- Map objects ---------------------------------------------------------------------------

template <typename I>
class FeatureObject : public Dispatch<I> {
  public:
    HRESULT STDMETHODCALLTYPE get_ID(BSTR* id) override {
        return Read(id, [&] { return AllocString(feature_->id); });
    }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
        return Read(name, [&] { return AllocString(feature_->name); });
    }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override {
        return Change([&] { feature_->name = FromBstr(name); });
    }
    HRESULT STDMETHODCALLTYPE get_Kind(TellurObjectKind* kind) override {
        return Read(kind, [&] { return static_cast<TellurObjectKind>(feature_->kind); });
    }
    HRESULT STDMETHODCALLTYPE get_Style(ITellurStyle** style) override {
        return this->Run([&] {
            CheckOut(style);
            *style = nullptr;
            Hand(ComPtr<ITellurStyle>::Attach(new StyleObject(this->shared(), feature_)), style);
        });
    }
    HRESULT STDMETHODCALLTYPE get_Selected(VARIANT_BOOL* selected) override {
        return Read(selected, [&] { return Bool(this->host().map.IsSelected(*feature_)); });
    }
    HRESULT STDMETHODCALLTYPE put_Selected(VARIANT_BOOL selected) override {
        return this->Run([&] { this->host().map.Select(feature_, selected != VARIANT_FALSE); });
    }
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* visible) override {
        return Read(visible, [&] { return Bool(feature_->visible); });
    }
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL visible) override {
        return Change([&] { feature_->visible = visible != VARIANT_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE get_Attribute(BSTR name, BSTR* value) override {
        return Read(value, [&] {
            auto it = feature_->attributes.find(FromBstr(name));
            return AllocString(it == feature_->attributes.end() ? std::wstring() : it->second);
        });
    }
    HRESULT STDMETHODCALLTYPE put_Attribute(BSTR name, BSTR value) override {
        return SetAttribute(name, value);
    }
    HRESULT STDMETHODCALLTYPE SetAttribute(BSTR name, BSTR value) override {
        return Change([&] {
            std::wstring key = FromBstr(name);
            if (key.empty()) throw MapError(L"Имя атрибута не может быть пустым");
            // An empty value removes the attribute: reading it gives the same empty text.
            if (FromBstr(value).empty())
                feature_->attributes.erase(key);
            else
                feature_->attributes[key] = FromBstr(value);
        });
    }
    HRESULT STDMETHODCALLTYPE Move(double dx, double dy) override {
        return Change([&] {
            for (Vertex& v : feature_->vertices) {
                v.x += dx;
                v.y += dy;
            }
        });
    }
    HRESULT STDMETHODCALLTYPE get_Coordinates(BSTR* coordinates) override {
        return Read(coordinates,
                    [&] { return AllocString(FormatCoordinates(feature_->vertices)); });
    }
    HRESULT STDMETHODCALLTYPE put_Coordinates(BSTR coordinates) override {
        return Change([&] {
            std::vector<Vertex> v = ParseCoordinates(FromBstr(coordinates));
            CheckVertices(feature_->kind, v, feature_->id);
            feature_->vertices = std::move(v);
        });
    }
    HRESULT STDMETHODCALLTYPE get_VertexCount(LONG* count) override {
        return Read(count, [&] { return static_cast<LONG>(feature_->vertices.size()); });
    }

  protected:
    FeatureObject(std::shared_ptr<Host> host, const IID& iid, Map::FeaturePtr feature)
        : Dispatch<I>(std::move(host), iid), feature_(std::move(feature)) {}

    bool Answers(REFIID riid) const override {
        return riid == IID_ITellurMapObject || Dispatch<I>::Answers(riid);
    }

    template <typename T, typename F>
    HRESULT Read(T* out, F&& value) {
        return this->Run([&] {
            CheckOut(out);
            *out = value();
        });
    }
    // Changes of an object removed from the map would silently go nowhere; refuse them.
    template <typename F>
    HRESULT Change(F&& change) {
        return this->Run([&] {
            if (!feature_->onMap)
                throw MapError(L"Объект \u00AB" + feature_->id + L"\u00BB удален с карты");
            change();
            this->host().map.Changed(Map::Change::Geometry);
        });
    }

    Map::FeaturePtr feature_;
};

class PointObject final : public FeatureObject<ITellurPoint> {
  public:
    PointObject(std::shared_ptr<Host> host, Map::FeaturePtr feature)
        : FeatureObject(std::move(host), IID_ITellurPoint, std::move(feature)) {}

    HRESULT STDMETHODCALLTYPE get_X(double* x) override {
        return Read(x, [&] { return feature_->vertices.at(0).x; });
    }
    HRESULT STDMETHODCALLTYPE put_X(double x) override {
        return Change([&] { feature_->vertices.at(0).x = x; });
    }
    HRESULT STDMETHODCALLTYPE get_Y(double* y) override {
        return Read(y, [&] { return feature_->vertices.at(0).y; });
    }
    HRESULT STDMETHODCALLTYPE put_Y(double y) override {
        return Change([&] { feature_->vertices.at(0).y = y; });
    }
    HRESULT STDMETHODCALLTYPE MoveTo(double x, double y) override {
        return Change([&] { feature_->vertices.at(0) = {x, y}; });
    }
};

template <typename I>
class LineObjectBase : public FeatureObject<I> {
  public:
    HRESULT STDMETHODCALLTYPE get_Length(double* length) override {
        return this->Read(length, [&] { return this->feature_->Length(); });
    }
    HRESULT STDMETHODCALLTYPE get_VertexX(LONG index, double* x) override {
        return this->Read(x, [&] { return Vertex(index).x; });
    }
    HRESULT STDMETHODCALLTYPE get_VertexY(LONG index, double* y) override {
        return this->Read(y, [&] { return Vertex(index).y; });
    }
    HRESULT STDMETHODCALLTYPE AddVertex(double x, double y) override {
        return this->Change([&] { this->feature_->vertices.push_back({x, y}); });
    }

  protected:
    using FeatureObject<I>::FeatureObject;

    bool Answers(REFIID riid) const override {
        return riid == IID_ITellurPolyline || FeatureObject<I>::Answers(riid);
    }

  private:
    const tellur::Vertex& Vertex(LONG index) const {
        const auto& v = this->feature_->vertices;
        if (index < 0 || static_cast<size_t>(index) >= v.size())
            throw MapError(L"Индекс вершины " + std::to_wstring(index) +
                           L" вне допустимого диапазона");
        return v[index];
    }
};

class LineObject final : public LineObjectBase<ITellurPolyline> {
  public:
    LineObject(std::shared_ptr<Host> host, Map::FeaturePtr feature)
        : LineObjectBase(std::move(host), IID_ITellurPolyline, std::move(feature)) {}
};

class PolygonObject final : public LineObjectBase<ITellurPolygon> {
  public:
    PolygonObject(std::shared_ptr<Host> host, Map::FeaturePtr feature)
        : LineObjectBase(std::move(host), IID_ITellurPolygon, std::move(feature)) {}

    HRESULT STDMETHODCALLTYPE get_Area(double* area) override {
        return Read(area, [&] { return feature_->Area(); });
    }
    HRESULT STDMETHODCALLTYPE Contains(double x, double y, VARIANT_BOOL* inside) override {
        return Read(inside, [&] { return Bool(PolygonContains(feature_->vertices, {x, y})); });
    }
};

ComPtr<ITellurMapObject> WrapFeature(std::shared_ptr<Host> host, Map::FeaturePtr feature) {
    if (!feature) return nullptr;
    switch (feature->kind) {
        case Kind::Point:
            return ComPtr<ITellurMapObject>::Attach(new PointObject(host, feature));
        case Kind::Line:
            return ComPtr<ITellurMapObject>::Attach(new LineObject(host, feature));
        case Kind::Polygon:
            return ComPtr<ITellurMapObject>::Attach(new PolygonObject(host, feature));
    }
    return nullptr;
}

// --- Map -----------------------------------------------------------------------------------

class MapObject final : public Dispatch<ITellurMap> {
  public:
    explicit MapObject(std::shared_ptr<Host> host) : Dispatch(std::move(host), IID_ITellurMap) {}

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
        return Run([&] {
            CheckOut(name);
            *name = AllocString(host().map.name());
        });
    }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override {
        return Run([&] { host().map.SetName(FromBstr(name)); });
    }
    HRESULT STDMETHODCALLTYPE get_FileName(BSTR* path) override {
        return Run([&] {
            CheckOut(path);
            *path = AllocString(host().map.fileName());
        });
    }
    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
        return Run([&] {
            CheckOut(count);
            *count = static_cast<LONG>(host().map.features().size());
        });
    }
    HRESULT STDMETHODCALLTYPE get_Item(LONG index, ITellurMapObject** object) override {
        return Object(object, [&] { return host().map.At(index); });
    }
    HRESULT STDMETHODCALLTYPE GetObject(BSTR id, ITellurMapObject** object) override {
        return Object(object, [&] { return host().map.Get(FromBstr(id)); });
    }
    HRESULT STDMETHODCALLTYPE FindObject(BSTR id, ITellurMapObject** object) override {
        return Object(object, [&] { return host().map.Find(FromBstr(id)); });
    }
    HRESULT STDMETHODCALLTYPE AddObject(TellurObjectKind kind, BSTR id, BSTR name, BSTR coordinates,
                                        ITellurMapObject** object) override {
        return Object(object, [&] {
            return host().map.Add(static_cast<Kind>(kind), FromBstr(id), FromBstr(name),
                                  ParseCoordinates(FromBstr(coordinates)));
        });
    }
    HRESULT STDMETHODCALLTYPE RemoveObject(BSTR id) override {
        return Run([&] { host().map.Remove(FromBstr(id)); });
    }
    HRESULT STDMETHODCALLTYPE Redraw() override {
        return Run([&] { WindowOf(host()).RedrawNow(); });
    }
    HRESULT STDMETHODCALLTYPE ZoomAll() override {
        return Run([&] { WindowOf(host()).ZoomAll(); });
    }
    HRESULT STDMETHODCALLTYPE get_Zoom(double* zoom) override {
        return Run([&] {
            CheckOut(zoom);
            *zoom = WindowOf(host()).Zoom();
        });
    }
    HRESULT STDMETHODCALLTYPE put_Zoom(double zoom) override {
        return Run([&] {
            if (!(zoom >= 1e-6 && zoom <= 1e6))
                throw MapError(L"Масштаб должен быть от 0,000001 до 1000000 пикселей на единицу");
            WindowOf(host()).SetZoom(zoom);
        });
    }
    HRESULT STDMETHODCALLTYPE Save(BSTR path) override {
        return Run([&] {
            std::wstring file = FromBstr(path);
            if (file.empty()) file = host().map.fileName();
            if (file.empty()) throw MapError(L"Не указан файл для сохранения карты");
            host().map.Save(file);
        });
    }

  private:
    template <typename F>
    HRESULT Object(ITellurMapObject** out, F&& find) {
        return Run([&] {
            CheckOut(out);
            *out = nullptr;
            Hand(WrapFeature(shared(), find()), out);
        });
    }
};

// --- Selection -----------------------------------------------------------------------------

class SelectionObject final : public Dispatch<ITellurSelection> {
  public:
    explicit SelectionObject(std::shared_ptr<Host> host)
        : Dispatch(std::move(host), IID_ITellurSelection) {}

    HRESULT STDMETHODCALLTYPE GetSelectedCount(LONG* count) override { return get_Count(count); }
    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
        return Run([&] {
            CheckOut(count);
            *count = static_cast<LONG>(map().selection().size());
        });
    }
    HRESULT STDMETHODCALLTYPE get_Item(LONG index, ITellurMapObject** object) override {
        return Run([&] {
            CheckOut(object);
            *object = nullptr;
            Hand(WrapFeature(shared(), map().SelectedAt(index)), object);
        });
    }
    HRESULT STDMETHODCALLTYPE Add(BSTR id) override {
        return Run([&] { map().Select(map().Get(FromBstr(id)), true); });
    }
    HRESULT STDMETHODCALLTYPE Remove(BSTR id) override {
        return Run([&] { map().Select(map().Get(FromBstr(id)), false); });
    }
    HRESULT STDMETHODCALLTYPE Clear() override {
        return Run([&] { map().ClearSelection(); });
    }
    HRESULT STDMETHODCALLTYPE Contains(BSTR id, VARIANT_BOOL* selected) override {
        return Run([&] {
            CheckOut(selected);
            auto f = map().Find(FromBstr(id));
            *selected = Bool(f && map().IsSelected(*f));
        });
    }
    HRESULT STDMETHODCALLTYPE SelectAll() override {
        return Run([&] { map().SetSelection(map().features()); });
    }
    HRESULT STDMETHODCALLTYPE GetSelectedID(LONG index, BSTR* id) override {
        return Run([&] {
            CheckOut(id);
            *id = nullptr;
            *id = AllocString(map().SelectedAt(index)->id);
        });
    }
    HRESULT STDMETHODCALLTYPE SelectByKind(TellurObjectKind kind) override {
        return Run([&] {
            CheckKnown(kind, {okPoint, okLine, okPolygon}, L"Неизвестный вид объекта: ");
            SelectWhere([&](const Feature& f) { return f.kind == static_cast<Kind>(kind); });
        });
    }
    HRESULT STDMETHODCALLTYPE Invert() override {
        return Run([&] { SelectWhere([&](const Feature& f) { return !map().IsSelected(f); }); });
    }
    HRESULT STDMETHODCALLTYPE get_IDs(BSTR* ids) override {
        return Run([&] {
            CheckOut(ids);
            std::wstring text;
            for (const auto& f : map().selection()) text += (text.empty() ? L"" : L",") + f->id;
            *ids = AllocString(text);
        });
    }

  private:
    Map& map() { return host().map; }

    // Makes the selection the features `keep` accepts, in the map's order.
    template <class Keep>
    void SelectWhere(Keep keep) {
        std::vector<Map::FeaturePtr> chosen;
        for (const auto& f : map().features())
            if (keep(*f)) chosen.push_back(f);
        map().SetSelection(std::move(chosen));
    }
};

// --- Main window ---------------------------------------------------------------------------

class MainWindowObject final : public Dispatch<ITellurMainWindow> {
  public:
    explicit MainWindowObject(std::shared_ptr<Host> host)
        : Dispatch(std::move(host), IID_ITellurMainWindow) {}

    HRESULT STDMETHODCALLTYPE GetWindowHandle(LONG* handle) override {
        return Run([&] {
            CheckOut(handle);
            // Window handles carry 32 significant bits on 64-bit Windows too.
            *handle = static_cast<LONG>(reinterpret_cast<INT_PTR>(WindowOf(host()).Handle()));
        });
    }
    HRESULT STDMETHODCALLTYPE get_Caption(BSTR* caption) override {
        return Run([&] {
            CheckOut(caption);
            *caption = AllocString(zeph::win::WindowText(WindowOf(host()).Handle()));
        });
    }
    HRESULT STDMETHODCALLTYPE put_Caption(BSTR caption) override {
        return Run([&] { ::SetWindowTextW(WindowOf(host()).Handle(), caption ? caption : L""); });
    }
    HRESULT STDMETHODCALLTYPE Activate() override {
        return Run([&] {
            HWND hwnd = WindowOf(host()).Handle();
            if (::IsIconic(hwnd)) ::ShowWindow(hwnd, SW_RESTORE);
            ::SetForegroundWindow(hwnd);
        });
    }
};

// --- Application ---------------------------------------------------------------------------

class ApplicationObject final : public Dispatch<ITellurApplication> {
  public:
    explicit ApplicationObject(std::shared_ptr<Host> host)
        : Dispatch(std::move(host), IID_ITellurApplication) {}

    HRESULT STDMETHODCALLTYPE GetMainWindow(ITellurMainWindow** window) override {
        return Run([&] {
            CheckOut(window);
            *window = nullptr;
            WindowOf(host());
            *window = new MainWindowObject(shared());
        });
    }
    HRESULT STDMETHODCALLTYPE GetSelection(ITellurSelection** selection) override {
        return Run([&] {
            CheckOut(selection);
            *selection = new SelectionObject(shared());
        });
    }
    HRESULT STDMETHODCALLTYPE get_Map(ITellurMap** map) override { return GetMap(map); }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
        return Run([&] {
            CheckOut(name);
            *name = AllocString(L"Теллур");
        });
    }
    HRESULT STDMETHODCALLTYPE get_Selection(ITellurSelection** selection) override {
        return GetSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE get_StatusText(BSTR* text) override {
        return Run([&] {
            CheckOut(text);
            *text = AllocString(WindowOf(host()).StatusText());
        });
    }
    HRESULT STDMETHODCALLTYPE put_StatusText(BSTR text) override {
        return Run([&] { WindowOf(host()).SetStatusText(FromBstr(text)); });
    }
    HRESULT STDMETHODCALLTYPE get_Units(TellurUnits* units) override {
        return Run([&] {
            CheckOut(units);
            *units = static_cast<TellurUnits>(WindowOf(host()).CoordinateUnits());
        });
    }
    HRESULT STDMETHODCALLTYPE put_Units(TellurUnits units) override {
        return Run([&] {
            CheckKnown(units, {unMeters, unKilometers, unFeet}, L"Неизвестные единицы измерения: ");
            WindowOf(host()).SetCoordinateUnits(static_cast<Units>(units));
        });
    }
    HRESULT STDMETHODCALLTYPE GetMap(ITellurMap** map) override {
        return Run([&] {
            CheckOut(map);
            *map = new MapObject(shared());
        });
    }
    HRESULT STDMETHODCALLTYPE OpenMap(BSTR path) override {
        return Run([&] { WindowOf(host()).OpenMap(FromBstr(path)); });
    }
    HRESULT STDMETHODCALLTYPE Log(BSTR text) override {
        return Run([&] {
            if (host().log) host().log(L"script: " + FromBstr(text));
        });
    }
    HRESULT STDMETHODCALLTYPE GetDataFolder(BSTR* folder) override {
        return Run([&] {
            CheckOut(folder);
            *folder = AllocString(host().dataFolder);
        });
    }
    HRESULT STDMETHODCALLTYPE Redraw() override {
        return Run([&] { WindowOf(host()).RedrawNow(); });
    }
};

}  // namespace

ComPtr<ITellurApplication> CreateApplication(std::shared_ptr<Host> host) {
    return ComPtr<ITellurApplication>::Attach(new ApplicationObject(std::move(host)));
}

}  // namespace tellur
