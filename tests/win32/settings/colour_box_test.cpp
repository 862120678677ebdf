#include "settings/colour_box.h"

#include <gtest/gtest.h>

#include "settings/colour_list.h"

namespace zeph::win {
namespace {

class ColourBoxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(parent);
        box = std::make_unique<ColourBox>(parent, 7, RECT{10, 10, 160, 32}, nullptr);
    }
    void TearDown() override {
        box.reset();
        ::DestroyWindow(parent);
    }
    int Count() const { return static_cast<int>(::SendMessageW(box->hwnd(), CB_GETCOUNT, 0, 0)); }
    int Current() const {
        return static_cast<int>(::SendMessageW(box->hwnd(), CB_GETCURSEL, 0, 0));
    }
    HWND parent = nullptr;
    std::unique_ptr<ColourBox> box;
};

TEST_F(ColourBoxTest, ListsEveryColourAndTheCustomEntryAndStartsOnDefault) {
    EXPECT_EQ(Count(), static_cast<int>(settings::ColourList().size()) + 1);
    EXPECT_EQ(box->Selected(), editor::kDefaultColour);
}

TEST_F(ColourBoxTest, AValueOutsideTheListShowsAsTheCustomEntry) {
    box->Select(0x0000FF);
    EXPECT_EQ(box->Selected(), 0x0000FF);
    EXPECT_EQ(Current(), settings::ColourIndex(0x0000FF));
    box->Select(0x123456);
    EXPECT_EQ(Current(), Count() - 1);
    EXPECT_EQ(box->Selected(), 0x123456);
    EXPECT_EQ(box->CustomColour(), 0x123456);
    box->Select(editor::kNoColour);
    EXPECT_EQ(box->Selected(), editor::kNoColour);
    box->ClearSelection();
    EXPECT_EQ(Current(), -1);
}

TEST_F(ColourBoxTest, ChoosingAFixedEntryGivesItsValue) {
    ::SendMessageW(box->hwnd(), CB_SETCURSEL, settings::ColourIndex(editor::kNoColour), 0);
    EXPECT_EQ(box->OnSelChange(), editor::kNoColour);
}

TEST_F(ColourBoxTest, DrawsSwatchAndNameForEveryEntry) {
    // Every entry, the custom one included, paints without touching anything outside its row.
    box->Select(0x123456);
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, 150, 20);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    for (int i = 0; i < Count(); ++i) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_COMBOBOX;
        item.itemID = static_cast<UINT>(i);
        item.itemData = static_cast<ULONG_PTR>(::SendMessageW(box->hwnd(), CB_GETITEMDATA, i, 0));
        item.hDC = dc;
        item.rcItem = {0, 0, 150, 20};
        box->DrawItem(item);
        const COLORREF inside = ::GetPixel(dc, 8, 10);
        if (i == settings::ColourIndex(0x0000FF)) EXPECT_EQ(inside, RGB(255, 0, 0));
        if (i == Count() - 1) EXPECT_EQ(inside, RGB(0x56, 0x34, 0x12));
    }
    ::SelectObject(dc, old);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
}

}  // namespace
}  // namespace zeph::win
