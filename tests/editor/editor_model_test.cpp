// The editor's text model: whole text, lines, caret, selections, word queries, layout and
// change notices.
#include <gtest/gtest.h>

#include "doc_notation.h"
#include "editor/editor_model.h"
#include "text/cp1251.h"

namespace zeph::editor {
namespace {

using testing::Dump;
using testing::Load;
using text::operator""_cp;

TEST(EditorText, SetBreaksAtEveryLineBreakAndGetEndsEveryLine) {
    EditorModel m;
    m.SetText("a\r\nb\nc\rd");
    EXPECT_EQ(m.LineCount(), 4);
    EXPECT_EQ(m.Text(), "a\r\nb\r\nc\r\nd\r\n");
    m.SetText("a\r\n");
    EXPECT_EQ(m.LineCount(), 1);
    EXPECT_EQ(m.Text(), "a\r\n");
    m.SetText("a\r\n\r\n");
    EXPECT_EQ(m.LineCount(), 2);
    m.SetText("\n\r");  // LF then a lone CR: two empty lines
    EXPECT_EQ(m.LineCount(), 2);
    m.SetText("");
    EXPECT_EQ(m.LineCount(), 0);
    EXPECT_EQ(m.Text(), "");
    EXPECT_EQ(m.CaretLineText(), "");
    m.SetText(std::string("a\0b", 3));  // a NUL byte is kept as text
    EXPECT_EQ(m.Line(0).size(), 3u);
}

TEST(EditorText, TypingIntoAnEmptyDocumentMakesItsFirstLine) {
    EditorModel m;
    m.TypeChar('x');
    EXPECT_EQ(m.Text(), "x\r\n");
    m.Undo();
    EXPECT_EQ(m.Line(0), "");
}

TEST(EditorText, LineOperationsAreUndoable) {
    EditorModel m;
    m.SetText("a\r\nb\r\nc");
    m.ReplaceLine(1, "B");
    m.InsertLine(0, "top");
    m.InsertLine(4, "end");
    m.DeleteLine(2);
    EXPECT_EQ(m.Text(), "top\r\na\r\nc\r\nend\r\n");
    m.ReplaceLine(9, "ignored");
    m.DeleteLine(-1);
    EXPECT_EQ(m.LineCount(), 4);
    for (int i = 0; i < 4; ++i) m.Undo();
    EXPECT_EQ(m.Text(), "a\r\nb\r\nc\r\n");
    m.SetText("");
    m.InsertLine(0, "only");
    EXPECT_EQ(m.Text(), "only\r\n");
}

TEST(EditorText, CaretCountsFromOneAndMayStandBeyondTheEnd) {
    EditorModel m(EditorOptions::ScriptEditor());
    m.SetText("abc\r\nde");
    m.SetCaretXY(10, 2);
    EXPECT_EQ(m.CaretX(), 10);
    EXPECT_EQ(m.CaretY(), 2);
    EXPECT_EQ(m.CaretLineText(), "de");
    m.TypeChar('x');  // typed beyond the end: the gap is filled with blanks
    EXPECT_EQ(m.Line(1), "de       x");
    m.SetCaretXY(1, 99);
    EXPECT_EQ(m.CaretY(), 2);

    EditorOptions o;
    o.scroll_past_eol = false;
    EditorModel n(o);
    n.SetText("abc");
    n.SetCaretXY(10, 1);
    EXPECT_EQ(n.CaretX(), 4);
}

TEST(EditorText, MaxLineLengthStopsTyping) {
    EditorOptions o;
    o.max_line_length = 3;
    EditorModel m(o);
    for (char c : std::string("abcdef")) m.TypeChar(c);
    EXPECT_EQ(m.Line(0), "abc");
}

TEST(EditorText, OverwriteModeReplacesThenAppends) {
    EditorModel m;
    Load(m, "a|bc");
    m.SetInsertMode(false);
    for (char c : std::string("XYZ")) m.TypeChar(c);
    EXPECT_EQ(Dump(m), "aXYZ|");
    m.Undo();
    EXPECT_EQ(Dump(m), "a|bc");
}

TEST(EditorText, TrailingBlanksAreTrimmedFromTheLinesTheCaretLeaves) {
    EditorModel m(EditorOptions::ScriptEditor());
    Load(m, "keep  \nab|");
    m.TypeChar(' ');
    EXPECT_EQ(Dump(m), "keep  \nab |");  // still being typed; lines never edited keep theirs
    m.TypeChar('c');
    EXPECT_EQ(Dump(m), "keep  \nab c|");
    m.TypeChar(' ');
    m.ExecuteKey(vk::kUp, 0);
    EXPECT_EQ(Dump(m), "keep | \nab c");
    m.Undo();  // the trimmed blank comes back with the typing that left it
    EXPECT_EQ(Dump(m), "keep  \nab|");

    EditorOptions o = EditorOptions::ScriptEditor();
    o.trim_trailing_spaces = false;
    EditorModel n(o);
    Load(n, "ab|");
    n.TypeChar(' ');
    EXPECT_EQ(n.Line(0), "ab ");
}

// The indent being typed is text, not trailing blanks: Tab, Enter and Backspace build on it.
TEST(EditorText, IndentOfTheCaretLineSurvivesTheCommands) {
    EditorModel m(EditorOptions::ScriptEditor());
    Load(m, "|");
    m.ExecuteKey(vk::kTab, 0);
    m.ExecuteKey(vk::kTab, 0);
    m.TypeChar('x');
    EXPECT_EQ(m.Line(0), "\t\tx");
    EXPECT_EQ(m.DisplayColumn(0, m.Caret().column), 5);

    Load(m, "\tif a then|");
    m.ExecuteKey(vk::kReturn, 0);
    m.TypeChar('b');
    EXPECT_EQ(Dump(m), "\tif a then\n\tb|");

    Load(m, "a\n  b\n    c|");
    m.ExecuteKey(vk::kReturn, 0);
    m.ExecuteKey(vk::kBack, 0);
    EXPECT_EQ(Dump(m), "a\n  b\n    c\n  |");
    m.ExecuteKey(vk::kUp, 0);
    EXPECT_EQ(Dump(m), "a\n  b\n  |  c\n");  // the left-behind indent is trimmed
}

TEST(WordQueries, WordAtColumnAndAtCaret) {
    EditorModel m;
    m.SetText("abc  d_1");
    EXPECT_EQ(m.WordAtColumn(4), "abc");  // the blank just after the word
    EXPECT_EQ(m.WordAtColumn(5), "");     // between two blanks
    EXPECT_EQ(m.WordAtColumn(1), "abc");
    EXPECT_EQ(m.WordAtColumn(2), "abc");
    EXPECT_EQ(m.WordAtColumn(9), "d_1");  // just past the line's end
    EXPECT_EQ(m.WordAtColumn(10), "");
    EXPECT_EQ(m.WordAtColumn(0), "");
    m.SetCaretXY(7, 1);
    EXPECT_EQ(m.WordAtCaret(), "d_1");
    m.SetCaretXY(4, 1);
    EXPECT_EQ(m.WordAtCaret(), "abc");
    m.SetCaretXY(20, 1);
    EXPECT_EQ(m.WordAtCaret(), "");

    m.SetText(u8"Привет чай ёж"_cp);
    EXPECT_EQ(m.WordAtColumn(3), u8"Привет"_cp);
    EXPECT_EQ(m.WordAtColumn(9), u8"ай"_cp);  // Che is no identifier character
    EXPECT_EQ(m.WordAtColumn(13), u8"ж"_cp);  // nor is Yo
}

TEST(Selection, NormalModeTextAndReplace) {
    EditorModel m;
    Load(m, "a^bc\nde|f");
    EXPECT_EQ(m.SelectedText(), "bc\r\nde");
    EXPECT_EQ(m.SelectionStart(), (TextPos{0, 1}));
    EXPECT_EQ(m.SelectionEnd(), (TextPos{1, 2}));
    m.ReplaceSelection("X\r\nY");
    EXPECT_EQ(Dump(m), "aX\nY|f");
}

TEST(Selection, ColumnModeCopiesDeletesAndPastesABlock) {
    EditorModel m;
    Load(m, "ab^cd\nef\nghij|k");
    m.SetSelectionMode(SelectionMode::kColumn);
    EXPECT_EQ(m.SelectedText(), "cd\r\n\r\nij");
    int from, to;
    ASSERT_TRUE(m.SelectionOnLine(1, from, to));
    EXPECT_EQ(from, 2);
    EXPECT_EQ(to, 4);
    struct Clip : EditorClipboard {
        std::string t;
        bool col = false;
        void PutText(std::string_view s, bool c) override { t = s, col = c; }
        bool GetText(std::string& s, bool& c) override { return s = t, c = col, true; }
    } clip;
    m.SetClipboard(&clip);
    m.ExecuteCommand(cmCut);
    EXPECT_TRUE(clip.col);
    EXPECT_EQ(Dump(m), "ab|\nef\nghk");
    m.SetCaret({1, 1});
    m.ExecuteCommand(cmPaste);
    EXPECT_EQ(m.Text(), "ab\r\necdf\r\nghk\r\n ij\r\n");
}

TEST(Selection, LineModeTakesWholeLines) {
    EditorModel m;
    Load(m, "a\nb^b\nc|c\nd");
    m.SetSelectionMode(SelectionMode::kLine);
    EXPECT_EQ(m.SelectedText(), "bb\r\ncc\r\n");
    m.ExecuteCommand(cmDeleteChar);
    EXPECT_EQ(m.Text(), "a\r\nd\r\n");
    Load(m, "a\nb^b\nc|c");
    m.SetSelectionMode(SelectionMode::kLine);
    m.ExecuteCommand(cmDeleteChar);
    EXPECT_EQ(m.Text(), "a\r\n");
}

TEST(Selection, TypingReplacesTheSelection) {
    EditorModel m;
    Load(m, "a^bc|d");
    m.TypeChar('X');
    EXPECT_EQ(Dump(m), "aX|d");
    m.Undo();
    EXPECT_EQ(Dump(m), "a^bc|d");
}

TEST(Selection, DragAndDropMovesOrCopies) {
    EditorModel m;
    Load(m, "^ab|cd");
    EXPECT_TRUE(m.DropSelection({0, 4}, false));
    EXPECT_EQ(Dump(m), "cd^ab|");
    EXPECT_FALSE(m.DropSelection({0, 3}, false));  // inside the selection
    EXPECT_TRUE(m.DropSelection({0, 0}, true));
    EXPECT_EQ(Dump(m), "^ab|cdab");
    EditorOptions o;
    o.drag_drop_editing = false;
    m.SetOptions(o);
    EXPECT_FALSE(m.DropSelection({0, 6}, false));
}

TEST(Layout, TabsAndPixels) {
    EditorModel m(EditorOptions::ScriptEditor());  // tab width 2
    m.SetText("\tab\tc");
    EXPECT_EQ(m.DisplayColumn(0, 1), 2);
    EXPECT_EQ(m.DisplayColumn(0, 4), 6);
    EXPECT_EQ(m.DisplayColumn(0, 7), 9);  // beyond the end: one cell each
    EXPECT_EQ(m.ColumnAtDisplay(0, 2), 1);
    EXPECT_EQ(m.ColumnAtDisplay(0, 9), 7);
    EXPECT_EQ(m.ColumnAtDisplay(0, 1), 1);  // nearer edge of the first tab
    PixelGrid g{8, 16, 0};
    EXPECT_EQ(m.PositionAtPixel(17, 5, g), (TextPos{0, 1}));  // cell boundary nearest x
    EXPECT_EQ(m.PositionAtPixel(3, 5, g), (TextPos{0, 0}));
    EXPECT_EQ(m.PositionAtPixel(-5, 500, g), (TextPos{0, 0}));  // clamped to the text
    int x, y;
    m.PixelOf({0, 4}, g, x, y);
    EXPECT_EQ(x, 48);
    EXPECT_EQ(y, 0);
    m.SelectWordAt({0, 2});
    EXPECT_EQ(m.SelectedText(), "ab");
}

TEST(Changes, ReportWhatToRepaint) {
    EditorModel m;
    m.SetVisibleLines(5);
    m.SetText("a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh");
    auto c = m.TakeChanges();
    EXPECT_TRUE(c.all);
    m.SetCaret({2, 1});
    m.TypeChar('x');
    c = m.TakeChanges();
    EXPECT_EQ(c.first_line, 2);
    EXPECT_EQ(c.last_line, 2);
    EXPECT_TRUE(c.caret_moved);
    EXPECT_TRUE(c.text_changed);
    EXPECT_FALSE(c.line_count_changed);
    m.ExecuteCommand(cmLineBreak);
    c = m.TakeChanges();
    EXPECT_TRUE(c.line_count_changed);
    EXPECT_EQ(c.first_line, 2);
    EXPECT_GE(c.last_line, 8);
    m.ExecuteCommand(cmEditorBottom);
    c = m.TakeChanges();
    EXPECT_TRUE(c.top_line_changed);
    EXPECT_EQ(m.TopLine(), 4);
    EXPECT_FALSE(c.text_changed);
    EXPECT_FALSE(m.TakeChanges().LinesDirty());
}

}  // namespace
}  // namespace zeph::editor

namespace zeph::editor {
namespace {

// Random key strokes and typing: the kept line states always equal a fresh scan, and undoing
// everything gives the original text back.
class RandomEditing : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(RandomEditing, StatesStayConsistentAndUndoRestoresTheText) {
    TJScriptHighlighter js;
    struct Clip : EditorClipboard {
        std::string t;
        bool col = false;
        void PutText(std::string_view s, bool c) override { t = s, col = c; }
        bool GetText(std::string& s, bool& c) override { return s = t, c = col, !t.empty(); }
    } clip;
    const std::string original =
        "/* start\r\n  var a = 1; /* x */\r\n\r\n\tb = 'q/*' + \"*/\";\r\n*/ end\r\nif (c) {}\r\n";
    EditorModel m(EditorOptions::ScriptEditor());
    m.SetClipboard(&clip);
    m.SetVisibleLines(4);
    m.SetText(original);
    m.SetHighlighter(&js);
    auto keys = StandardKeyStrokes();
    const std::string typed = "/* */'\"ab \t(";
    std::uint32_t seed = GetParam();
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    for (int step = 0; step < 1500; ++step) {
        if (next(3) == 0) {
            m.TypeChar(typed[next(typed.size())]);
        } else {
            const KeyStroke& k = keys[next(keys.size())];
            m.ExecuteKey(k.key, k.modifiers);
        }
        if (step % 25 == 0) {
            EditorModel fresh;
            fresh.SetText(m.Text());
            fresh.SetHighlighter(&js);
            ASSERT_EQ(fresh.LineCount(), m.LineCount());
            for (int l = 0; l < m.LineCount(); ++l)
                ASSERT_EQ(fresh.LineStartState(l), m.LineStartState(l)) << "line " << l;
        }
        ASSERT_LE(m.Caret().line, std::max(0, m.LineCount() - 1));
    }
    while (m.CanUndo()) m.Undo();
    EXPECT_EQ(m.Text(), original);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomEditing, ::testing::Range<std::uint32_t>(1, 41));

}  // namespace
}  // namespace zeph::editor
