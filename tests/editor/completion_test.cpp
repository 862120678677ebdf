// The completion pop-up's model: opening, filtering, keys while open, accepting, cancelling
// and the trigger-character delay.
#include <gtest/gtest.h>

#include "doc_notation.h"
#include "editor/completion_popup_model.h"
#include "text/cp1251.h"

namespace zeph::editor {
namespace {

using testing::Dump;
using testing::Load;
using text::operator""_cp;

struct PopupFixture : ::testing::Test {
    EditorModel editor{EditorOptions::ScriptEditor()};
    CompletionModel popup{editor};
    std::vector<std::string> events;
    std::string seen_input;
    bool timer = false;

    void SetUp() override {
        popup.on_execute = [this](CompletionModel& p, ProposalExecuteArgs& a) {
            events.push_back("execute");
            seen_input = a.current_input;
            p.ClearList();
            p.AddItem("property\tName\t:String;", "Name");
            p.AddItem("function\tNameOf\t(Index: Long): String;", "NameOf()");
            p.AddItem("procedure\tRefresh\t;", "Refresh");
            p.AddItem("constant\tnoInsert\t;", "");
        };
        popup.on_code_completion = [this](CompletionModel& p, ProposalAcceptArgs& a) {
            events.push_back("accept:" + a.value);
            p.ClearList();
            p.ResetFilteredToItems();
        };
        popup.on_cancelled = [this](CompletionModel& p) {
            events.push_back("cancel");
            p.ClearList();
            p.ResetFilteredToItems();
        };
        popup.on_timer = [this](bool run, int ms) {
            EXPECT_EQ(ms, 1000);
            timer = run;
        };
    }

    // What the window does with a typed character.
    void Type(std::string_view s) {
        for (char c : s)
            if (!popup.CharTyped(c)) editor.TypeChar(c);
    }
    void Key(int key, unsigned mods = 0) {
        if (!popup.KeyDown(key, mods)) editor.ExecuteKey(key, mods);
    }
    std::vector<std::string> Shown() {
        std::vector<std::string> out;
        for (int i : popup.ShownItems())
            out.push_back(std::string(SplitPrettyText(popup.ItemList()[i]).bold));
        return out;
    }
};

TEST_F(PopupFixture, CtrlSpaceOpensWithTheInputBeforeTheCaret) {
    Load(editor, "x = obj.na|");
    Key(vk::kSpace, kCtrl);
    ASSERT_TRUE(popup.IsOpen());
    EXPECT_EQ(seen_input, "na");
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Name", "NameOf"}));
    EXPECT_EQ(popup.SelectedIndex(), 0);
}

TEST_F(PopupFixture, InputStopsAtEndOfTokenCharactersAndBlanks) {
    for (auto [doc, want] :
         {std::pair{"f(ab|", "ab"}, {"a b|", "b"}, {"\tq|", "q"}, {"x]|", ""}, {"ab~~|", ""}}) {
        Load(editor, doc);
        popup.Execute();
        EXPECT_EQ(seen_input, want) << doc;
        popup.Cancel();
    }
}

TEST_F(PopupFixture, TypingFiltersIgnoringCaseAndBackspaceWidens) {
    Load(editor, "obj.|");
    popup.Execute();
    EXPECT_EQ(Shown().size(), 4u);
    Type("NAMEo");
    EXPECT_EQ(Shown(), (std::vector<std::string>{"NameOf"}));
    EXPECT_EQ(Dump(editor), "obj.NAMEo|");
    Key(vk::kBack);
    EXPECT_EQ(popup.CurrentInput(), "NAME");
    EXPECT_EQ(Shown().size(), 2u);
    EXPECT_EQ(Dump(editor), "obj.NAME|");
    Type("x");
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(popup.SelectedIndex(), -1);
}

TEST_F(PopupFixture, EnterAcceptsReplacingTheTypedWord) {
    Load(editor, "obj.na|");
    popup.Execute();
    Key(vk::kDown);
    Key(vk::kReturn);
    EXPECT_FALSE(popup.IsOpen());
    EXPECT_EQ(Dump(editor), "obj.NameOf()|");
    EXPECT_EQ(events.back(), "accept:NameOf()");
    EXPECT_TRUE(popup.ItemList().empty());
}

TEST_F(PopupFixture, EndOfTokenCharacterAcceptsThenIsTyped) {
    Load(editor, "obj.re|");
    popup.Execute();
    Type("(");
    EXPECT_FALSE(popup.IsOpen());
    EXPECT_EQ(Dump(editor), "obj.Refresh(|");
    Load(editor, "obj.|");
    popup.Execute();
    Type(" ");
    EXPECT_EQ(Dump(editor), "obj.Name |");
}

TEST_F(PopupFixture, EmptyInsertEntryOrEmptyListLeavesTheText) {
    Load(editor, "obj.no|");
    popup.Execute();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"noInsert"}));
    Key(vk::kTab);
    EXPECT_EQ(Dump(editor), "obj.|");  // the insert entry is empty text

    popup.on_execute = [](CompletionModel& p, ProposalExecuteArgs&) { p.ClearList(); };
    Load(editor, "obj.zz|");
    EXPECT_FALSE(popup.Execute());  // nothing to offer: it stays closed
    EXPECT_FALSE(popup.IsOpen());
    EXPECT_EQ(Dump(editor), "obj.zz|");

    // Lines there are, but the typed word matches none of them.
    popup.on_execute = nullptr;
    Load(editor, "obj.zz|");
    EXPECT_FALSE(popup.Execute());
    EXPECT_FALSE(popup.IsOpen());
}

TEST_F(PopupFixture, EscapeAndOtherCharactersCancel) {
    Load(editor, "obj.|");
    popup.Execute();
    Key(vk::kEscape);
    EXPECT_FALSE(popup.IsOpen());
    EXPECT_EQ(events.back(), "cancel");
    popup.Execute();
    Type(u8"ж"_cp);
    EXPECT_FALSE(popup.IsOpen());
    EXPECT_EQ(events.back(), "cancel");
    EXPECT_EQ(Dump(editor), u8"obj.ж|"_cp);
    popup.Execute();
    Type("{");
    EXPECT_FALSE(popup.IsOpen());
    popup.Execute();
    popup.Cancel();  // focus lost
    EXPECT_EQ(events.back(), "cancel");
}

TEST_F(PopupFixture, NavigationKeys) {
    for (int i = 0; i < 40; ++i) popup.AddItem("x", "x");
    popup.on_execute = nullptr;
    Load(editor, "|");
    popup.Execute();
    ASSERT_EQ(popup.ShownItems().size(), 40u);
    Key(vk::kNext);
    EXPECT_EQ(popup.SelectedIndex(), 15);
    EXPECT_EQ(popup.TopIndex(), 1);
    Key(vk::kDown, kCtrl);
    EXPECT_EQ(popup.SelectedIndex(), 39);
    Key(vk::kPrior);
    EXPECT_EQ(popup.SelectedIndex(), 24);
    Key(vk::kUp);
    EXPECT_EQ(popup.SelectedIndex(), 23);
    Key(vk::kHome);
    EXPECT_EQ(popup.SelectedIndex(), 0);
    Key(vk::kEnd);
    EXPECT_EQ(popup.SelectedIndex(), 39);
    Key(vk::kUp, kCtrl);
    EXPECT_EQ(popup.SelectedIndex(), 0);
    Key(vk::kUp);
    EXPECT_EQ(popup.SelectedIndex(), 0);
    Key(vk::kRight);
    Key(vk::kLeft);
    EXPECT_TRUE(popup.IsOpen());
}

TEST_F(PopupFixture, TriggerCharacterOpensAfterTheDelay) {
    Load(editor, "obj|");
    Type(".");
    EXPECT_TRUE(timer);
    EXPECT_FALSE(popup.IsOpen());
    Type(".");  // already running: not restarted
    EXPECT_TRUE(popup.TimerRunning());
    popup.TimerExpired();
    EXPECT_FALSE(timer);
    EXPECT_TRUE(popup.IsOpen());
}

TEST_F(PopupFixture, AnotherCharacterWithinTheDelayOpensNothing) {
    Load(editor, "obj|");
    Type(".n");
    EXPECT_FALSE(timer);
    popup.TimerExpired();  // a late tick after the stop
    EXPECT_FALSE(popup.IsOpen());
    EXPECT_TRUE(events.empty());
}

// The wait after "." ends with the line it belongs to: a line break, a deletion, a caret
// move, or the editor losing the focus (which the window reports as a cancel).
TEST_F(PopupFixture, CommandsAndFocusLossWithinTheDelayOpenNothing) {
    for (int key : {vk::kReturn, vk::kBack, vk::kLeft, vk::kDown, vk::kEscape}) {
        Load(editor, "' done|");
        Type(".");
        ASSERT_TRUE(timer);
        Key(key);
        EXPECT_FALSE(timer) << key;
        popup.TimerExpired();
        EXPECT_FALSE(popup.IsOpen()) << key;
    }
    Load(editor, "obj|");
    Type(".");
    popup.Cancel();
    EXPECT_FALSE(timer);
    popup.TimerExpired();
    EXPECT_FALSE(popup.IsOpen());
    EXPECT_TRUE(events.empty());  // neither opened nor reported as cancelled
}

TEST_F(PopupFixture, ReadOnlyEditorGetsNoPopup) {
    editor.SetReadOnly(true);
    Load(editor, "obj|");
    Type(".");
    EXPECT_FALSE(timer);
    Key(vk::kSpace, kCtrl);
    EXPECT_FALSE(popup.IsOpen());
}

TEST(PrettyText, ThreeColumns) {
    auto p = SplitPrettyText("function\tItem\t(Index: Long): Object;");
    EXPECT_EQ(p.first, "function");
    EXPECT_EQ(p.bold, "Item");
    EXPECT_EQ(p.rest, "(Index: Long): Object;");
    p = SplitPrettyText("plain");
    EXPECT_EQ(p.first, "plain");
    EXPECT_TRUE(p.bold.empty());
}

}  // namespace
}  // namespace zeph::editor
