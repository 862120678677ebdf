// Snapshots of highlighted scripts and of the completion list for a person to look at; they
// land in the build tree's screens folder.
#include <gtest/gtest.h>

#include "editor/completion_popup.h"
#include "text/cp1251.h"
#include "win32/editor/harness.h"

namespace zeph::win::test {
namespace {

using text::operator""_cp;

// Pixels of a colour on a line of the editor, between two 0-based character columns, as the
// editor paints them.
int PixelsOnLine(EditorHost& host, int line, int from, int to, COLORREF colour) {
    RECT rc{};
    ::GetClientRect(host.hwnd(), &rc);
    WindowDc screen(nullptr);
    UniqueMemoryDc dc(::CreateCompatibleDC(screen.get()));
    UniqueBitmap bmp(::CreateCompatibleBitmap(screen.get(), rc.right, rc.bottom));
    SelectedObject keep(dc.get(), bmp.get());
    host.editor().PaintInto(dc.get());
    const POINT left = host.editor().PointOf({line, from});
    const POINT right = host.editor().PointOf({line, to});
    int count = 0;
    for (int y = left.y; y < left.y + host.editor().LineHeight(); ++y)
        for (int x = left.x; x < right.x; ++x)
            if (::GetPixel(dc.get(), x, y) == colour) ++count;
    return count;
}

TEST(EditorSnapshots, VBScriptSample) {
    EditorHost host;
    editor::TVBScriptHighlighter vb;
    editor::ApplyWorkbenchLooks(vb);
    host.editor().SetHighlighter(&vb);
    host.editor().SetText(
        u8"option explicit\r\n"
        u8"' Перебор выделенных объектов карты\r\n"
        u8"Dim map, obj, i\r\n"
        u8"Set map = Application.ActiveMap\r\n"
        u8"For i = 0 To map.Selection.Count - 1\r\n"
        u8"\tSet obj = map.Selection.Item(i)\r\n"
        u8"\tIf obj.Area >= 1.5E3 Then MsgBox \"Объект \" & obj.ID & \" велик\"\r\n"
        u8"Next\r\n"
        u8"d = #12/31/2026#  ' дата\r\n"
        u8"Rem not a comment: Привет\r\n"_cp);
    host.editor().SetRightMargin(60);
    host.editor().SetCaretXY(1, 5);
    host.Key('1', kCtrl | kShift);              // bookmark 1 in the gutter
    host.model().SetSelection({3, 4}, {3, 7});  // "map"
    host.editor().SetCaretXY(8, 4);
    host.model().SetSelection({3, 4}, {3, 7});
    host.editor().Sync();
    host.editor().Focus();
    EditorHost::Pump();
    EXPECT_TRUE(SaveShownWindow(host.hwnd(), ScreensDir() + "/vbscript.bmp"));
    // The classes' colours reach the screen: a green comment, a blue keyword, navy names.
    EXPECT_GT(PixelsOnLine(host, 1, 0, 10, RGB(0, 128, 0)), 0);
    EXPECT_GT(PixelsOnLine(host, 2, 0, 3, RGB(0, 0, 255)), 0);  // "Dim"
    EXPECT_EQ(PixelsOnLine(host, 2, 0, 3, RGB(0, 0, 128)), 0);
    EXPECT_GT(PixelsOnLine(host, 4, 8, 9, RGB(0, 0, 128)), 0);  // "i"
    EXPECT_EQ(PixelsOnLine(host, 4, 8, 9, RGB(0, 0, 255)), 0);
}

TEST(EditorSnapshots, JScriptSample) {
    EditorHost host;
    editor::TJScriptHighlighter js;
    editor::ApplyWorkbenchLooks(js);
    host.editor().SetHighlighter(&js);
    host.editor().SetText(
        u8"/* Площадь выделенных\r\n"
        u8"   объектов */ var total = 0;\r\n"
        u8"var map = Application.ActiveMap;\r\n"
        u8"for (var i = 0; i < map.Selection.Count; i++) {\r\n"
        u8"  total += map.Selection.Item(i).Area * 0x1F;\r\n"
        u8"}\r\n"
        u8"// Итог: Привет\r\n"
        u8"if (total > 1.5) alert('Итог: ' + Math.round(total));\r\n"
        u8"document.onClick = null; var s = \"a\\\"b\";\r\n"
        u8"Имя = 1..2;\r\n"_cp);
    host.editor().SetRightMargin(50);
    host.editor().Focus();
    host.Key(VK_INSERT);  // overwrite caret
    host.editor().SetCaretXY(5, 3);
    EditorHost::Pump();
    EXPECT_TRUE(SaveShownWindow(host.hwnd(), ScreensDir() + "/jscript.bmp"));
    // The comment that goes on from the first line stays a comment up to its end only; the
    // line comment is green to its end; keywords blue, names navy.
    const COLORREF green = RGB(0, 128, 0), blue = RGB(0, 0, 255), navy = RGB(0, 0, 128);
    struct Cells {
        const char* what;
        int line, from, to;
        COLORREF colour;
        bool shown;
    };
    for (const Cells& c : {
             Cells{"first comment line", 0, 3, 12, green, true},
             Cells{"the comment's second line", 1, 3, 11, green, true},
             Cells{"the comment's second line", 1, 3, 11, navy, false},
             Cells{"var after the comment", 1, 15, 18, blue, true},
             Cells{"var after the comment", 1, 15, 18, green, false},
             Cells{"total after the comment", 1, 19, 24, navy, true},
             Cells{"total after the comment", 1, 19, 24, green, false},
             Cells{"line comment", 6, 0, 15, green, true},
             Cells{"line comment", 6, 0, 15, navy, false},
             Cells{"if after the line comment", 7, 0, 2, blue, true},
             Cells{"if after the line comment", 7, 0, 2, green, false},
         }) {
        const int pixels = PixelsOnLine(host, c.line, c.from, c.to, c.colour);
        EXPECT_EQ(pixels > 0, c.shown)
            << c.what << ": " << pixels << " pixels of 0x" << std::hex << c.colour;
    }
}

TEST(EditorSnapshots, PreviewWithLargerFontAndColumnSelection) {
    EditorHost host(ScriptEditorWindow::PreviewSettings(), SIZE{349, 205});
    editor::TJScriptHighlighter js;
    host.editor().SetHighlighter(&js);
    host.editor().SetText(
        "// Syntax highlighting\r\n"
        "function printNumber()\r\n"
        "{\r\n"
        "  var number = 1234;\r\n"
        "  var x;\r\n"
        "  document.write(\"The number is \" + number);\r\n"
        "  for (var i = 0; i <= number; i++)\r\n"
        "  {\r\n"
        "    x++;\r\n"
        "    x--;\r\n"
        "    x += 1.0;\r\n"
        "  }\r\n"
        "}\r\n");
    host.editor().SetRightMargin(30);
    host.editor().Focus();
    host.Key(VK_HOME, kCtrl);
    host.Key('C', kCtrl | kShift);  // column selection
    host.Key(VK_DOWN, kShift);
    host.Key(VK_DOWN, kShift);
    host.Key(VK_RIGHT, kShift);
    host.Key(VK_RIGHT, kShift);
    host.Key(VK_RIGHT, kShift);
    EXPECT_TRUE(SaveShownWindow(host.hwnd(), ScreensDir() + "/preview.bmp"));
    // The block of three columns on the first three lines is selected, and nothing beside it.
    const COLORREF selected = ::GetSysColor(COLOR_HIGHLIGHT);
    const int cell = host.editor().CharWidth() * host.editor().LineHeight();
    for (const int line : {0, 1, 2}) {
        SCOPED_TRACE(line);
        // The block's characters (the third line has one) filled but for their strokes.
        const int chars = line == 2 ? 1 : 3;
        EXPECT_GT(PixelsOnLine(host, line, 0, chars, selected), cell * chars / 2);
        EXPECT_EQ(PixelsOnLine(host, line, 3, 12, selected), 0);
    }
    EXPECT_EQ(PixelsOnLine(host, 3, 0, 12, selected), 0);
}

TEST(EditorSnapshots, CompletionList) {
    EditorHost host;
    editor::TVBScriptHighlighter vb;
    editor::ApplyWorkbenchLooks(vb);
    host.editor().SetHighlighter(&vb);
    auto& c = *host.editor().completion();
    c.on_execute = [](editor::CompletionModel& m, editor::ProposalExecuteArgs&) {
        m.ClearList();
        m.AddItem("property\tName\t: String", "Name");
        m.AddItem("property\tVisible\t: Boolean", "Visible");
        m.AddItem("method\tAddObject\t(Layer: ILayer)", "AddObject");
        m.AddItem(u8"constructor\tCreate\t: Объект"_cp, "Create");
        m.AddItem("verylongfirstcolumnword\tCut\t: the first column is cut", "Cut");
        for (int i = 0; i < 20; ++i)
            m.AddItem("function\tItem" + std::to_string(i) + "\t(Index: Long)", "Item");
        m.ResetFilteredToItems();
    };
    host.editor().SetText("Set map = Application.");
    host.Key(VK_END);
    host.Key(VK_SPACE, kCtrl);
    host.Key(VK_DOWN);
    HWND popup = host.editor().completion_window()->hwnd();
    ASSERT_TRUE(::IsWindowVisible(popup));
    EditorHost::Pump();
    EXPECT_TRUE(SaveShownWindow(popup, ScreensDir() + "/completion.bmp"));
    // Under the caret line, as wide as the model says.
    RECT list{};
    ::GetWindowRect(popup, &list);
    EXPECT_EQ(list.right - list.left, c.width);
    POINT caret = host.editor().PointOf(host.model().Caret());
    ::ClientToScreen(host.hwnd(), &caret);
    EXPECT_EQ(list.left, caret.x);
    EXPECT_EQ(list.top, caret.y + host.editor().LineHeight());
    // The editor with the list under its caret line, as the screen shows them together.
    RECT editor_rect, popup_rect, both;
    ::GetWindowRect(host.hwnd(), &editor_rect);
    ::GetWindowRect(popup, &popup_rect);
    ::UnionRect(&both, &editor_rect, &popup_rect);
    EXPECT_TRUE(SaveScreenBitmap(both, ScreensDir() + "/completion_editor.bmp"));
}

}  // namespace
}  // namespace zeph::win::test
