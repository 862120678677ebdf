#include "host/map_model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "xml/xml.h"

namespace tellur {

namespace {

std::wstring IdText(std::wstring_view id) {
    return L"\u00AB" + std::wstring(id) + L"\u00BB";
}

[[noreturn]] void NotFound(std::wstring_view id) {
    throw MapError(L"На карте нет объекта " + IdText(id));
}

[[noreturn]] void BadIndex(long index) {
    throw MapError(L"Индекс " + std::to_wstring(index) + L" вне допустимого диапазона");
}

std::string Narrow7(std::wstring_view s) {
    std::string r;
    for (wchar_t c : s) r += c < 0x80 ? static_cast<char>(c) : '?';
    return r;
}

bool ParseDouble(std::wstring_view text, double* value) {
    std::string s = Narrow7(text);
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (first != last && *first == '+') ++first;
    auto [ptr, ec] = std::from_chars(first, last, *value);
    return ec == std::errc() && ptr == last && std::isfinite(*value);
}

std::wstring_view Trim(std::wstring_view s) {
    while (!s.empty() && (s.front() == L' ' || s.front() == L'\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == L' ' || s.back() == L'\t')) s.remove_suffix(1);
    return s;
}

// Fields of a map file line are tab-separated; these escapes keep any text on one line: each
// character on the left is written as a backslash and the letter on the right.
constexpr std::pair<wchar_t, wchar_t> kEscapes[] = {
    {L'\\', L'\\'}, {L'\t', L't'}, {L'\n', L'n'}, {L'\r', L'r'}};

std::wstring Escape(std::wstring_view s) {
    std::wstring r;
    for (wchar_t c : s) {
        auto e = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                              [c](const auto& pair) { return pair.first == c; });
        if (e == std::end(kEscapes)) {
            r += c;
        } else {
            r += L'\\';
            r += e->second;
        }
    }
    return r;
}

// A backslash before any other letter is dropped; one at the very end stays.
std::wstring Unescape(std::wstring_view s) {
    std::wstring r;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != L'\\' || i + 1 == s.size()) {
            r += s[i];
            continue;
        }
        const wchar_t letter = s[++i];
        auto e = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                              [letter](const auto& pair) { return pair.second == letter; });
        r += e == std::end(kEscapes) ? letter : e->first;
    }
    return r;
}

std::vector<std::wstring_view> SplitTabs(std::wstring_view line) {
    std::vector<std::wstring_view> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find(L'\t', start);
        fields.push_back(line.substr(start, tab == std::wstring_view::npos ? tab : tab - start));
        if (tab == std::wstring_view::npos) return fields;
        start = tab + 1;
    }
}

std::wstring FormatColor(unsigned bgr) {
    wchar_t buf[16];
    swprintf(buf, 16, L"#%02X%02X%02X", bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
    return buf;
}

bool ParseColor(std::wstring_view s, unsigned* bgr) {
    if (s.size() != 7 || s[0] != L'#') return false;
    unsigned rgb = 0;
    for (wchar_t c : s.substr(1)) {
        int d = c >= L'0' && c <= L'9'   ? c - L'0'
                : c >= L'A' && c <= L'F' ? c - L'A' + 10
                : c >= L'a' && c <= L'f' ? c - L'a' + 10
                                         : -1;
        if (d < 0) return false;
        rgb = rgb * 16 + d;
    }
    *bgr = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    return true;
}

bool ParseInt(std::wstring_view s, int* value) {
    std::string n = Narrow7(s);
    auto [ptr, ec] = std::from_chars(n.data(), n.data() + n.size(), *value);
    return ec == std::errc() && ptr == n.data() + n.size() && !n.empty();
}

}  // namespace

void Bounds::Add(Vertex v) {
    if (empty) {
        minX = maxX = v.x;
        minY = maxY = v.y;
        empty = false;
        return;
    }
    minX = std::min(minX, v.x);
    maxX = std::max(maxX, v.x);
    minY = std::min(minY, v.y);
    maxY = std::max(maxY, v.y);
}

Style DefaultStyle(Kind kind) {
    switch (kind) {
        case Kind::Point:
            return {0x00202080, 0x003040E0, 1, LineStyle::Solid, true};
        case Kind::Line:
            return {0x00306090, 0x00FFFFFF, 2, LineStyle::Solid, true};
        case Kind::Polygon:
            return {0x00327D2E, 0x00A7D6A5, 1, LineStyle::Solid, true};
    }
    return {};
}

Bounds Feature::Extent() const {
    Bounds b;
    for (const Vertex& v : vertices) b.Add(v);
    return b;
}

double Feature::Length() const {
    double total = 0;
    for (size_t i = 1; i < vertices.size(); ++i)
        total += std::hypot(vertices[i].x - vertices[i - 1].x, vertices[i].y - vertices[i - 1].y);
    if (kind == Kind::Polygon && vertices.size() > 2)
        total += std::hypot(vertices.front().x - vertices.back().x,
                            vertices.front().y - vertices.back().y);
    return kind == Kind::Point ? 0 : total;
}

double Feature::Area() const {
    if (kind != Kind::Polygon) return 0;
    double twice = 0;
    for (size_t i = 0, n = vertices.size(); i < n; ++i) {
        const Vertex& a = vertices[i];
        const Vertex& b = vertices[(i + 1) % n];
        twice += a.x * b.y - b.x * a.y;
    }
    return std::fabs(twice) / 2;
}

void CheckVertices(Kind kind, const std::vector<Vertex>& vertices, std::wstring_view id) {
    size_t n = vertices.size();
    if (kind == Kind::Point && n != 1)
        throw MapError(L"Точка " + IdText(id) + L" должна иметь ровно одну вершину");
    if (kind == Kind::Line && n < 2)
        throw MapError(L"Линия " + IdText(id) + L" должна иметь не меньше двух вершин");
    if (kind == Kind::Polygon && n < 3)
        throw MapError(L"Полигон " + IdText(id) + L" должен иметь не меньше трех вершин");
}

std::vector<Vertex> ParseCoordinates(std::wstring_view text) {
    std::vector<Vertex> result;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(L',', start);
        std::wstring_view pair =
            Trim(text.substr(start, comma == std::wstring_view::npos ? comma : comma - start));
        size_t blank = pair.find_first_of(L" \t");
        Vertex v;
        if (blank == std::wstring_view::npos || !ParseDouble(pair.substr(0, blank), &v.x) ||
            !ParseDouble(Trim(pair.substr(blank)), &v.y))
            throw MapError(L"Неверные координаты: \u00AB" + std::wstring(pair) +
                           L"\u00BB (ожидается \u00ABx y, x y, ...\u00BB)");
        result.push_back(v);
        if (comma == std::wstring_view::npos) break;
        start = comma + 1;
    }
    return result;
}

std::wstring FormatNumber(double value) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return std::wstring(buf, ptr);
}

std::wstring FormatCoordinates(const std::vector<Vertex>& vertices) {
    std::wstring r;
    for (const Vertex& v : vertices) {
        if (!r.empty()) r += L", ";
        r += FormatNumber(v.x) + L" " + FormatNumber(v.y);
    }
    return r;
}

std::wstring_view KindWord(Kind kind) {
    switch (kind) {
        case Kind::Point:
            return L"point";
        case Kind::Line:
            return L"line";
        case Kind::Polygon:
            return L"polygon";
    }
    return L"";
}

bool PolygonContains(const std::vector<Vertex>& ring, Vertex p) {
    bool inside = false;
    for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const Vertex& a = ring[i];
        const Vertex& b = ring[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x)
            inside = !inside;
    }
    return inside;
}

double SegmentDistance(Vertex p, Vertex a, Vertex b) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double len2 = dx * dx + dy * dy;
    double t = len2 == 0 ? 0 : std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

bool SegmentTouchesRect(Vertex a, Vertex b, const Bounds& r) {
    // Liang-Barsky clipping: the segment touches the rectangle when some part survives.
    double t0 = 0, t1 = 1;
    double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - r.minX, r.maxX - a.x, a.y - r.minY, r.maxY - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    return true;
}

bool FeatureTouchesRect(const Feature& f, const Bounds& r) {
    const auto& v = f.vertices;
    if (v.empty()) return false;
    if (v.size() == 1) return SegmentTouchesRect(v[0], v[0], r);
    for (size_t i = 1; i < v.size(); ++i)
        if (SegmentTouchesRect(v[i - 1], v[i], r)) return true;
    if (f.kind == Kind::Polygon) {
        if (SegmentTouchesRect(v.back(), v.front(), r)) return true;
        // A band drawn wholly inside the polygon.
        return PolygonContains(v, {r.minX, r.minY});
    }
    return false;
}

void Map::SetName(std::wstring name) {
    name_ = std::move(name);
    Changed(Change::Everything);
}

Map::FeaturePtr Map::Find(std::wstring_view id) const {
    for (const FeaturePtr& f : features_)
        if (f->id == id) return f;
    return nullptr;
}

Map::FeaturePtr Map::Get(std::wstring_view id) const {
    FeaturePtr f = Find(id);
    if (!f) NotFound(id);
    return f;
}

Map::FeaturePtr Map::At(long index) const {
    if (index < 0 || static_cast<size_t>(index) >= features_.size()) BadIndex(index);
    return features_[index];
}

Map::FeaturePtr Map::Add(Kind kind, std::wstring id, std::wstring name,
                         std::vector<Vertex> vertices) {
    if (kind != Kind::Point && kind != Kind::Line && kind != Kind::Polygon)
        throw MapError(L"Неизвестный вид объекта: " + std::to_wstring(static_cast<int>(kind)));
    if (id.empty()) throw MapError(L"Идентификатор объекта не может быть пустым");
    if (Find(id)) throw MapError(L"На карте уже есть объект " + IdText(id));
    CheckVertices(kind, vertices, id);
    auto f = std::make_shared<Feature>();
    f->kind = kind;
    f->id = std::move(id);
    f->name = std::move(name);
    f->vertices = std::move(vertices);
    f->style = DefaultStyle(kind);
    f->onMap = true;
    features_.push_back(f);
    Changed(Change::Geometry);
    return f;
}

void Map::Remove(std::wstring_view id) {
    FeaturePtr f = Get(id);
    f->onMap = false;
    std::erase(features_, f);
    std::erase(selection_, f);
    Changed(Change::Everything);
}

Bounds Map::Extent() const {
    Bounds b;
    for (const FeaturePtr& f : features_)
        for (const Vertex& v : f->vertices) b.Add(v);
    return b;
}

bool Map::IsSelected(const Feature& f) const {
    return std::any_of(selection_.begin(), selection_.end(),
                       [&](const FeaturePtr& s) { return s.get() == &f; });
}

void Map::Select(const FeaturePtr& f, bool on) {
    if (!f->onMap) throw MapError(L"Объект " + IdText(f->id) + L" удален с карты");
    bool selected = IsSelected(*f);
    if (on == selected) return;
    if (on)
        selection_.push_back(f);
    else
        std::erase(selection_, f);
    Changed(Change::Selection);
}

void Map::ClearSelection() {
    if (selection_.empty()) return;
    selection_.clear();
    Changed(Change::Selection);
}

void Map::SetSelection(std::vector<FeaturePtr> features) {
    std::vector<FeaturePtr> unique;
    for (FeaturePtr& f : features)
        if (f->onMap && std::find(unique.begin(), unique.end(), f) == unique.end())
            unique.push_back(std::move(f));
    if (unique == selection_) return;
    selection_ = std::move(unique);
    Changed(Change::Selection);
}

Map::FeaturePtr Map::SelectedAt(long index) const {
    if (index < 0 || static_cast<size_t>(index) >= selection_.size()) BadIndex(index);
    return selection_[index];
}

void Map::Load(const std::wstring& path) {
    std::string bytes;
    try {
        bytes = zeph::xml::ReadAll(zeph::xml::PlatformFileSystem(), std::filesystem::path(path));
    } catch (const std::exception&) {
        throw MapError(L"Не удалось открыть файл карты " + path);
    }
    Read(bytes, path);
}

void Map::Save(const std::wstring& path) {
    const std::string text = Write();
    // The new map takes the old one's place only when it is complete on the disk: a full disk
    // or a crash in mid-write leaves the old map as it was.
    try {
        zeph::xml::WriteSafely(zeph::xml::PlatformFileSystem(), std::filesystem::path(path), text);
    } catch (const std::exception&) {
        throw MapError(L"Не удалось записать файл карты " + path);
    }
    fileName_ = path;
    Changed(Change::Everything);
}

void Map::Read(std::string_view utf8, const std::wstring& fileName) {
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
    std::wstring text = FromUtf8(utf8);
    Map loaded;
    FeaturePtr last;
    size_t lineNo = 0;
    std::wstring_view rest = text;
    auto fail = [&](const std::wstring& what) {
        throw MapError(L"Ошибка в файле карты " + fileName + L", строка " +
                       std::to_wstring(lineNo) + L": " + what);
    };
    bool sawHeader = false;
    while (!rest.empty()) {
        size_t nl = rest.find(L'\n');
        std::wstring_view line = rest.substr(0, nl);
        rest = nl == std::wstring_view::npos ? std::wstring_view() : rest.substr(nl + 1);
        ++lineNo;
        if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
        if (Trim(line).empty() || line.front() == L'#') continue;
        auto f = SplitTabs(line);
        if (!sawHeader) {
            if (f[0] != L"TELLURMAP" || f.size() < 2 || f[1] != L"1")
                fail(L"это не файл карты Теллура (нет заголовка TELLURMAP 1)");
            sawHeader = true;
            continue;
        }
        try {
            if (f[0] == L"name" && f.size() == 2) {
                loaded.name_ = Unescape(f[1]);
            } else if (f[0] == L"object" && f.size() == 5) {
                Kind kind;
                if (f[1] == L"point")
                    kind = Kind::Point;
                else if (f[1] == L"line")
                    kind = Kind::Line;
                else if (f[1] == L"polygon")
                    kind = Kind::Polygon;
                else
                    fail(L"неизвестный вид объекта \u00AB" + std::wstring(f[1]) + L"\u00BB");
                last = loaded.Add(kind, Unescape(f[2]), Unescape(f[3]), ParseCoordinates(f[4]));
            } else if (f[0] == L"style" && f.size() == 6 && last) {
                Style s;
                int width = 0, pen = 0, label = 0;
                if (!ParseColor(f[1], &s.lineColor) || !ParseColor(f[2], &s.fillColor) ||
                    !ParseInt(f[3], &width) || width < 0 || width > 50 || !ParseInt(f[4], &pen) ||
                    pen < 0 || pen > 5 || pen == 4 || !ParseInt(f[5], &label))
                    fail(L"неверная запись стиля");
                s.lineWidth = width;
                s.lineStyle = static_cast<LineStyle>(pen);
                s.showLabel = label != 0;
                last->style = s;
            } else if (f[0] == L"hidden" && f.size() == 1 && last) {
                last->visible = false;
            } else if (f[0] == L"attr" && f.size() == 3 && last) {
                last->attributes[Unescape(f[1])] = Unescape(f[2]);
            } else {
                fail(L"непонятная запись \u00AB" + std::wstring(f[0]) + L"\u00BB");
            }
        } catch (const MapError& e) {
            if (e.message().rfind(L"Ошибка в файле карты", 0) == 0) throw;
            fail(e.message());
        }
    }
    if (!sawHeader) fail(L"файл пуст");
    for (FeaturePtr& old : features_) old->onMap = false;
    name_ = std::move(loaded.name_);
    features_ = std::move(loaded.features_);
    selection_.clear();
    fileName_ = fileName;
    Changed(Change::Everything);
}

std::string Map::Write() const {
    std::wstring out = L"TELLURMAP\t1\n";
    out += L"name\t" + Escape(name_) + L"\n";
    for (const FeaturePtr& f : features_) {
        out += L"object\t" + std::wstring(KindWord(f->kind)) + L"\t" + Escape(f->id) + L"\t" +
               Escape(f->name) + L"\t" + FormatCoordinates(f->vertices) + L"\n";
        const Style& s = f->style;
        out += L"style\t" + FormatColor(s.lineColor) + L"\t" + FormatColor(s.fillColor) + L"\t" +
               std::to_wstring(s.lineWidth) + L"\t" +
               std::to_wstring(static_cast<int>(s.lineStyle)) + L"\t" +
               (s.showLabel ? L"1" : L"0") + L"\n";
        if (!f->visible) out += L"hidden\n";
        for (const auto& [key, value] : f->attributes)
            out += L"attr\t" + Escape(key) + L"\t" + Escape(value) + L"\n";
    }
    return ToUtf8(out);
}

std::string ToUtf8(std::wstring_view text) {
    std::string r;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        if (c < 0x80) {
            r += static_cast<char>(c);
        } else if (c < 0x800) {
            r += static_cast<char>(0xC0 | (c >> 6));
            r += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            r += static_cast<char>(0xE0 | (c >> 12));
            r += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            r += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            r += static_cast<char>(0xF0 | (c >> 18));
            r += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            r += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            r += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return r;
}

std::wstring FromUtf8(std::string_view text) {
    std::wstring r;
    for (size_t i = 0; i < text.size();) {
        unsigned char b = text[i];
        int extra = b < 0x80             ? 0
                    : (b & 0xE0) == 0xC0 ? 1
                    : (b & 0xF0) == 0xE0 ? 2
                    : (b & 0xF8) == 0xF0 ? 3
                                         : -1;
        char32_t c = extra == 0   ? b
                     : extra == 1 ? (b & 0x1F)
                     : extra == 2 ? (b & 0x0F)
                                  : (b & 0x07);
        bool ok = extra >= 0;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                ok = false;
            else
                c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (!ok) {
            r += L'\uFFFD';
            ++i;
            continue;
        }
        i += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            r += static_cast<wchar_t>(0xD800 + (c >> 10));
            r += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
        } else {
            r += static_cast<wchar_t>(c);
        }
    }
    return r;
}

}  // namespace tellur
