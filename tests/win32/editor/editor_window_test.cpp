// The editor control driven by real window messages under a live message loop.
#include <gtest/gtest.h>

#include "base/wide.h"
#include "editor/colour.h"
#include "text/cp1251.h"
#include "win32/editor/harness.h"

namespace zeph::win::test {
namespace {

using text::operator""_cp;

std::string S(std::string_view v) {
    return std::string(v);
}

// A top-level window of this thread with the given class (other processes may have one too).
struct ClassSearch {
    const wchar_t* name;
    HWND found;
};

BOOL CALLBACK MatchClass(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<ClassSearch*>(lp);
    wchar_t name[64] = L"";
    ::GetClassNameW(hwnd, name, 64);
    if (std::wstring_view(name) != s->name) return TRUE;
    s->found = hwnd;
    return FALSE;
}

HWND ThreadWindow(const wchar_t* class_name) {
    ClassSearch search{class_name, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), &MatchClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(ScriptEditorWindow, TypesLatinAndCyrillicCharactersAndBreaksLines) {
    EditorHost host;
    host.editor().SetText("");
    host.Type(L"Dim x");
    host.Key(VK_RETURN);
    host.Type(L"x = \"\x0416\x0451\x043B\x0442\x044B\x0439\"");  // Жёлтый
    // A character the code page lacks is not typed as anything else.
    host.Type(L"\x4E2D");
    EXPECT_EQ(host.model().Text(), S(u8"Dim x\r\nx = \"Жёлтый\"\r\n"_cp));
    EXPECT_EQ(host.editor().CaretY(), 2);
    EXPECT_EQ(host.editor().CaretX(), 13);
}

TEST(ScriptEditorWindow, BracketPairAtTheCaretIsFramedAndFollowsIt) {
    EditorHost host;
    host.editor().SetText("f(a, (b))\r\nx");
    host.Key(VK_HOME);
    host.Key(VK_RIGHT);  // on "("
    editor::TextPos own, mate;
    ASSERT_TRUE(host.editor().MatchedBrackets(own, mate));
    EXPECT_EQ(own, (editor::TextPos{0, 1}));
    EXPECT_EQ(mate, (editor::TextPos{0, 8}));
    const COLORREF frame = ::GetSysColor(COLOR_GRAYTEXT);
    const POINT at = host.editor().PointOf(mate);
    const int mid = at.y + host.editor().LineHeight() / 2;
    EXPECT_EQ(ScreenPixel(host.hwnd(), at.x, mid), frame);
    host.Key(VK_DOWN);  // no bracket here: the old frames are repainted away
    EXPECT_FALSE(host.editor().MatchedBrackets(own, mate));
    EXPECT_NE(ScreenPixel(host.hwnd(), at.x, mid), frame);
}

TEST(ScriptEditorWindow, ErrorLineIsMarkedUntilItsTextChanges) {
    EditorHost host;
    host.editor().SetText("a = 1\r\nb = 1 / 0\r\nc");
    host.editor().SetErrorLine(1);
    RECT rc{};
    ::GetClientRect(host.hwnd(), &rc);
    const int h = host.editor().LineHeight();
    EXPECT_EQ(ScreenPixel(host.hwnd(), rc.right - 4, h + h / 2), RGB(255, 220, 220));
    EXPECT_NE(ScreenPixel(host.hwnd(), rc.right - 4, h / 2), RGB(255, 220, 220));
    host.Key(VK_HOME);  // an edit elsewhere keeps it
    host.Type(L"z");
    EXPECT_EQ(host.editor().ErrorLine(), 1);
    host.Key(VK_DOWN);
    host.Type(L"z");
    EXPECT_EQ(host.editor().ErrorLine(), -1);
    EXPECT_NE(ScreenPixel(host.hwnd(), rc.right - 4, h + h / 2), RGB(255, 220, 220));
}

TEST(ScriptEditorWindow, ConsumedKeysDoNotAlsoTypeTheirCharacter) {
    EditorHost host;
    host.editor().SetText("ab");
    host.Key(VK_END);
    host.Key(VK_TAB);   // the editor's Tab inserts a tab, not a second one from WM_CHAR
    host.Key(VK_BACK);  // and Backspace deletes once
    host.Key(VK_BACK);
    EXPECT_EQ(host.model().Text(), "a\r\n");
    host.Key('A', kCtrl);  // select all; no Ctrl+A control character reaches the text
    EXPECT_EQ(host.model().SelectedText(), "a");
    host.Type(L"z");
    EXPECT_EQ(host.model().Text(), "z\r\n");
}

TEST(ScriptEditorWindow, KeyStrokesMoveTheCaretAndSelect) {
    EditorHost host;
    host.editor().SetText("abc def\r\nxyz");
    host.Key(VK_HOME, kCtrl);
    host.Key(VK_RIGHT, kShift);
    host.Key(VK_RIGHT, kShift);
    host.Key(VK_RIGHT, kShift);
    EXPECT_EQ(host.model().SelectedText(), "abc");
    host.Key(VK_DOWN);
    EXPECT_EQ(host.editor().CaretY(), 2);
    host.Key(VK_END, kCtrl | kShift);
    host.Key(VK_HOME, kCtrl);
    EXPECT_FALSE(host.model().HasSelection());
    EXPECT_EQ(host.editor().CaretX(), 1);
    EXPECT_EQ(host.editor().CaretY(), 1);
    // Insert toggles overwrite mode: typing then replaces characters.
    host.Key(VK_INSERT);
    EXPECT_FALSE(host.model().InsertMode());
    host.Type(L"XY");
    EXPECT_EQ(host.model().Line(0), "XYc def");
}

TEST(ScriptEditorWindow, MouseClickShiftClickDoubleClickAndDragSelect) {
    EditorHost host;
    host.editor().SetText("abc def\r\nxyz");
    host.Click(host.CaretPoint(0, 2));
    EXPECT_EQ(host.model().Caret(), (editor::TextPos{0, 2}));
    EXPECT_EQ(::GetFocus(), host.hwnd());

    host.Click(host.CaretPoint(1, 1), kShift);
    EXPECT_EQ(host.model().SelectedText(), "c def\r\nx");

    host.DoubleClick(host.CaretPoint(0, 5));
    EXPECT_EQ(host.model().SelectedText(), "def");

    host.Drag(host.CaretPoint(1, 0), host.CaretPoint(1, 2));
    EXPECT_EQ(host.model().SelectedText(), "xy");
    EXPECT_EQ(::GetCapture(), nullptr);
}

TEST(ScriptEditorWindow, DraggingASelectionMovesItAndCtrlCopiesIt) {
    EditorHost host;
    host.editor().SetText("one two three");
    host.model().SetSelection({0, 4}, {0, 8});  // "two "
    host.editor().Sync();
    host.Drag(host.CaretPoint(0, 5), host.CaretPoint(0, 0));
    EXPECT_EQ(host.model().Line(0), "two one three");

    // A click inside a selection without moving just places the caret.
    host.model().SetSelection({0, 0}, {0, 3});
    host.editor().Sync();
    host.Click(host.CaretPoint(0, 1));
    EXPECT_FALSE(host.model().HasSelection());
    EXPECT_EQ(host.model().Line(0), "two one three");
}

// A paste that brings the first line wider than the window also brings the horizontal bar,
// which takes room from the bottom: the caret's line must stay wholly above it.
TEST(ScriptEditorWindow, APasteThatBringsTheHorizontalBarKeepsTheCaretLineInView) {
    EditorHost host;
    std::wstring text;
    for (int i = 1; i <= 2000; ++i)
        text += L"Application.Map.Redraw ' a line long enough to pass the right edge " +
                std::to_wstring(i) + L"\r\n";
    SetClipboardText(text);
    host.Key('V', kCtrl);
    ASSERT_EQ(host.model().Caret().line, 2000);
    ASSERT_TRUE(::GetWindowLongW(host.hwnd(), GWL_STYLE) & WS_HSCROLL);
    RECT rc;
    ::GetClientRect(host.hwnd(), &rc);
    const POINT caret = host.editor().CaretPixel();
    EXPECT_GE(caret.y, 0);
    EXPECT_LE(caret.y + host.editor().LineHeight(), rc.bottom);
}

TEST(ScriptEditorWindow, ClipboardCarriesUnicodeBothWays) {
    EditorHost host;
    host.editor().SetText(u8"Привет мир"_cp);
    host.Key('A', kCtrl);
    host.Key('C', kCtrl);
    EXPECT_EQ(ClipboardText(), L"\x041F\x0440\x0438\x0432\x0435\x0442 \x043C\x0438\x0440");

    SetClipboardText(L"\x0401\x0436\r\nx");  // Ёж, a line break, x
    host.Key(VK_END, kCtrl);
    host.Key('V', kCtrl);
    EXPECT_EQ(host.model().Text(), S(u8"Привет мирЁж\r\nx\r\n"_cp));

    // Cut: Shift+Delete takes the selection away and puts it on the clipboard.
    host.Key(VK_HOME, kCtrl);
    host.Key(VK_END, kShift);
    host.Key(VK_DELETE, kShift);
    EXPECT_EQ(ClipboardText(),
              L"\x041F\x0440\x0438\x0432\x0435\x0442 \x043C\x0438\x0440\x0401\x0436");
    EXPECT_EQ(host.model().Text(), "\r\nx\r\n");
    host.Key(VK_INSERT, kShift);
    EXPECT_EQ(host.model().Line(0), S(u8"Привет мирЁж"_cp));
}

TEST(ScriptEditorWindow, UndoAndRedoByKeys) {
    EditorHost host;
    host.editor().SetText("");
    host.Type(L"hello");
    host.Key('Z', kCtrl);
    EXPECT_EQ(host.model().Text(), "\r\n");
    host.Key('Z', kCtrl | kShift);
    EXPECT_EQ(host.model().Text(), "hello\r\n");
    host.Key(VK_BACK, kAlt);  // arrives as WM_SYSKEYDOWN
    EXPECT_EQ(host.model().Text(), "\r\n");
    host.Key(VK_BACK, kAlt | kShift);
    EXPECT_EQ(host.model().Text(), "hello\r\n");
}

TEST(ScriptEditorWindow, OwnerSeesKeysFirstAndEventsFollowChanges) {
    EditorHost host;
    host.editor().SetText("x");
    int text_events = 0, caret_events = 0;
    std::vector<std::pair<int, unsigned>> keys;
    host.editor().on_text_changed = [&] { ++text_events; };
    host.editor().on_caret_moved = [&] { ++caret_events; };
    host.editor().on_key_down = [&](int key, unsigned mods) {
        keys.emplace_back(key, mods);
        return key == 'N' && mods == kCtrl;  // the owner's Ctrl+N
    };
    host.Key('N', kCtrl);
    EXPECT_EQ(host.model().LineCount(), 1);  // the editor's own Ctrl+N did not run
    EXPECT_EQ(text_events, 0);
    ASSERT_FALSE(keys.empty());
    EXPECT_EQ(keys.back(), (std::pair<int, unsigned>{'N', kCtrl}));

    host.Key(VK_END);
    EXPECT_EQ(caret_events, 1);
    EXPECT_EQ(text_events, 0);
    host.Type(L"y");
    EXPECT_EQ(text_events, 1);
    EXPECT_EQ(host.model().Text(), "xy\r\n");
}

TEST(ScriptEditorWindow, ReadOnlyEditorIgnoresTypingButStillSelects) {
    EditorHost host;
    host.editor().SetText("abc");
    host.editor().SetReadOnly(true);
    host.Type(L"zz");
    host.Key(VK_DELETE);
    host.Key(VK_SPACE, kCtrl);
    EXPECT_EQ(host.model().Text(), "abc\r\n");
    EXPECT_FALSE(host.editor().completion()->IsOpen());
    host.Key(VK_END, kShift);
    EXPECT_EQ(host.model().SelectedText(), "abc");
}

TEST(ScriptEditorWindow, ScrollsToTheCaretAndByTheScrollBarAndWheel) {
    EditorHost host;
    std::string text;
    for (int i = 1; i <= 200; ++i) text += "line " + std::to_string(i) + "\r\n";
    host.editor().SetText(text);
    host.Key(VK_END, kCtrl);
    const int visible = host.editor().VisibleLineCount();
    const int top = host.model().TopLine();
    EXPECT_GT(top, 0);
    EXPECT_GE(host.model().Caret().line, top);
    EXPECT_LT(host.model().Caret().line, top + visible);
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_POS;
    ::GetScrollInfo(host.hwnd(), SB_VERT, &si);
    EXPECT_EQ(si.nPos, top);

    ::SendMessageW(host.hwnd(), WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(host.model().TopLine(), 0);
    ::SendMessageW(host.hwnd(), WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(host.model().TopLine(), 1);
    ::SendMessageW(host.hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    EXPECT_GT(host.model().TopLine(), 1);

    // Dragging the thumb shows the range of lines in a tip beside the scroll bar.
    ::SendMessageW(host.hwnd(), WM_VSCROLL, SB_THUMBTRACK, 0);
    const int shown_top = host.model().TopLine() + 1;
    HWND hint = ThreadWindow(L"TScrollHint");
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(::IsWindowVisible(hint));
    wchar_t shown[64] = {};
    ::GetWindowTextW(hint, shown, 64);
    EXPECT_EQ(std::wstring(shown), Wide(u8"Строки: "_cp) + std::to_wstring(shown_top) + L" - " +
                                       std::to_wstring(shown_top + visible - 1));
    EXPECT_NE(::GetFocus(), hint);
    ::SendMessageW(host.hwnd(), WM_VSCROLL, SB_ENDSCROLL, 0);
    EXPECT_FALSE(::IsWindowVisible(hint));

    // Horizontal: a long line scrolls into view as the caret goes to its end.
    host.editor().SetText(std::string(300, 'a'));
    host.Key(VK_END);
    si.fMask = SIF_POS;
    ::GetScrollInfo(host.hwnd(), SB_HORZ, &si);
    EXPECT_GT(si.nPos, 0);
    POINT caret = host.editor().CaretPixel();
    RECT rc;
    ::GetClientRect(host.hwnd(), &rc);
    EXPECT_LT(caret.x, rc.right);
}

TEST(ScriptEditorWindow, PreviewSettingsHideTheHintAndLeaveTabToTheDialog) {
    EditorHost host(ScriptEditorWindow::PreviewSettings());
    EXPECT_EQ(host.editor().completion(), nullptr);
    LRESULT code = ::SendMessageW(host.hwnd(), WM_GETDLGCODE, 0, 0);
    EXPECT_FALSE(code & DLGC_WANTTAB);
    EXPECT_TRUE(code & DLGC_WANTARROWS);
    std::string text;
    for (int i = 0; i < 100; ++i) text += "x\r\n";
    host.editor().SetText(text);
    ::SendMessageW(host.hwnd(), WM_VSCROLL, SB_THUMBTRACK, 0);
    HWND hint = ThreadWindow(L"TScrollHint");
    EXPECT_TRUE(hint == nullptr || !::IsWindowVisible(hint));
}

// A highlighter that counts the lines it is asked to scan.
class CountingHighlighter final : public editor::Highlighter {
  public:
    std::string_view ComponentName() const override { return inner.ComponentName(); }
    std::string_view LanguageName() const override { return inner.LanguageName(); }
    std::string_view FileFilter() const override { return inner.FileFilter(); }
    editor::LineState ScanLine(std::string_view line, editor::LineState start,
                               std::vector<editor::TokenRun>& out) const override {
        ++scans;
        return inner.ScanLine(line, start, out);
    }
    editor::LineState EndState(std::string_view line, editor::LineState start) const override {
        ++scans;
        return inner.EndState(line, start);
    }
    bool HasLineState() const override { return true; }

    editor::TJScriptHighlighter inner;
    mutable int scans = 0;
};

TEST(ScriptEditorWindow, AKeystrokeScansOnlyTheLinesItShows) {
    EditorHost host;
    CountingHighlighter counting;
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "var x" + std::to_string(i) + " = 'a' + 1; // note\r\n";
    host.editor().SetText(text);
    host.editor().SetHighlighter(&counting);
    host.editor().SetCaretXY(1, 2500);
    ::UpdateWindow(host.hwnd());
    EditorHost::Pump();

    counting.scans = 0;
    host.Type(L"q");
    ::UpdateWindow(host.hwnd());
    EditorHost::Pump();
    EXPECT_LE(counting.scans, host.editor().VisibleLineCount() * 2 + 4);
    EXPECT_GT(counting.scans, 0);  // the changed line was drawn again
}

TEST(ScriptEditorWindow, PaintsSelectionTokenBackgroundGutterMarginAndCaret) {
    EditorHost host;
    editor::TVBScriptHighlighter vb;
    editor::THighlighterAttributes* str = vb.FindClass("String");
    ASSERT_NE(str, nullptr);
    str->background = 0x0000FF;  // red
    host.editor().SetHighlighter(&vb);
    host.editor().SetText("x = \"a   b\"\r\nDim y");
    host.editor().SetRightMargin(20);
    host.model().SetSelection({1, 0}, {1, 3});
    host.editor().Sync();

    const int lh = host.editor().LineHeight();
    POINT in_string = host.editor().PointOf({0, 6});
    EXPECT_EQ(ClientPixel(host.hwnd(), in_string.x + 1, in_string.y + 1), RGB(255, 0, 0));
    POINT selected = host.editor().PointOf({1, 1});
    EXPECT_EQ(ClientPixel(host.hwnd(), selected.x + 1, selected.y + 1),
              ::GetSysColor(COLOR_HIGHLIGHT));
    POINT plain = host.editor().PointOf({1, 10});
    EXPECT_EQ(ClientPixel(host.hwnd(), plain.x + 2, plain.y + 1), ::GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(ClientPixel(host.hwnd(), 2, lh * 3 + 1), ::GetSysColor(COLOR_BTNFACE));  // gutter
    POINT margin = host.editor().PointOf({0, 20});
    EXPECT_EQ(ClientPixel(host.hwnd(), margin.x, lh * 4), RGB(192, 192, 192));

    // The caret: a thin bar in insert mode, a block in overwrite mode.
    host.model().ClearSelection();
    host.editor().SetCaretXY(11, 2);  // beyond the line's end, on blank cells
    POINT caret = host.editor().CaretPixel();
    COLORREF window = ::GetSysColor(COLOR_WINDOW);
    int mid = caret.y + lh / 2 + 1;
    EXPECT_NE(ClientPixel(host.hwnd(), caret.x, mid), window);
    EXPECT_EQ(ClientPixel(host.hwnd(), caret.x + 4, mid), window);
    host.Key(VK_INSERT);
    EXPECT_NE(ClientPixel(host.hwnd(), caret.x + 4, mid), window);

    // The margin line goes away at -1; the gutter when hidden.
    host.editor().SetRightMargin(-1);
    EXPECT_EQ(ClientPixel(host.hwnd(), margin.x, lh * 4), window);
    host.editor().SetGutterVisible(false);
    EXPECT_EQ(ClientPixel(host.hwnd(), 0, lh * 4), window);
}

TEST(ScriptEditorWindow, RepaintsExactlyWhatSelectionAndEditingChange) {
    EditorHost host;
    host.editor().SetText("aaaa\r\nbbbb\r\ncccc\r\ndddd\r\neeee");
    host.Key(VK_HOME, kCtrl);
    const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF window = ::GetSysColor(COLOR_WINDOW);
    auto at = [&](int line) {
        POINT p = host.editor().PointOf({line, 8});  // beyond the text: only background
        return ScreenPixel(host.hwnd(), p.x + 2, p.y + 2);
    };
    for (int i = 0; i < 3; ++i) host.Key(VK_DOWN, kShift);
    EXPECT_EQ(at(1), highlight);
    EXPECT_EQ(at(2), highlight);
    host.Key(VK_UP, kShift);
    host.Key(VK_UP, kShift);
    EXPECT_EQ(at(0), highlight);
    EXPECT_EQ(at(1), window);
    EXPECT_EQ(at(2), window);

    // Mouse selection, then a click elsewhere clears it on screen.
    host.Drag(host.CaretPoint(2, 1), host.CaretPoint(4, 1));
    EXPECT_EQ(at(3), highlight);
    host.Click(host.CaretPoint(0, 0));
    EXPECT_EQ(at(3), window);

    // Deleting a line moves the lines below up, gutter numbers included.
    host.Key(VK_DOWN);
    host.Key('Y', kCtrl);
    EXPECT_EQ(host.model().LineCount(), 4);
    POINT gone = host.editor().PointOf({4, 0});
    ::UpdateWindow(host.hwnd());
    WindowDc dc(host.hwnd());
    int ink = 0;  // no number left behind for a line 5
    for (int y = gone.y; y < gone.y + host.editor().LineHeight(); ++y)
        for (int x = 0; x < host.editor().GutterWidth() - 2; ++x)
            ink += ::GetPixel(dc.get(), x, y) != ::GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(ink, 0);
    POINT kept = host.editor().PointOf({3, 0});
    for (int y = kept.y; y < kept.y + host.editor().LineHeight(); ++y)
        for (int x = 0; x < host.editor().GutterWidth() - 2; ++x)
            ink += ::GetPixel(dc.get(), x, y) != ::GetSysColor(COLOR_BTNFACE);
    EXPECT_GT(ink, 0);  // while line 4 has its number
}

TEST(ScriptEditorWindow, SurvivesItsParentBeingDestroyedFirst) {
    HWND frame = CreateTestFrame({300, 200});
    auto host =
        std::make_unique<EditorHost>(ScriptEditorWindow::PreviewSettings(), SIZE{300, 200}, frame);
    ::DestroyWindow(frame);
    EXPECT_EQ(host->editor().hwnd(), nullptr);
    host.reset();  // must not destroy the window a second time or crash
}

}  // namespace
}  // namespace zeph::win::test
