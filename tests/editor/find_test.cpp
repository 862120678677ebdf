// Find and replace over the editor's model: directions, wrapping, case and whole words in code
// page 1251, and replace-all as one undo step.
#include "editor/find.h"
#include "editor/line_block.h"

#include <gtest/gtest.h>

#include <chrono>

#include "text/cp1251.h"

namespace zeph::editor {
namespace {

using text::operator""_cp;

EditorModel Model(std::string_view text) {
    EditorModel m;
    m.SetText(text);
    return m;
}

FoundRange At(int line, int column, int length) {
    return {{line, column}, length};
}

TEST(FindTest, ForwardAndBackwardFromAPositionWithAndWithoutWrapping) {
    EditorModel m = Model("ab ab\r\nxx\r\nab");
    FindOptions o;
    EXPECT_EQ(FindText(m, "ab", {0, 0}, false, o), At(0, 0, 2));
    EXPECT_EQ(FindText(m, "ab", {0, 1}, false, o), At(0, 3, 2));
    EXPECT_EQ(FindText(m, "ab", {0, 4}, false, o), At(2, 0, 2));
    EXPECT_EQ(FindText(m, "ab", {2, 1}, false, o), At(0, 0, 2));  // wrapped
    EXPECT_EQ(FindText(m, "ab", {2, 2}, true, o), At(2, 0, 2));
    EXPECT_EQ(FindText(m, "ab", {2, 0}, true, o), At(0, 3, 2));
    EXPECT_EQ(FindText(m, "ab", {0, 4}, true, o), At(0, 0, 2));  // ends at or before the caret
    EXPECT_EQ(FindText(m, "ab", {0, 0}, true, o), At(2, 0, 2));  // wrapped
    o.wrap = false;
    EXPECT_EQ(FindText(m, "ab", {2, 1}, false, o), std::nullopt);
    EXPECT_EQ(FindText(m, "ab", {0, 1}, true, o), std::nullopt);
    // The only match spans the start position: found again only after going all the way round.
    o.wrap = true;
    EditorModel one = Model("xabcx");
    EXPECT_EQ(FindText(one, "abc", {0, 2}, false, o), At(0, 1, 3));
    EXPECT_EQ(FindText(one, "abc", {0, 2}, true, o), At(0, 1, 3));
    EXPECT_EQ(FindText(m, "", {0, 0}, false, o), std::nullopt);
    EXPECT_EQ(FindText(m, "a\r\nb", {0, 0}, false, o), std::nullopt);
    EXPECT_EQ(FindText(m, "zz", {0, 0}, false, o), std::nullopt);
}

TEST(FindTest, CaseAndWholeWordsInCyrillic) {
    EditorModel m = Model(u8"Карта картаX карта_1 КАРТА"_cp);
    FindOptions o;
    EXPECT_EQ(FindText(m, u8"карта"_cp, {0, 1}, false, o), At(0, 6, 5));
    o.match_case = true;
    EXPECT_EQ(FindText(m, u8"КАРТА"_cp, {0, 0}, false, o), At(0, 21, 5));
    o.match_case = false;
    o.whole_word = true;
    EXPECT_EQ(FindText(m, u8"карта"_cp, {0, 1}, false, o), At(0, 21, 5));
    EXPECT_EQ(FindText(m, u8"карта"_cp, {0, 21}, true, o), At(0, 0, 5));
}

TEST(FindTest, ReplaceAllTextCountsNonOverlappingMatches) {
    FindOptions o;
    int count = 0;
    EXPECT_EQ(ReplaceAllText("aaaa", "aa", "b", o, count), "bb");
    EXPECT_EQ(count, 2);
    o.whole_word = true;
    EXPECT_EQ(ReplaceAllText("x xy x", "x", "zz", o, count), "zz xy zz");
    EXPECT_EQ(count, 2);
    EXPECT_EQ(ReplaceAllText("abc", "", "z", o, count), "abc");
    EXPECT_EQ(count, 0);
}

TEST(FindTest, SelectReplaceAndReplaceAllOnTheModel) {
    EditorModel m = Model("Dim a\r\na = a + 1\r\n");
    FindOptions o;
    o.whole_word = true;
    ASSERT_TRUE(FindAndSelect(m, "a", false, o));
    EXPECT_EQ(m.SelectedText(), "a");
    EXPECT_EQ(m.SelectionStart(), (TextPos{0, 4}));
    // Replace only takes a selection that is a match, then moves on.
    ASSERT_TRUE(ReplaceAndFindNext(m, "a", "b", o));
    EXPECT_EQ(m.Line(0), "Dim b");
    EXPECT_EQ(m.SelectionStart(), (TextPos{1, 0}));
    ASSERT_TRUE(FindAndSelect(m, "a", true, o));
    EXPECT_EQ(m.SelectionStart(), (TextPos{1, 4}));  // wrapped back to the end

    EXPECT_EQ(ReplaceAll(m, "a", "count", o), 2);
    EXPECT_EQ(m.Text(), "Dim b\r\ncount = count + 1\r\n");
    m.Undo();  // one step takes all of it back
    EXPECT_EQ(m.Text(), "Dim b\r\na = a + 1\r\n");
    EXPECT_EQ(ReplaceAll(m, "nothing", "x", o), 0);
}

// Replace All is one edit among others: marks stay with their lines, before and after undo.
TEST(FindTest, ReplaceAllKeepsBookmarksAndTheCaretOnTheirLines) {
    struct Case {
        const char* with;
        TextPos caret;     // before
        TextPos expected;  // after
    };
    const Case cases[] = {
        {"count", {3, 9}, {3, 17}},  // two matches before the caret: it moves right with them
        {"count", {3, 4}, {3, 4}},   // a match right after the caret: it stays
        {"count", {2, 1}, {2, 1}},   // no match on its line
        {"x\r\ny", {3, 0}, {4, 0}},  // line breaks above push it down
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.with);
        EditorModel m = Model("Dim a\r\nDim b\r\n' note\r\nb = a + a\r\nend");
        FindOptions o;
        o.whole_word = true;
        m.SetBookmark(1, {1, 0});
        m.SetBookmark(2, {2, 3});
        m.SetBookmark(4, {4, 0});
        m.SetCaret(c.caret);
        ASSERT_EQ(ReplaceAll(m, "a", c.with, o), 3);
        const int breaks = std::string_view(c.with).find('\n') == std::string_view::npos ? 0 : 1;
        EXPECT_EQ(m.BookmarkLine(1), 1 + breaks);
        EXPECT_EQ(m.BookmarkLine(2), 2 + breaks);
        EXPECT_EQ(m.BookmarkLine(4), 4 + 3 * breaks);
        EXPECT_EQ(m.Caret(), c.expected);
        m.Undo();
        EXPECT_EQ(m.Text(), "Dim a\r\nDim b\r\n' note\r\nb = a + a\r\nend\r\n");
        EXPECT_EQ(m.BookmarkLine(1), 1);
        EXPECT_EQ(m.BookmarkLine(2), 2);
        EXPECT_EQ(m.BookmarkLine(4), 4);
    }
}

TEST(FindTest, FiveMegabytesAreSearchedAndReplacedQuickly) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "Application.Map.GetObject(\"P1\").Move 1, 1\r\n";
    ASSERT_GT(text.size(), 4'000'000u);
    EditorModel m = Model(text + "needle\r\n");
    FindOptions o;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FindText(m, "NEEDLE", {0, 0}, false, o), At(100000, 0, 6));
    EXPECT_EQ(FindText(m, "NEEDLE", {0, 0}, true, o), At(100000, 0, 6));
    EXPECT_EQ(ReplaceAll(m, "Move", "MoveBy", o), 100000);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    EXPECT_LT(ms, 5000);  // generous: sanitizers make it several times slower
}

}  // namespace
}  // namespace zeph::editor

namespace zeph::editor {
namespace {

TEST(LineBlockTest, WholeLinesOfTheSelectionOrTheCaretLine) {
    EditorModel m;
    m.SetText("one\r\ntwo\r\nthree\r\nfour");
    m.SetCaret({2, 1});
    EXPECT_EQ(SelectedLines(m).first_line, 3);
    EXPECT_EQ(SelectedLines(m).text, "three\r\n");
    m.SetSelection({1, 2}, {2, 1});  // partly selected lines count whole
    EXPECT_EQ(SelectedLines(m).first_line, 2);
    EXPECT_EQ(SelectedLines(m).text, "two\r\nthree\r\n");
    m.SetSelection({3, 0}, {1, 0});  // backwards, ending at a line's start
    EXPECT_EQ(SelectedLines(m).first_line, 2);
    EXPECT_EQ(SelectedLines(m).text, "two\r\nthree\r\n");
}

}  // namespace
}  // namespace zeph::editor
