#include "settings_fixture.h"

namespace zeph::settings::testing {
namespace {

using ::testing::ElementsAre;

TEST_F(SettingsTest, EnteringTheDisplayPageFillsItFromTheWorkingCopy) {
    WriteStore(ReplaceAll(DefaultStoreBytes(), "FontSize=\"8\">",
                          "FontSize=\"11\" MarginSize=\"72\" MarginBool=\"0\" GutterSize=\"25\">"));
    Open();
    ToDisplayPage();
    EXPECT_EQ(view.margin_text, "72");
    EXPECT_FALSE(view.margin_checked);
    EXPECT_FALSE(view.margin_enabled);
    EXPECT_EQ(view.gutter_text, "25");
    EXPECT_TRUE(view.gutter_checked);
    EXPECT_TRUE(view.gutter_enabled);
    // Sorted ignoring case, with "Default", each family once.
    EXPECT_THAT(view.font_names, ElementsAre("Arial", "arial", "Courier New", "Default", "Tahoma"));
    EXPECT_EQ(view.FontNameText(), "Courier New");
    EXPECT_EQ(view.font_size_text, "11");
    EXPECT_EQ(view.sample_name, "Courier New");
    EXPECT_EQ(view.sample_points, 11);
}

TEST_F(SettingsTest, TheSizeListHoldsSevenToThirtyOnceHoweverOftenThePageIsEntered) {
    Open();
    for (int i = 0; i < 3; ++i) {
        ToDisplayPage();
        ASSERT_TRUE(presenter.OptionsPageControlChanging());
        view.page = Page::kColour;
    }
    ASSERT_EQ(view.font_sizes.size(), 24u);
    EXPECT_EQ(view.font_sizes.front(), "7");
    EXPECT_EQ(view.font_sizes.back(), "30");
}

TEST_F(SettingsTest, AStoredFontNameTheSystemLacksIsShownAndWrittenBackUnlessAnotherIsPicked) {
    WriteStore(
        ReplaceAll(DefaultStoreBytes(), "FontName=\"Courier New\"", "FontName=\"Nowhere Sans\""));
    Open();
    ToDisplayPage();
    EXPECT_THAT(view.font_names,
                ElementsAre("Arial", "arial", "Courier New", "Default", "Nowhere Sans", "Tahoma"));
    EXPECT_EQ(view.FontNameText(), "Nowhere Sans");
    EXPECT_EQ(view.sample_name, "Nowhere Sans");
    EXPECT_EQ(presenter.WorkingRoot().GetAttr("FontName", "?"), "Nowhere Sans");
    ASSERT_TRUE(presenter.OptionsPageControlChanging());
    view.page = Page::kColour;
    ASSERT_TRUE(presenter.SaveAndExitButtonClick());
    EXPECT_EQ(StoredConfig()->GetAttr("FontName", "?"), "Nowhere Sans");

    ToDisplayPage();
    view.SelectFontName("Tahoma");
    presenter.FontNameComboBoxSelect();
    ASSERT_TRUE(presenter.SaveAndExitButtonClick());
    EXPECT_EQ(StoredConfig()->GetAttr("FontName", "?"), "Tahoma");
}

TEST_F(SettingsTest, AnEmptyStoredFontNameAddsNoEntry) {
    WriteStore(ReplaceAll(DefaultStoreBytes(), "FontName=\"Courier New\"", "FontName=\"\""));
    Open();
    ToDisplayPage();
    EXPECT_THAT(view.font_names, ElementsAre("Arial", "arial", "Courier New", "Default", "Tahoma"));
    EXPECT_EQ(view.font_name_index, -1);
}

TEST_F(SettingsTest, FontChoicesGoToWorkingCopySamplePanelAndPreview) {
    Open();
    ToDisplayPage();
    view.SelectFontName("Tahoma");
    view.font_size_text = "12";  // typed: takes effect at the next choice
    presenter.FontNameComboBoxSelect();
    EXPECT_EQ(presenter.WorkingRoot().GetAttr("FontName", ""), "Tahoma");
    EXPECT_EQ(presenter.WorkingRoot().GetIntAttr("FontSize", 0), 12);
    EXPECT_EQ(view.sample_name, "Tahoma");
    EXPECT_EQ(view.font, "Tahoma");
    EXPECT_EQ(view.font_points, 12);
    // Entering the page again shows the working copy's size, which a size typed before the
    // page was left has become.
    view.font_size_text = "20";
    ASSERT_TRUE(presenter.OptionsPageControlChanging());
    view.font_size_text = "";
    ToDisplayPage();
    EXPECT_EQ(view.font_size_text, "20");
}

TEST_F(SettingsTest, ASizeThatIsNoNumberIsReportedAndNothingIsWritten) {
    Open();
    ToDisplayPage();
    const std::string before = presenter.WorkingRoot().GetXml();
    view.font_size_text = "12pt";
    view.SelectFontName("Arial");
    presenter.FontSizeComboBoxSelect();
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(view.errors[0].text, "'12pt' is not a valid integer value");
    EXPECT_EQ(presenter.WorkingRoot().GetXml(), before);
    // An empty size does nothing at all.
    view.font_size_text = "";
    presenter.FontSizeComboBoxSelect();
    EXPECT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(presenter.WorkingRoot().GetXml(), before);
}

TEST_F(SettingsTest, ATypedFontSizeCountsWhenTheDialogSavesOrThePageIsLeft) {
    struct Case {
        const char* name;
        bool leave_page_first;
    };
    for (const Case& c : {Case{"saved from the display page", false},
                          Case{"saved after a return to the colour page", true}}) {
        WriteStore(DefaultStoreBytes());
        SettingsPresenter fresh{view, folder.Host()};
        fresh.Prepare("VBScriptHighlighter");
        ASSERT_TRUE(fresh.OptionsPageControlChanging());
        view.font_size_text = "12";  // typed, nothing picked from the list
        if (c.leave_page_first) {
            ASSERT_TRUE(fresh.OptionsPageControlChanging()) << c.name;
            EXPECT_EQ(view.font_points, 12) << c.name;  // the preview shows it
        }
        ASSERT_TRUE(fresh.SaveAndExitButtonClick()) << c.name;
        EXPECT_EQ(StoredConfig()->GetAttr("FontSize", ""), "12") << c.name;
        EXPECT_EQ(StoredConfig()->GetAttr("FontName", ""), "Courier New") << c.name;
        EXPECT_TRUE(view.errors.empty()) << c.name;
    }
}

TEST_F(SettingsTest, ATypedFontSizeThatIsNoNumberKeepsTheDialogOnThePageAndWritesNothing) {
    Open();
    ToDisplayPage();
    const std::string before = StoreBytes();
    const std::string working = presenter.WorkingRoot().GetXml();
    view.font_size_text = "12pt";
    EXPECT_FALSE(presenter.SaveAndExitButtonClick());
    EXPECT_FALSE(presenter.OptionsPageControlChanging());
    EXPECT_EQ(presenter.ActivePage(), Page::kDisplay);
    ASSERT_EQ(view.errors.size(), 2u);
    for (const ShownError& error : view.errors) {
        EXPECT_EQ(error.text, "'12pt' is not a valid integer value");
        EXPECT_EQ(error.caption, u8"Ошибка"_cp);
    }
    EXPECT_EQ(view.focus, "font size");
    EXPECT_EQ(StoreBytes(), before);
    EXPECT_EQ(presenter.WorkingRoot().GetXml(), working);
}

TEST_F(SettingsTest, SizeEditsStoreAtExitAndShowAtTheNextCheckBoxClick) {
    Open();
    ToDisplayPage();
    view.margin_text = "120";
    presenter.RightMarginSizeEditExit();
    EXPECT_EQ(presenter.WorkingRoot().GetAttr("MarginSize", ""), "120");
    EXPECT_EQ(view.margin, 80);  // not yet in the preview
    view.gutter_text = "50";
    presenter.LeftGutterSizeEditExit();
    view.gutter_checked = false;
    presenter.LeftGutterVisibleCheckBoxClick(false);
    EXPECT_EQ(view.margin, 120);
    EXPECT_EQ(view.gutter, 50);
    EXPECT_FALSE(view.gutter_visible);
    EXPECT_FALSE(view.gutter_enabled);
    EXPECT_EQ(presenter.WorkingRoot().GetAttr("GutterBool", ""), "False");

    view.margin_checked = false;
    presenter.RightMarginVisibleCheckBoxClick(false);
    EXPECT_EQ(view.margin, -1);
    EXPECT_TRUE(view.errors.empty());
}

TEST_F(SettingsTest, SizeEditsRefuseTextsThatNoReaderCouldTake) {
    Open();
    ToDisplayPage();
    const std::string before = presenter.WorkingRoot().GetXml();
    struct Case {
        std::string margin, gutter;
    };
    for (const Case& c : {Case{"12x", "30"}, Case{"1001", "30"}, Case{"-1", "30"}, Case{"", "30"},
                          Case{" 80", "30"}, Case{"80", "301"}, Case{"80", "99999999999"}}) {
        view.errors.clear();
        view.focus.clear();
        view.margin_text = c.margin;
        view.gutter_text = c.gutter;
        presenter.RightMarginSizeEditExit();
        presenter.LeftGutterSizeEditExit();
        ASSERT_EQ(view.errors.size(), 1u) << c.margin << " " << c.gutter;
        const bool margin_bad = c.margin != "80";
        EXPECT_EQ(view.errors[0].text,
                  std::string(margin_bad ? MarginSizeRefusal() : GutterSizeRefusal()));
        EXPECT_EQ(view.focus, margin_bad ? "margin" : "gutter");
        EXPECT_EQ(presenter.WorkingRoot().GetAttr(margin_bad ? "MarginSize" : "GutterSize", ""),
                  margin_bad ? "80" : "30");
        // Leaving the page is refused too, so the text cannot slip through.
        EXPECT_FALSE(presenter.OptionsPageControlChanging());
        EXPECT_EQ(presenter.ActivePage(), Page::kDisplay);
    }
    // The edges of the ranges are taken.
    view.margin_text = "1000";
    view.gutter_text = "0";
    EXPECT_TRUE(presenter.StoreRightMargin(true));
    EXPECT_TRUE(presenter.StoreGutter(true));
    (void)before;
}

TEST_F(SettingsTest, ACheckBoxClickWithARefusedSizeIsUndone) {
    Open();
    ToDisplayPage();
    view.margin_text = "abc";
    view.margin_checked = false;
    presenter.RightMarginVisibleCheckBoxClick(false);
    EXPECT_TRUE(view.margin_checked);
    EXPECT_TRUE(view.margin_enabled);
    EXPECT_EQ(presenter.WorkingRoot().GetAttr("MarginBool", ""), "True");
}

TEST_F(SettingsTest, SavingFromTheDisplayPageTakesTheTypedSizes) {
    Open();
    ToDisplayPage();
    view.margin_text = "100";  // Enter pressed while the edit still has the focus
    ASSERT_TRUE(presenter.SaveAndExitButtonClick());
    EXPECT_EQ(StoredConfig()->GetAttr("MarginSize", ""), "100");

    view.margin_text = "1x";
    const std::string before = StoreBytes();
    EXPECT_FALSE(presenter.SaveAndExitButtonClick());
    EXPECT_EQ(StoreBytes(), before);
}

}  // namespace
}  // namespace zeph::settings::testing
