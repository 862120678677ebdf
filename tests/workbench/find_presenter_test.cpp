// The find bar's decisions against a stand-in bar and a real editor model.
#include "workbench/find_presenter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/cp1251.h"

namespace zeph::workbench {
namespace {

using text::operator""_cp;

struct FakeBar : IFindBarView {
    std::string pattern, replacement, status = "old";
    editor::FindOptions options;
    bool shown = false;
    FindField focused = FindField::kElsewhere;

    std::string Pattern() const override { return pattern; }
    void SetPattern(const std::string& text) override { pattern = text; }
    std::string Replacement() const override { return replacement; }
    editor::FindOptions Options() const override { return options; }
    void SetStatus(const std::string& text) override { status = text; }
    bool Shown() const override { return shown; }
    void Show(bool s) override { shown = s; }
    void FocusField(FindField field) override { focused = field; }
};

struct FakeEditor : IFindTarget {
    editor::EditorModel model;
    std::vector<std::string> calls;
    editor::EditorModel& Model() override { return model; }
    void HideCompletion() override { calls.push_back("hide completion"); }
    void Sync() override { calls.push_back("sync"); }
    void Focus() override { calls.push_back("focus"); }
};

class FindPresenterTest : public ::testing::Test {
  protected:
    void SetUp() override { editor.model.SetText("Dim map\r\nmap = 1\r\nMap.Redraw\r\n"); }
    FakeBar bar;
    FakeEditor editor;
    FindPresenter find{bar, editor};
};

TEST_F(FindPresenterTest, KeysAreTheBarsAnywhereOrOnlyWhileItHasTheFocus) {
    const KeyStroke enter{vk::kReturn, kNoModifier}, esc{vk::kEscape, kNoModifier};
    const struct {
        KeyStroke key;
        bool shown;
        FindField focus;
        bool taken;
    } cases[] = {
        {{'F', kCtrl}, false, FindField::kElsewhere, true},
        {{'H', kCtrl}, false, FindField::kElsewhere, true},
        {F(3), false, FindField::kElsewhere, true},
        {{F(3).key, kShift}, false, FindField::kElsewhere, true},
        {{F(3).key, kCtrl}, true, FindField::kPattern, false},
        {enter, true, FindField::kPattern, true},
        {{vk::kReturn, kShift}, true, FindField::kReplacement, true},
        {esc, true, FindField::kOtherOfTheBar, true},
        {enter, true, FindField::kElsewhere, false},  // Enter in the editor breaks the line
        {esc, false, FindField::kPattern, false},
        {{'F', kNoModifier}, true, FindField::kPattern, false},
    };
    for (const auto& c : cases) {
        bar.shown = c.shown;
        EXPECT_EQ(find.TakesKey(c.key, c.focus), c.taken)
            << c.key.key << "/" << int(c.key.modifiers) << " focus " << int(c.focus);
    }
}

TEST_F(FindPresenterTest, OpeningSeedsThePatternAndFocusesTheFieldToType) {
    editor.model.SetCaret({1, 2});  // in "map"
    find.RunKey({'H', kCtrl}, FindField::kElsewhere);
    EXPECT_TRUE(bar.shown);
    EXPECT_EQ(bar.pattern, "map");
    EXPECT_EQ(bar.status, "");
    EXPECT_EQ(bar.focused, FindField::kReplacement);  // a pattern is there: type the replacement

    // A selection over lines is no pattern; with none, Ctrl+H starts in the pattern.
    bar = FakeBar{};
    editor.model.SetCaret({1, 0});
    editor.model.SetCaret({2, 3}, true);
    find.Open(true);
    EXPECT_EQ(bar.pattern, "");
    EXPECT_EQ(bar.focused, FindField::kPattern);
}

TEST_F(FindPresenterTest, FindingAndReplacingCloseThePopUpFirstAndSayHowItWent) {
    bar.shown = true;
    bar.pattern = "map";
    bar.replacement = "m";
    bar.options.match_case = true;
    find.RunKey(F(3), FindField::kElsewhere);
    EXPECT_EQ(editor.model.SelectedText(), "map");
    EXPECT_EQ(editor.calls, (std::vector<std::string>{"hide completion", "sync"}));
    EXPECT_EQ(bar.status, "");

    find.RunKey({vk::kReturn, kNoModifier}, FindField::kReplacement);  // replaces, finds the next
    find.ReplaceAll();
    EXPECT_EQ(editor.model.Text(), "Dim m\r\nm = 1\r\nMap.Redraw\r\n");
    EXPECT_EQ(bar.status, u8"Заменено: 1"_cp);

    bar.pattern = "absent";
    find.FindNext(true);
    EXPECT_EQ(bar.status, u8"Не найдено"_cp);

    // F3 with nothing to find opens the bar instead.
    bar.pattern.clear();
    bar.shown = false;
    editor.model.SetCaret({2, 0});
    find.RunKey(F(3), FindField::kElsewhere);
    EXPECT_TRUE(bar.shown);
    EXPECT_EQ(bar.pattern, "Map");
}

TEST_F(FindPresenterTest, EscapeHidesTheBarAndGivesTheEditorTheFocus) {
    bar.shown = true;
    find.RunKey({vk::kEscape, kNoModifier}, FindField::kPattern);
    EXPECT_FALSE(bar.shown);
    EXPECT_EQ(editor.calls, std::vector<std::string>{"focus"});
    find.Hide();  // already hidden: nothing more
    EXPECT_EQ(editor.calls.size(), 1u);
}

}  // namespace
}  // namespace zeph::workbench
