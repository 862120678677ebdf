// The main window driven by real window messages: clicks, Ctrl+clicks and the rubber band
// select objects, and the status bar and title follow the map.
#include <gtest/gtest.h>

#include "host_fixture.h"

#include <commctrl.h>

#include "host/resource.h"

namespace tellur::testing {
namespace {

class WindowTest : public HostTest {
  protected:
    void Press(POINT p, WPARAM keys = 0) {
        ::SendMessageW(window_->mapView(), WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(p.x, p.y));
    }
    void Release(POINT p, WPARAM keys = 0) {
        ::SendMessageW(window_->mapView(), WM_LBUTTONUP, keys, MAKELPARAM(p.x, p.y));
    }
    void Click(Vertex at, WPARAM keys = 0) {
        POINT p = window_->ToClient(at);
        Press(p, keys);
        Release(p, keys);
    }
    void Band(Vertex from, Vertex to, WPARAM keys = 0) {
        POINT a = window_->ToClient(from), b = window_->ToClient(to);
        Press(a, keys);
        ::SendMessageW(window_->mapView(), WM_MOUSEMOVE, MK_LBUTTON | keys,
                       MAKELPARAM((a.x + b.x) / 2, (a.y + b.y) / 2));
        ::SendMessageW(window_->mapView(), WM_MOUSEMOVE, MK_LBUTTON | keys, MAKELPARAM(b.x, b.y));
        Release(b, keys);
    }
    std::wstring Selected() const {
        std::wstring ids;
        for (const auto& f : host_->map.selection()) ids += (ids.empty() ? L"" : L",") + f->id;
        return ids;
    }
    std::wstring StatusPart(int part) const {
        wchar_t text[256] = L"";
        ::SendMessageW(window_->statusBar(), SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
        return text;
    }
};

TEST_F(WindowTest, ClicksSelectAndCtrlClicksToggle) {
    Click({10, 10});
    EXPECT_EQ(Selected(), L"P1");
    EXPECT_EQ(StatusPart(1), L"Выделено: 1");
    Click({90, 90}, MK_CONTROL);
    EXPECT_EQ(Selected(), L"P1,P2");
    EXPECT_EQ(StatusPart(1), L"Выделено: 2");
    Click({10, 10}, MK_CONTROL);
    EXPECT_EQ(Selected(), L"P2");
    Click({50, 50});  // on the line
    EXPECT_EQ(Selected(), L"L1");
    Click({80, 20});  // inside the polygon
    EXPECT_EQ(Selected(), L"A1");
    Click({30, 20});  // empty ground
    EXPECT_EQ(Selected(), L"");
    EXPECT_EQ(StatusPart(1), L"Выделено: 0");
    EXPECT_EQ(StatusPart(0), L"Объектов: 4");
}

TEST_F(WindowTest, RubberBandSelectsWhatItTouches) {
    Band({55, -5}, {105, 45});  // the polygon only; the line is above the band
    EXPECT_EQ(Selected(), L"A1");
    Band({-5, 5}, {15, 60}, MK_CONTROL);  // adds the point and the line it crosses
    EXPECT_EQ(Selected(), L"A1,P1,L1");
    Band({70, 10}, {80, 20});  // drawn wholly inside the polygon
    EXPECT_EQ(Selected(), L"A1");
    Band({20, 60}, {40, 80});  // nothing there
    EXPECT_EQ(Selected(), L"");
}

TEST_F(WindowTest, MenuCommandsKeysAndTitle) {
    ::SendMessageW(frame_, WM_COMMAND, IDM_SELECT_ALL, 0);
    EXPECT_EQ(Selected(), L"P1,P2,L1,A1");
    ::SendMessageW(window_->mapView(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(Selected(), L"");
    ::SendMessageW(frame_, WM_COMMAND, IDM_INVERT_SELECTION, 0);
    EXPECT_EQ(Selected(), L"P1,P2,L1,A1");

    wchar_t title[128];
    ::GetWindowTextW(frame_, title, 128);
    EXPECT_STREQ(title, L"Проба — Теллур");
    BSTR name = ::SysAllocString(L"Карта района");
    ComPtr<ITellurMap> map;
    app_->GetMap(map.put());
    map->put_Name(name);
    ::SysFreeString(name);
    ::GetWindowTextW(frame_, title, 128);
    EXPECT_STREQ(title, L"Карта района — Теллур");

    BSTR text = ::SysAllocString(L"Готово");
    ASSERT_EQ(app_->put_StatusText(text), S_OK);
    ::SysFreeString(text);
    EXPECT_EQ(StatusPart(3), L"Готово");
}

TEST_F(WindowTest, ZoomKeepsClicksOnTarget) {
    ComPtr<ITellurMap> map;
    app_->GetMap(map.put());
    double zoom = 0;
    map->get_Zoom(&zoom);
    ASSERT_EQ(map->put_Zoom(zoom * 3), S_OK);
    EXPECT_EQ(map->put_Zoom(-1), E_INVALIDARG);
    Click({90, 90});
    EXPECT_EQ(Selected(), L"P2");
    ASSERT_EQ(map->ZoomAll(), S_OK);
    Click({10, 10});
    EXPECT_EQ(Selected(), L"P1");
}

}  // namespace
}  // namespace tellur::testing
