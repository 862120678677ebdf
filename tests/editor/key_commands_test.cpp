// Every key stroke of the editor's table, run on a small document.
#include <gtest/gtest.h>

#include <set>

#include "doc_notation.h"
#include "editor/editor_model.h"
#include "editor/key_strokes.h"

namespace zeph::editor {
namespace {

using testing::Dump;
using testing::Load;

constexpr unsigned S = kShift, C = kCtrl, A = kAlt, CS = kCtrl | kShift;

struct FakeClipboard : EditorClipboard {
    std::string text;
    bool column = false;
    bool has = false;
    void PutText(std::string_view t, bool c) override {
        text = t;
        column = c;
        has = true;
    }
    bool GetText(std::string& t, bool& c) override {
        t = text;
        c = column;
        return has;
    }
};

struct KeyCase {
    const char* name;
    int key;
    unsigned mods;
    const char* before;
    const char* after;
};

const char* kTen = "0\n1\n2\n3\n4\n5\n6\n7\n8\n9";

class KeyTable : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyTable, DoesWhatItsNameSays) {
    const KeyCase& k = GetParam();
    EditorModel m(EditorOptions::ScriptEditor());
    m.SetVisibleLines(3);
    FakeClipboard clip;
    clip.text = "XY";
    clip.has = true;
    m.SetClipboard(&clip);
    Load(m, k.before);
    EXPECT_TRUE(m.ExecuteKey(k.key, k.mods));
    EXPECT_EQ(Dump(m), k.after) << CommandName(CommandForKey(k.key, k.mods));
}

// clang-format off
const KeyCase kCases[] = {
    {"Up", vk::kUp, 0, "abc\nde|f", "ab|c\ndef"},
    {"UpFirstLine", vk::kUp, 0, "a|bc", "a|bc"},
    {"SelUp", vk::kUp, S, "abc\nde|f", "ab|c\nde^f"},
    {"Down", vk::kDown, 0, "ab|c\ndef", "abc\nde|f"},
    {"DownPastShortLine", vk::kDown, 0, "abc|\na", "abc\na~~|"},
    {"SelDown", vk::kDown, S, "ab|c\ndef", "ab^c\nde|f"},
    {"Left", vk::kLeft, 0, "ab|c", "a|bc"},
    {"LeftWraps", vk::kLeft, 0, "abc\n|de", "abc|\nde"},
    {"SelLeft", vk::kLeft, S, "ab|c", "a|b^c"},
    {"WordLeft", vk::kLeft, C, "foo bar|", "foo |bar"},
    {"WordLeftOverBlanks", vk::kLeft, C, "foo |bar", "|foo bar"},
    {"WordLeftWraps", vk::kLeft, C, "ab\n|cd", "ab|\ncd"},
    {"SelWordLeft", vk::kLeft, CS, "foo bar|", "foo |bar^"},
    {"Right", vk::kRight, 0, "a|bc", "ab|c"},
    {"RightPastEnd", vk::kRight, 0, "ab|", "ab~|"},
    {"SelRight", vk::kRight, S, "a|bc", "a^b|c"},
    {"WordRight", vk::kRight, C, "|foo bar", "foo |bar"},
    {"WordRightWraps", vk::kRight, C, "foo|\nbar", "foo\n|bar"},
    {"SelWordRight", vk::kRight, CS, "|foo bar", "^foo |bar"},
    {"LineStart", vk::kHome, 0, "  ab|c", "|  abc"},
    {"SelLineStart", vk::kHome, S, "ab|c", "|ab^c"},
    {"LineEnd", vk::kEnd, 0, "a|bc", "abc|"},
    {"SelLineEnd", vk::kEnd, S, "a|bc", "a^bc|"},
    {"EditorTop", vk::kHome, C, "ab\nc|d", "|ab\ncd"},
    {"SelEditorTop", vk::kHome, CS, "ab\nc|d", "|ab\nc^d"},
    {"EditorBottom", vk::kEnd, C, "a|b\ncde", "ab\ncde|"},
    {"SelEditorBottom", vk::kEnd, CS, "a|b\ncde", "a^b\ncde|"},
    {"SelectAll", 'A', C, "a|b\ncd", "^ab\ncd|"},
    {"MatchBracketForward", 'B', CS, "|(a(b)c)", "(a(b)c|)"},
    {"MatchBracketBackward", 'B', CS, "x(a[b]\nc)|", "x|(a[b]\nc)"},
    {"MatchBracketNone", 'B', CS, "a|b", "a|b"},
    {"Copy", vk::kInsert, C, "a^bc|d", "a^bc|d"},
    {"CtrlC", 'C', C, "a^bc|d", "a^bc|d"},
    {"Cut", vk::kDelete, S, "a^bc|d", "a|d"},
    {"CtrlX", 'X', C, "a^bc|d", "a|d"},
    {"Paste", vk::kInsert, S, "a|d", "aXY|d"},
    {"CtrlV", 'V', C, "a^b|d", "aXY|d"},
    {"DeleteChar", vk::kDelete, 0, "a|bc", "a|c"},
    {"DeleteCharJoins", vk::kDelete, 0, "ab|\ncd", "ab|cd"},
    {"DeleteCharJoinsPastEnd", vk::kDelete, 0, "ab~|\ncd", "ab |cd"},
    {"DeleteCharSelection", vk::kDelete, 0, "^ab|c", "|c"},
    {"DeleteLastChar", vk::kBack, 0, "ab|c", "a|c"},
    {"DeleteLastCharShift", vk::kBack, S, "ab|c", "a|c"},
    {"DeleteLastCharJoins", vk::kBack, 0, "ab\n|cd", "ab|cd"},
    {"DeleteLastCharPastEnd", vk::kBack, 0, "ab~~|", "ab~|"},
    {"DeleteLastCharSmartTab", vk::kBack, 0, "a\n  b\n    |c", "a\n  b\n  |c"},
    {"DeleteLastCharSmartTabToZero", vk::kBack, 0, "  |c", "|c"},
    {"DeleteLastWord", vk::kBack, C, "foo bar|.x", "foo |.x"},
    {"DeleteLastWordAtEnd", vk::kBack, C, "foo bar|", "foo |"},
    {"LineBreak", vk::kReturn, 0, "ab|cd", "ab\n|cd"},
    {"LineBreakShift", vk::kReturn, S, "ab|cd", "ab\n|cd"},
    {"LineBreakCtrlM", 'M', C, "ab|cd", "ab\n|cd"},
    {"LineBreakAutoIndent", vk::kReturn, 0, "  ab|cd", "  ab\n  |cd"},
    {"LineBreakTrims", vk::kReturn, 0, "  ab  |", "  ab\n  |"},
    {"Tab", vk::kTab, 0, "a|b", "a\t|b"},
    {"TabIndentsBlock", vk::kTab, 0, "^ab\ncd|", "^  ab\n  cd|"},
    {"ShiftTabMovesBack", vk::kTab, S, "abc|", "ab|c"},
    {"ShiftTabUnindentsBlock", vk::kTab, S, "  a^b\n  cd|", "a^b\ncd|"},
    {"BlockIndent", 'I', CS, "a|b", "  a|b"},
    {"BlockUnindent", 'U', CS, "   a|b", " a|b"},
    {"BlockUnindentTab", 'U', CS, "\ta|b", "a|b"},
    {"InsertLine", 'N', C, "ab|cd", "ab|\ncd"},
    {"DeleteWord", 'T', C, "|foo bar", "|bar"},
    {"DeleteLine", 'Y', C, "a\nb|c\nd", "a\n|d"},
    {"DeleteLastLine", 'Y', C, "a\nb|c", "|a"},
    {"DeleteEOL", 'Y', CS, "ab|cd", "ab|"},
    {"PageDown", vk::kNext, 0, "|0\n1\n2\n3\n4\n5\n6\n7\n8\n9", "0\n1\n2\n|3\n4\n5\n6\n7\n8\n9"},
    {"SelPageDown", vk::kNext, S, "|0\n1\n2\n3\n4\n5\n6\n7\n8\n9", "^0\n1\n2\n|3\n4\n5\n6\n7\n8\n9"},
    {"PageUp", vk::kPrior, 0, "0\n1\n2\n3\n4\n|5\n6\n7\n8\n9", "0\n1\n|2\n3\n4\n5\n6\n7\n8\n9"},
    {"SelPageUp", vk::kPrior, S, "0\n1\n2\n3\n4\n|5\n6\n7\n8\n9", "0\n1\n|2\n3\n4\n^5\n6\n7\n8\n9"},
    {"PageBottom", vk::kNext, C, "|0\n1\n2\n3", "0\n1\n|2\n3"},
    {"SelPageBottom", vk::kNext, CS, "|0\n1\n2\n3", "^0\n1\n|2\n3"},
    {"PageTop", vk::kPrior, C, "0\n1\n|2\n3", "|0\n1\n2\n3"},
    {"SelPageTop", vk::kPrior, CS, "0\n1\n|2\n3", "|0\n1\n^2\n3"},
    {"ScrollDownPushesCaret", vk::kDown, C, "|0\n1\n2\n3", "0\n|1\n2\n3"},
    {"ScrollUpAtTop", vk::kUp, C, "0\n|1", "0\n|1"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Editor, KeyTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KeyStrokes, TableHas82DistinctStrokesCoveringEveryCommand) {
    auto table = StandardKeyStrokes();
    EXPECT_EQ(table.size(), 82u);
    std::set<std::pair<int, unsigned>> keys;
    std::set<int> commands;
    for (const auto& k : table) {
        keys.insert({k.key, k.modifiers});
        commands.insert(k.command);
        EXPECT_EQ(CommandForKey(k.key, k.modifiers), k.command);
        EXPECT_FALSE(CommandName(k.command).empty());
    }
    EXPECT_EQ(keys.size(), 82u);
    EXPECT_EQ(commands.size(), static_cast<std::size_t>(cmSetMarker9));  // all but cmNone
    EXPECT_EQ(CommandForKey('Q', C), cmNone);
    EXPECT_EQ(CommandName(cmDeleteEOL), "cmDeleteEOL");
}

TEST(KeyStrokes, ModesAndScrolling) {
    EditorModel m(EditorOptions::ScriptEditor());
    m.SetVisibleLines(3);
    Load(m, kTen);
    EXPECT_TRUE(m.ExecuteKey('C', CS));
    EXPECT_EQ(m.GetSelectionMode(), SelectionMode::kColumn);
    EXPECT_TRUE(m.ExecuteKey('L', CS));
    EXPECT_EQ(m.GetSelectionMode(), SelectionMode::kLine);
    EXPECT_TRUE(m.ExecuteKey('N', CS));
    EXPECT_EQ(m.GetSelectionMode(), SelectionMode::kNormal);

    m.ExecuteKey(vk::kDown, C);
    m.ExecuteKey(vk::kDown, C);
    EXPECT_EQ(m.TopLine(), 2);
    EXPECT_EQ(m.Caret().line, 2);
    m.ExecuteKey(vk::kNext, 0);
    EXPECT_EQ(m.TopLine(), 5);
    EXPECT_EQ(m.Caret().line, 5);
    m.ExecuteKey(vk::kUp, C);
    EXPECT_EQ(m.TopLine(), 4);
    EXPECT_EQ(m.Caret().line, 5);

    EXPECT_TRUE(m.InsertMode());
    m.ExecuteKey(vk::kInsert, 0);
    EXPECT_FALSE(m.InsertMode());
    m.ExecuteKey(vk::kHome, C);
    m.TypeChar('x');
    EXPECT_EQ(m.Line(0), "x");
    EXPECT_EQ(m.LineCount(), 10);
}

TEST(KeyStrokes, UndoRedoKeysAndGrouping) {
    EditorModel m(EditorOptions::ScriptEditor());
    Load(m, "|");
    for (char c : std::string("word")) m.TypeChar(c);
    m.ExecuteKey(vk::kReturn, 0);
    for (char c : std::string("two")) m.TypeChar(c);
    EXPECT_EQ(Dump(m), "word\ntwo|");
    m.ExecuteKey(vk::kBack, A);  // the typed word goes in one step
    EXPECT_EQ(Dump(m), "word\n|");
    m.ExecuteKey('Z', C);  // the line break
    EXPECT_EQ(Dump(m), "word|");
    m.ExecuteKey(vk::kBack, S | A);
    EXPECT_EQ(Dump(m), "word\n|");
    m.ExecuteKey('Z', CS);
    EXPECT_EQ(Dump(m), "word\ntwo|");
    m.ExecuteKey('Z', C);
    m.ExecuteKey('Z', C);
    m.ExecuteKey('Z', C);
    EXPECT_EQ(Dump(m), "|");
    EXPECT_FALSE(m.CanUndo());
    EXPECT_FALSE(m.Modified());

    // Without grouping every character is its own step.
    EditorOptions o = EditorOptions::ScriptEditor();
    o.group_undo = false;
    EditorModel n(o);
    Load(n, "|");
    n.TypeChar('a');
    n.TypeChar('b');
    n.Undo();
    EXPECT_EQ(Dump(n), "a|");

    // A caret move ends the run.
    Load(m, "|");
    m.TypeChar('a');
    m.ExecuteKey(vk::kLeft, 0);
    m.ExecuteKey(vk::kRight, 0);
    m.TypeChar('b');
    m.Undo();
    EXPECT_EQ(Dump(m), "a|");
}

TEST(KeyStrokes, BookmarksFollowTheirLines) {
    EditorModel m(EditorOptions::ScriptEditor());
    Load(m, "a\nb|b\nc\nd");
    EXPECT_TRUE(m.ExecuteKey('3', CS));
    EXPECT_EQ(m.BookmarkLine(3), 1);
    m.ExecuteKey(vk::kHome, C);
    m.ExecuteKey(vk::kReturn, 0);  // a line inserted above moves it down
    EXPECT_EQ(m.BookmarkLine(3), 2);
    m.ExecuteKey(vk::kEnd, C);
    EXPECT_TRUE(m.ExecuteKey('3', C));
    EXPECT_EQ(Dump(m), "\na\nb|b\nc\nd");
    m.ExecuteKey('3', CS);  // the same line again: removed
    EXPECT_EQ(m.BookmarkLine(3), -1);
    m.ExecuteKey(vk::kEnd, C);
    m.ExecuteKey('3', C);  // nothing to go to
    EXPECT_EQ(m.Caret().line, 4);
    for (int n = 0; n < 10; ++n) {
        m.SetCaret({n % 5, 0});
        m.ExecuteKey('0' + n, CS);
        EXPECT_EQ(m.BookmarkLine(n), n % 5);
    }
    m.DeleteLine(0);
    EXPECT_EQ(m.BookmarkLine(1), 0);
    EXPECT_EQ(m.BookmarkLine(2), 1);
}

TEST(KeyStrokes, ContextHelpGoesToTheOwner) {
    EditorModel m;
    int calls = 0;
    m.on_context_help = [&] { ++calls; };
    EXPECT_TRUE(m.ExecuteKey(vk::kF1, C));
    EXPECT_EQ(calls, 1);
}

TEST(KeyStrokes, TabKeyLeftToTheWindowWhenTabsAreNotWanted) {
    EditorModel m(EditorOptions::PreviewMemo());
    Load(m, "a|b");
    EXPECT_FALSE(m.ExecuteKey(vk::kTab, 0));
    EXPECT_FALSE(m.ExecuteKey(vk::kTab, S));
    EXPECT_EQ(Dump(m), "a|b");
    EXPECT_FALSE(m.ExecuteKey('Q', C));
}

TEST(KeyStrokes, ReadOnlyMovesButDoesNotEdit) {
    EditorOptions o;
    o.read_only = true;
    EditorModel m(o);
    Load(m, "a|b");
    m.ExecuteKey(vk::kDelete, 0);
    m.ExecuteKey(vk::kBack, 0);
    m.ExecuteKey(vk::kReturn, 0);
    m.TypeChar('x');
    m.ExecuteKey(vk::kRight, 0);
    EXPECT_EQ(Dump(m), "ab|");
    EXPECT_FALSE(m.Modified());
}

}  // namespace
}  // namespace zeph::editor

namespace zeph::editor {
namespace {

TEST(KeyStrokes, SmartTabsLineUpWithTheWordsAbove) {
    EditorOptions o = EditorOptions::ScriptEditor();
    o.smart_tabs = true;
    EditorModel m(o);
    testing::Load(m, "Dim  name   value\n|");
    m.ExecuteKey(vk::kTab, 0);
    EXPECT_EQ(testing::Dump(m), "Dim  name   value\n     |");
    m.TypeChar('x');
    m.ExecuteKey(vk::kTab, 0);
    EXPECT_EQ(testing::Dump(m), "Dim  name   value\n     x      |");
}

}  // namespace
}  // namespace zeph::editor
