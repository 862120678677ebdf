// The map model: its file format, coordinates text, geometry and selection rules.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

#include "host/map_model.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tellur {
namespace {

std::wstring ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const MapError& e) {
        return e.message();
    }
    return L"";
}

TEST(MapFile, RoundTripKeepsEverythingIncludingAwkwardText) {
    Map map;
    map.SetName(L"Карта\tс табуляцией\\и\nпереводом строки");
    auto p = map.Add(Kind::Point, L"P 1", L"Колодец", {{1.5, -2.25}});
    p->attributes[L"Глубина"] = L"15\tм";
    p->style.showLabel = false;
    p->visible = false;
    auto a = map.Add(Kind::Polygon, L"A1", L"", {{0, 0}, {1e6, 0}, {0, 0.1}});
    a->style = {0x00112233, 0x00AABBCC, 3, LineStyle::DashDot, true};
    map.Add(Kind::Line, L"L1", L"Дорога", {{0, 0}, {3, 4}});

    Map copy;
    copy.Read(map.Write(), L"copy.tmap");
    EXPECT_EQ(copy.name(), map.name());
    ASSERT_EQ(copy.features().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const Feature& x = *map.features()[i];
        const Feature& y = *copy.features()[i];
        EXPECT_EQ(y.kind, x.kind);
        EXPECT_EQ(y.id, x.id);
        EXPECT_EQ(y.name, x.name);
        EXPECT_EQ(y.vertices, x.vertices);
        EXPECT_EQ(y.style, x.style);
        EXPECT_EQ(y.visible, x.visible);
        EXPECT_EQ(y.attributes, x.attributes);
    }
    EXPECT_EQ(copy.Write(), map.Write());
}

TEST(MapFile, ErrorsNameTheLineAndLeaveTheMapAlone) {
    Map map;
    map.Read("TELLURMAP\t1\nobject\tpoint\tP1\tА\t1 2\n", L"a.tmap");
    auto keep = map.features()[0];
    struct Case {
        const char* text;
        const wchar_t* expected;
    } cases[] = {
        {"", L"файл пуст"},
        {"name\tx\n", L"строка 1"},
        {"TELLURMAP\t1\nobject\tpoint\tP1\tA\t1 2\nobject\tline\tP1\tB\t0 0, 1 1\n", L"строка 3"},
        {"TELLURMAP\t1\n\nobject\tpoint\tP2\tA\t1,5 2\n", L"строка 3"},
        {"TELLURMAP\t1\nobject\tpoint\tP2\tA\t1 2, 3 4\n", L"ровно одну"},
        {"TELLURMAP\t1\nobject\tcircle\tC1\tA\t1 2\n", L"circle"},
        {"TELLURMAP\t1\nstyle\t#000000\t#000000\t1\t0\t1\n", L"строка 2"},
        {"TELLURMAP\t1\nobject\tpoint\tP2\tA\t1 2\nstyle\t#00000\t#000000\t1\t0\t1\n", L"стиля"},
        {"TELLURMAP\t1\nobject\tpoint\tP2\tA\t1 2\nstyle\t#000000\t#000000\t1\t4\t1\n", L"стиля"},
        {"TELLURMAP\t1\nobject\tpoint\tP2\tA\tnan 2\n", L"координаты"},
    };
    for (const Case& c : cases) {
        std::wstring error = ErrorOf([&] { map.Read(c.text, L"b.tmap"); });
        EXPECT_NE(error.find(c.expected), std::wstring::npos) << c.text << " -> " << error.size();
        ASSERT_EQ(map.features().size(), 1u);
        EXPECT_EQ(map.features()[0], keep);
        EXPECT_EQ(map.fileName(), L"a.tmap");
    }
    // A byte-order mark and CRLF line ends are fine.
    map.Read("\xEF\xBB\xBFTELLURMAP\t1\r\n# comment\r\nobject\tpoint\tP9\t\xD0\x96\t1 2\r\n",
             L"c.tmap");
    EXPECT_EQ(map.features()[0]->name, L"Ж");
    EXPECT_FALSE(keep->onMap);
}

TEST(MapFile, ASaveReplacesTheFileWholeAndAFailedOneLeavesIt) {
    const auto dir = std::filesystem::temp_directory_path() / L"tellur_map_save_карты";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::wstring file = (dir / L"карта.tmap").wstring();
    Map map;
    map.Add(Kind::Point, L"P1", L"Колодец", {{1, 2}});
    map.Save(file);
    Map loaded;
    loaded.Load(file);
    EXPECT_EQ(loaded.Write(), map.Write());

    // A map that may not be written stays as it was, and nothing is left beside it.
    map.Add(Kind::Point, L"P2", L"", {{3, 4}});
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ErrorOf([&] { map.Save(file); }), L"Не удалось записать файл карты " + file);
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    Map again;
    again.Load(file);
    EXPECT_EQ(again.Write(), loaded.Write());
    EXPECT_FALSE(std::filesystem::exists(file + L".tmp"));

    EXPECT_EQ(ErrorOf([&] { again.Load(file + L".missing"); }),
              L"Не удалось открыть файл карты " + file + L".missing");
    std::filesystem::remove_all(dir);
}

TEST(Coordinates, ParseAndFormat) {
    EXPECT_EQ(ParseCoordinates(L" 1 2,3\t-4 ,  5e2 +6 "),
              (std::vector<Vertex>{{1, 2}, {3, -4}, {500, 6}}));
    EXPECT_EQ(FormatCoordinates({{1, 2}, {0.1, -1e-7}}), L"1 2, 0.1 -1e-07");
    for (const wchar_t* bad : {L"", L"1", L"1 2,", L"1 2 3", L"a b", L"1,5 2", L"inf 1"})
        EXPECT_FALSE(ErrorOf([&] { ParseCoordinates(bad); }).empty()) << bad;
}

TEST(Geometry, LengthsAreasAndRectangles) {
    Feature square{Kind::Polygon, L"A", L"", {{0, 0}, {4, 0}, {4, 3}, {0, 3}}};
    EXPECT_EQ(square.Area(), 12);
    EXPECT_EQ(square.Length(), 14);
    Feature line{Kind::Line, L"L", L"", {{0, 0}, {3, 4}, {3, 0}}};
    EXPECT_EQ(line.Length(), 9);
    EXPECT_EQ(line.Area(), 0);
    EXPECT_TRUE(PolygonContains(square.vertices, {1, 1}));
    EXPECT_FALSE(PolygonContains(square.vertices, {5, 1}));
    EXPECT_DOUBLE_EQ(SegmentDistance({0, 5}, {-1, 0}, {1, 0}), 5);
    EXPECT_DOUBLE_EQ(SegmentDistance({4, 0}, {-1, 0}, {1, 0}), 3);  // past the end

    Bounds r;
    r.Add({1, 1});
    r.Add({2, 2});
    EXPECT_TRUE(SegmentTouchesRect({0, 0}, {3, 3}, r));      // crosses
    EXPECT_TRUE(SegmentTouchesRect({1.5, 1.5}, {9, 9}, r));  // starts inside
    EXPECT_FALSE(SegmentTouchesRect({0, 3}, {3, 2.5}, r));   // passes above
    EXPECT_TRUE(SegmentTouchesRect({0, 1.5}, {5, 1.5}, r));  // horizontal through
    EXPECT_FALSE(SegmentTouchesRect({0, 0}, {0, 5}, r));     // vertical beside
    Feature big{Kind::Polygon, L"B", L"", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}};
    EXPECT_TRUE(FeatureTouchesRect(big, r));  // the band lies inside the polygon
    Feature ring{Kind::Line, L"R", L"", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}};
    EXPECT_FALSE(FeatureTouchesRect(ring, r));  // a line is not an area
}

TEST(Selection, OrderUniquenessAndRemoval) {
    Map map;
    int changes = 0;
    map.SetListener([&](Map::Change) { ++changes; });
    auto a = map.Add(Kind::Point, L"a", L"", {{0, 0}});
    auto b = map.Add(Kind::Point, L"b", L"", {{1, 1}});
    changes = 0;
    map.SetSelection({b, a, b});
    EXPECT_EQ(map.selection(), (std::vector<Map::FeaturePtr>{b, a}));
    map.SetSelection({b, a});
    map.Select(a, true);
    EXPECT_EQ(changes, 1);  // repeating the same selection is no change
    map.Remove(L"b");
    EXPECT_EQ(map.selection(), (std::vector<Map::FeaturePtr>{a}));
    EXPECT_FALSE(ErrorOf([&] { map.Select(b, true); }).empty());
    EXPECT_FALSE(ErrorOf([&] { map.SelectedAt(1); }).empty());
    EXPECT_FALSE(ErrorOf([&] { map.Add(Kind::Point, L"", L"", {{0, 0}}); }).empty());
    EXPECT_FALSE(ErrorOf([&] { map.Add(static_cast<Kind>(9), L"z", L"", {{0, 0}}); }).empty());
}

TEST(Text, Utf8BothWays) {
    std::wstring text = L"Ж\u20AC\U0001F600a";
    EXPECT_EQ(ToUtf8(text),
              "\xD0\x96\xE2\x82\xAC\xF0\x9F\x98\x80"
              "a");
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(FromUtf8("a\xFF"
                       "b\xE2\x82"),
              L"a\uFFFDb\uFFFD\uFFFD");
}

}  // namespace
}  // namespace tellur
