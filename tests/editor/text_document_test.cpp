// The editor's document on its own: what each edit reports, how edits group into undo steps,
// and what undo and redo give back.
#include <gtest/gtest.h>

#include <vector>

#include "editor/highlighter.h"
#include "editor/text_document.h"

namespace zeph::editor {
namespace {

const CaretState kAt00{};

CaretState At(int line, int column) {
    return {{line, column}, {line, column}, SelectionMode::kNormal};
}

// One edit in a step of its own, as the editor makes it.
TextChange Edit(TextDocument& d, TextPos from, TextPos to, std::string_view text,
                EditKind kind = EditKind::kOther, CaretState now = kAt00, bool group = true) {
    std::string padded;
    EXPECT_TRUE(d.PrepareEdit(from, to, text, padded));
    d.BeginStep(kind, now, group);
    TextChange c = d.ApplyEdit(from, to, text);
    d.EndStep(At(c.end.line, c.end.column));
    return c;
}

TEST(TextDocument, EditsReportTheirLinesForBookmarksAndRepaint) {
    TextDocument d;
    d.SetText("one\r\ntwo\r\nthree");
    TextChange c = Edit(d, {1, 0}, {1, 0}, "new\r\n");
    EXPECT_EQ(c.from, (TextPos{1, 0}));
    EXPECT_EQ(c.old_last_line, 1);
    EXPECT_EQ(c.end, (TextPos{2, 0}));
    EXPECT_EQ(c.line_delta, 1);
    EXPECT_TRUE(c.ends_with_break);
    EXPECT_EQ(d.Text(), "one\r\nnew\r\ntwo\r\nthree\r\n");

    c = Edit(d, {0, 1}, {3, 2}, "X");  // across lines: three fewer
    EXPECT_EQ(c.old_last_line, 3);
    EXPECT_EQ(c.end, (TextPos{0, 2}));
    EXPECT_EQ(c.line_delta, -3);
    EXPECT_FALSE(c.ends_with_break);
    EXPECT_EQ(d.Text(), "oXree\r\n");
    EXPECT_TRUE(d.Modified());
}

TEST(TextDocument, PrepareClampsSwapsAndPadsBeyondTheLineEnd) {
    TextDocument d;
    d.SetText("ab\r\ncd");
    TextPos from{1, 5}, to{0, 1};  // reversed and beyond the end
    std::string_view text = "x";
    std::string padded;
    ASSERT_TRUE(d.PrepareEdit(from, to, text, padded));
    EXPECT_EQ(from, (TextPos{0, 1}));
    EXPECT_EQ(to, (TextPos{1, 2}));

    from = to = {0, 5};
    text = "x";
    ASSERT_TRUE(d.PrepareEdit(from, to, text, padded));
    EXPECT_EQ(text, "   x");  // the gap up to column 5 filled with blanks
    EXPECT_EQ(from, (TextPos{0, 2}));
    EXPECT_EQ(to, from);

    from = to = {7, 1};  // clamped to the last line
    text = {};
    EXPECT_FALSE(d.PrepareEdit(from, to, text, padded));  // nothing would change
    EXPECT_EQ(from, (TextPos{1, 1}));

    TextDocument empty;
    from = to = {3, 4};
    text = "x";
    ASSERT_TRUE(empty.PrepareEdit(from, to, text, padded));
    EXPECT_EQ(empty.LineCount(), 1);
    EXPECT_EQ(text, "    x");
    empty.BeginStep(EditKind::kOther, kAt00, true);
    empty.ApplyEdit(from, to, text);
    empty.EndStep(kAt00);
    EXPECT_EQ(empty.Text(), "    x\r\n");
}

TEST(TextDocument, UndoAndRedoReportEveryEditAndGiveTheCaretBack) {
    TextDocument d;
    d.SetText("a\r\nb");
    EXPECT_FALSE(d.Modified());
    d.BeginStep(EditKind::kOther, At(1, 1), true);
    d.ApplyEdit({0, 1}, {0, 1}, "1");
    d.ApplyEdit({1, 0}, {1, 1}, "x\r\ny");
    d.EndStep(At(2, 1));

    std::vector<TextChange> seen;
    auto sink = [&](const TextChange& c) { seen.push_back(c); };
    auto before = d.Undo(sink);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->caret, (TextPos{1, 1}));
    EXPECT_EQ(d.Text(), "a\r\nb\r\n");
    EXPECT_FALSE(d.Modified());
    ASSERT_EQ(seen.size(), 2u);  // the later edit first
    EXPECT_EQ(seen[0].line_delta, -1);
    EXPECT_EQ(seen[1].from, (TextPos{0, 1}));

    seen.clear();
    auto after = d.Redo(sink);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->caret, (TextPos{2, 1}));
    EXPECT_EQ(d.Text(), "a1\r\nx\r\ny\r\n");
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_TRUE(d.Modified());

    EXPECT_FALSE(d.Redo(sink));
    d.ClearUndo();
    EXPECT_FALSE(d.Undo(sink));
}

TEST(TextDocument, LikeEditsJoinOnlyWhereThePreviousStepLeftTheCaret) {
    TextDocument d;
    d.SetText("");
    d.EnsureLine(0);
    Edit(d, {0, 0}, {0, 0}, "a", EditKind::kTyping, At(0, 0));
    Edit(d, {0, 1}, {0, 1}, "b", EditKind::kTyping, At(0, 1));  // joins
    Edit(d, {0, 0}, {0, 0}, "c", EditKind::kTyping, At(0, 0));  // elsewhere: new step
    Edit(d, {0, 4}, {0, 4}, "d", EditKind::kDeleting, At(0, 1));
    auto ignore = [](const TextChange&) {};
    d.Undo(ignore);
    d.Undo(ignore);
    EXPECT_EQ(d.Line(0), "ab");
    d.Undo(ignore);
    EXPECT_EQ(d.Line(0), "");

    // A selection, a closed run or grouping turned off each start a new step.
    Edit(d, {0, 0}, {0, 0}, "a", EditKind::kTyping, At(0, 0));
    CaretState selecting{{0, 1}, {0, 0}, SelectionMode::kNormal};
    Edit(d, {0, 1}, {0, 1}, "b", EditKind::kTyping, selecting);
    d.CloseRun();
    Edit(d, {0, 2}, {0, 2}, "c", EditKind::kTyping, At(0, 2));
    Edit(d, {0, 3}, {0, 3}, "d", EditKind::kTyping, At(0, 3), false);
    for (const char* expected : {"abc", "ab", "a", ""}) {
        d.Undo(ignore);
        EXPECT_EQ(d.Line(0), expected);
    }
}

TEST(TextDocument, AStepWithoutEditsLeavesNoTraceAndEndsTheRun) {
    TextDocument d;
    d.SetText("x");
    Edit(d, {0, 1}, {0, 1}, "y", EditKind::kTyping, At(0, 1));
    d.BeginStep(EditKind::kOther, At(0, 2), true);
    d.EndStep(At(0, 2));
    Edit(d, {0, 2}, {0, 2}, "z", EditKind::kTyping, At(0, 2));
    auto ignore = [](const TextChange&) {};
    d.Undo(ignore);
    EXPECT_EQ(d.Line(0), "xy");
    d.Undo(ignore);
    EXPECT_EQ(d.Line(0), "x");
    EXPECT_FALSE(d.CanUndo());
}

TEST(TextDocument, AppendedEditsUndoWithTheLastStepAndKeepRedo) {
    TextDocument d;
    d.SetText("ab  \r\nc");
    Edit(d, {1, 1}, {1, 1}, "1");
    Edit(d, {1, 2}, {1, 2}, "2");
    auto ignore = [](const TextChange&) {};
    d.Undo(ignore);
    ASSERT_TRUE(d.CanRedo());
    d.AppendToLastStep([&] { d.ApplyEdit({0, 2}, {0, 4}, ""); });
    EXPECT_EQ(d.Line(0), "ab");
    EXPECT_TRUE(d.CanRedo());
    d.Undo(ignore);
    EXPECT_EQ(d.Text(), "ab  \r\nc\r\n");
}

TEST(TextDocument, EditsReportTheLinesWhoseStartStateChanged) {
    TJScriptHighlighter js;
    TextDocument d;
    d.SetText("a\r\nb\r\nc\r\nd");
    d.SetHighlighter(&js);
    TextChange c = Edit(d, {1, 0}, {1, 0}, "/*");
    EXPECT_EQ(c.state_first, 2);
    EXPECT_EQ(c.state_last, 3);
    EXPECT_EQ(d.LineStartState(3), kInBlockComment);

    c = Edit(d, {1, 2}, {1, 2}, "x");  // inside the comment: no state moves
    EXPECT_GT(c.state_first, c.state_last);

    std::vector<TextChange> seen;
    d.Undo([&](const TextChange& ch) { seen.push_back(ch); });
    d.Undo([&](const TextChange& ch) { seen.push_back(ch); });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].state_first, 2);
    EXPECT_EQ(seen[1].state_last, 3);
    EXPECT_EQ(d.LineStartState(3), 0);

    d.SetHighlighter(nullptr);
    std::vector<TokenRun> runs;
    d.LineTokens(1, runs);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].cls, nullptr);
}

}  // namespace
}  // namespace zeph::editor
