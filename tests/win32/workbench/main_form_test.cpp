#include "workbench/main_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/unique.h"
#include "base/wide.h"
#include "desktop.h"
#include "text/cp1251.h"
#include "win32/workbench/fake_tellur.h"
#include "win32/workbench/window_fixture.h"

namespace zeph::win {
namespace {

using text::operator""_cp;
using test::Press;
using test::Pump;
using testing::FakeApplication;
using wbtest::DoubleClick;
using wbtest::HeightOf;
using wbtest::ListLines;
using wbtest::MessageBoxCatcher;
using wbtest::PumpUntil;
using wbtest::RecordingStore;
using wbtest::WorkbenchWindowTest;

const std::string kVbCaption(u8"Модуль быстрого запуска скрипта (VBScript)"_cp);
const std::string kJsCaption(u8"Модуль быстрого запуска скрипта (JavaScript)"_cp);
const std::string kNotice(u8" - Скрипт сохранен"_cp);

TEST_F(WorkbenchWindowTest, SetUpShowsAnOwnedWindowWithItsLayout) {
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), owner);
    EXPECT_EQ(Caption(), kVbCaption);
    EXPECT_THAT(store.calls, ::testing::ElementsAre("ApplyStore"));
    EXPECT_GT(app.refs, 1u);  // the window keeps its own references

    RECT client{};
    ::GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, form->Scaled(376));
    EXPECT_EQ(client.bottom, form->Scaled(160));
    RECT editor{};
    ::GetWindowRect(form->EditorHandle(), &editor);
    ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&editor), 2);
    // Under the tool bar (31 high) the strip of procedures, check and caret place, then the
    // editor down to the bottom.
    RECT strip{};
    ::GetWindowRect(form->Strip()->Button(), &strip);
    ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&strip), 2);
    EXPECT_GE(strip.top, form->Scaled(31));
    EXPECT_EQ(editor.top, form->Scaled(31) + form->Strip()->Height());
    EXPECT_LE(strip.bottom, editor.top);
    EXPECT_EQ(editor.bottom, client.bottom);
    // Activation reaches a window without a window manager only through the message loop,
    // later on a busy machine: give it a few seconds before judging.
    EXPECT_TRUE(PumpUntil([&] { return ::GetFocus() == form->EditorHandle(); }, test::kWaitMs,
                          "the focus in the editor"));
    EXPECT_EQ(EditorText(), "option explicit\r\n");
    EXPECT_EQ(form->Presenter().CurrentLanguage(), "VBScript");
}

TEST_F(WorkbenchWindowTest, MinimumSizeIsEnforced) {
    MINMAXINFO info{};
    ::SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, form->Scaled(384));
    EXPECT_EQ(info.ptMinTrackSize.y, form->Scaled(200));
}

TEST_F(WorkbenchWindowTest, EscMovesToTheEditorAndNeverCloses) {
    ::SetFocus(form->SavedScriptsHandle());
    Pump();
    ASSERT_NE(::GetFocus(), form->EditorHandle());
    Press(VK_ESCAPE);
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_EQ(::GetFocus(), form->EditorHandle());
    Press(VK_ESCAPE);  // in the editor too
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_EQ(freed, 0);
}

TEST_F(WorkbenchWindowTest, EnterBreaksTheLineInTheEditorAndSavesInTheBox) {
    SetCaretXY(7, 1);
    Press(VK_RETURN);
    EXPECT_EQ(EditorText(), "option\r\n explicit\r\n");
    EXPECT_THAT(store.calls, ::testing::ElementsAre("ApplyStore"));

    Press(VK_F4);  // to the saved-script box
    EXPECT_TRUE(::SendMessageW(form->SavedScriptsHandle(), CB_GETDROPPEDSTATE, 0, 0));
    ::SetWindowTextW(form->SavedScriptsHandle(), L"Report");
    Press(VK_RETURN);
    EXPECT_THAT(store.calls, ::testing::ElementsAre("ApplyStore", "StoreScript(Report,VBScript)",
                                                    "SaveWorkbenchState", "ApplyStore"));
    EXPECT_EQ(Caption(), kVbCaption + kNotice);
    EXPECT_EQ(EditorText(), "option\r\n explicit\r\n");
}

TEST_F(WorkbenchWindowTest, WindowShortcutsComeBeforeTheEditorsKeys) {
    app.selection.ids = {L"15", L"27"};
    SetCaretXY(1, 1);
    Press(VK_F1, true);  // Ctrl+F1
    EXPECT_EQ(EditorText(), "\"15\", \"27\"option explicit\r\n");

    Press('X');  // plain letters still reach the editor
    EXPECT_EQ(EditorText(), "x\"15\", \"27\"option explicit\r\n");

    Press('L', true);  // Ctrl+L: language switch
    EXPECT_EQ(Caption(), kJsCaption + kNotice);
    EXPECT_EQ(form->Presenter().CurrentLanguage(), "JavaScript");
    EXPECT_EQ(EditorText(), "x\"15\", \"27\"option explicit\r\n");
    EXPECT_EQ(form->Editor().Highlighter()->ComponentName(), "JavaScriptHighlighter");
}

// Keys reach the editor once each and in their order, whether the host's loop translates keys
// or not, and whether they were posted as whole strokes, as bare key messages, or typed.
TEST_F(WorkbenchWindowTest, PostedAndTypedKeysArriveOnceAndInOrder) {
    enum class Input { kPostedStrokes, kPostedKeysOnly, kTyped };
    struct Key {
        WORD vk;
        wchar_t ch;  // 0: a key without a character
    };
    // "a", Home, "b": the Home between the characters must act between them.
    const Key keys[] = {{'A', L'a'}, {VK_HOME, 0}, {'B', L'b'}};
    for (const bool translating : {true, false}) {
        for (const Input input : {Input::kPostedStrokes, Input::kPostedKeysOnly, Input::kTyped}) {
            SCOPED_TRACE(::testing::Message() << "translating loop " << translating << ", input "
                                              << static_cast<int>(input));
            if (translating) {
                test::SetLoopFilter({});
            } else {
                // A host loop that dispatches without ever translating keys.
                test::SetLoopFilter([](MSG& m) {
                    ::DispatchMessageW(&m);
                    return true;
                });
            }
            ::SetFocus(form->EditorHandle());
            form->Editor().SetText("");
            HWND editor = form->EditorHandle();
            // One stroke at a time, as automation tools send them, each handled before the next.
            for (const Key& k : keys) {
                const std::string before = EditorText();
                const LPARAM lp = 1 | (static_cast<LPARAM>(::MapVirtualKeyW(k.vk, 0)) << 16);
                if (input == Input::kTyped) {
                    INPUT stroke[2] = {test::KeyInput(k.vk, false), test::KeyInput(k.vk, true)};
                    ::SendInput(2, stroke, sizeof(INPUT));
                } else {
                    ::PostMessageW(editor, WM_KEYDOWN, k.vk, lp);
                    if (k.ch && input == Input::kPostedStrokes)
                        ::PostMessageW(editor, WM_CHAR, k.ch, lp);
                    ::PostMessageW(editor, WM_KEYUP, k.vk, lp | 0xC0000000);
                }
                if (k.ch) PumpUntil([&] { return EditorText() != before; });
                // A doubled character would come right behind the stroke.
                if (input == Input::kTyped)
                    ASSERT_TRUE(test::InputHandled());
                else
                    ASSERT_TRUE(test::PumpPosted());
            }
            EXPECT_EQ(EditorText(), "ba\r\n");
        }
    }
    test::SetLoopFilter({});
}

TEST_F(WorkbenchWindowTest, CaptionNoticeEndsWithItsTimer) {
    const DWORD start = ::GetTickCount();
    form->Presenter().MarkCaptionSaved();
    form->Presenter().MarkCaptionSaved();  // within the period: shown once
    EXPECT_EQ(Caption(), kVbCaption + kNotice);
    ASSERT_TRUE(PumpUntil([&] { return Caption() == kVbCaption; }));
    EXPECT_GE(::GetTickCount() - start, 2900u);  // the window's own 3000 ms timer ended it
}

TEST_F(WorkbenchWindowTest, RefillingTheListKeepsTheTypedName) {
    ::SetWindowTextW(form->SavedScriptsHandle(), L"Report");
    form->View().ClearScriptList();  // as ApplyStore does first
    EXPECT_EQ(Text(form->SavedScriptsHandle()), L"Report");
    form->View().AddScriptNames({"A", "B"});
    EXPECT_EQ(Text(form->SavedScriptsHandle()), L"Report");
}

TEST_F(WorkbenchWindowTest, FailedSaveOnClosingAsksAndNoKeepsTheWindow) {
    store.fail_close = true;
    form->Editor().SetText("MsgBox 1");
    {
        MessageBoxCatcher boxes;
        boxes.answer = IDNO;
        ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_THAT(boxes.texts[0], ::testing::HasSubstr("read-only store."));
    }
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_EQ(EditorText(), "MsgBox 1\r\n");
    MessageBoxCatcher boxes;
    boxes.answer = IDYES;
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(freed, 1);
}

// Pixels of a colour in a band of the editor's client area, as the screen shows them.
int ScreenPixels(HWND editor, RECT band, COLORREF colour) {
    ::UpdateWindow(editor);
    WindowDc dc(editor);
    int count = 0;
    for (int y = band.top; y < band.bottom; ++y)
        for (int x = band.left; x < band.right; ++x)
            if (::GetPixel(dc.get(), x, y) == colour) ++count;
    return count;
}

TEST_F(WorkbenchWindowTest, LooksChangedByAKeysActionAreShownAtOnce) {
    // The keyword on a line of its own, away from the caret, whose moves repaint its line.
    form->Editor().SetText("x = 1\r\nDim x");
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const POINT end = form->Editor().PointOf({1, 3});
    const RECT word{form->Editor().PointOf({1, 0}).x, end.y, end.x,
                    end.y + form->Editor().LineHeight()};
    ASSERT_GT(ScreenPixels(form->EditorHandle(), word, RGB(0, 0, 255)), 0);  // "Dim", blue
    store.on_apply = [&] {
        for (editor::Highlighter* h :
             {static_cast<editor::Highlighter*>(&form->View().JavaScriptHighlighter()),
              &form->View().VBScriptHighlighter()}) {
            h->FindClass("Reserved word")->foreground = 0x000080;  // maroon
            h->NotifyLooksChanged();
        }
    };
    Press('S', true);  // Ctrl+S: stores, then applies the store
    Pump();
    EXPECT_GT(ScreenPixels(form->EditorHandle(), word, RGB(128, 0, 0)), 0);
    EXPECT_EQ(ScreenPixels(form->EditorHandle(), word, RGB(0, 0, 255)), 0);
}

TEST_F(WorkbenchWindowTest, StaysAboveItsOwnerAfterAClickOnIt) {
    RECT owner_rect{}, form_rect{};
    ::GetWindowRect(owner, &owner_rect);
    ::GetWindowRect(hwnd, &form_rect);
    // A point of the owner outside the workbench window.
    POINT click{owner_rect.right - 20, owner_rect.bottom - 20};
    ASSERT_FALSE(::PtInRect(&form_rect, click));
    ::SetCursorPos(click.x, click.y);
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, in, sizeof(INPUT));
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == owner; }));
    Pump();
    // Above in the window list, and on the screen: its pixels are its own.
    bool above = false;
    for (HWND w = ::GetWindow(hwnd, GW_HWNDNEXT); w; w = ::GetWindow(w, GW_HWNDNEXT))
        if (w == owner) above = true;
    EXPECT_TRUE(above);
    POINT inside{10, 10};
    ::ClientToScreen(form->EditorHandle(), &inside);
    EXPECT_EQ(::WindowFromPoint(inside), form->EditorHandle());
}

TEST_F(WorkbenchWindowTest, CtrlQStoresAndFreesTheWindow) {
    Press('Q', true);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(freed, 1);
    EXPECT_THAT(store.calls, ::testing::ElementsAre("ApplyStore", "SaveOnClose"));
    EXPECT_EQ(app.refs, 1u);  // its reference went with it
}

TEST_F(WorkbenchWindowTest, CloseBoxClosesLikeCtrlQ) {
    ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(store.calls.back(), "SaveOnClose");
}

TEST_F(WorkbenchWindowTest, DeleteDestroysWithoutCloseHandling) {
    delete form;
    EXPECT_EQ(freed, 1);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_THAT(store.calls, ::testing::ElementsAre("ApplyStore"));
    Press('Q', true);  // the key hook is gone with the window
}

TEST_F(WorkbenchWindowTest, HelpWithoutItsFileWarns) {
    MessageBoxCatcher boxes;
    Press(VK_F1);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0],
              std::string(u8"Не найден файл справки:"_cp) + "C:\\nowhere\\Zeph_Help.chm");
    EXPECT_EQ(boxes.captions[0], u8"Файл справки не найден"_cp);
    EXPECT_TRUE(::IsWindow(hwnd));
}

TEST_F(WorkbenchWindowTest, ErrorsReachTheGeneralHandler) {
    MessageBoxCatcher boxes;
    app.selection.ids = {L"1"};
    app.folder.clear();
    form->Presenter().ReportError("Host failed");
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "Host failed.");
    EXPECT_TRUE(::IsWindow(hwnd));
}

TEST_F(WorkbenchWindowTest, RunWithoutTheDescriptionReportsAndKeepsTheText) {
    MessageBoxCatcher boxes;
    form->Editor().SetText("x = 1");
    Press(VK_F5);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_THAT(boxes.texts[0], ::testing::HasSubstr("TellurTlb.xml"));
    EXPECT_EQ(EditorText(), "x = 1\r\n");
    EXPECT_TRUE(::IsWindow(hwnd));
}

TEST_F(WorkbenchWindowTest, RunsWithTheConstantsAndShowsScriptErrors) {
    wchar_t temp[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, temp);
    app.folder = std::wstring(temp) + L"zeph_workbench_run\\";
    ::CreateDirectoryW(app.folder.c_str(), nullptr);
    if (FILE* f = _wfopen((app.folder + L"TellurTlb.xml").c_str(), L"wb")) {
        std::fputs(
            "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Tlb><Units name=\"Units\">"
            "<const name=\"unFeet\" value=\"2\"/></Units></Tlb>",
            f);
        std::fclose(f);
    }
    MessageBoxCatcher boxes;
    form->Editor().SetText("option explicit\r\nDim x\r\nx = unFeet\r\nIf x <> 2 Then Err.Raise 5");
    Press(VK_F5);
    EXPECT_TRUE(boxes.texts.empty()) << (boxes.texts.empty() ? "" : boxes.texts[0]);
    EXPECT_EQ(::GetFocus(), form->EditorHandle());

    form->Editor().SetText("option explicit\r\nDim x\r\nx = (1 +\r\n");
    Press(VK_RETURN, true);  // Ctrl+Enter
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_THAT(boxes.texts[0], ::testing::StartsWith(u8"Произошла ошибка: "_cp.data()));
    EXPECT_EQ(boxes.captions[0], u8"Ошибка"_cp);
    EXPECT_EQ(form->Editor().CaretY(), 3);
    EXPECT_EQ(EditorText(), "option explicit\r\nDim x\r\nx = (1 +\r\n");
}

TEST_F(WorkbenchWindowTest, OutputPaneShowsEchoesAndOutcomesAndF8HidesIt) {
    wchar_t temp[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, temp);
    app.folder = std::wstring(temp) + L"zeph_workbench_output\\";
    ::CreateDirectoryW(app.folder.c_str(), nullptr);
    if (FILE* f = _wfopen((app.folder + L"TellurTlb.xml").c_str(), L"wb")) {
        std::fputs("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Tlb></Tlb>", f);
        std::fclose(f);
    }
    HWND pane = form->OutputHandle();
    const int full = HeightOf(form->EditorHandle());
    EXPECT_FALSE(::IsWindowVisible(pane));  // hidden until first used

    MessageBoxCatcher boxes;
    form->Editor().SetText(u8"WScript.Echo \"Привет\", 1, True\r\nWScript.Echo\r\nx = 1 / 0"_cp);
    Press(VK_F5);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_TRUE(::IsWindowVisible(pane));
    EXPECT_LT(HeightOf(form->EditorHandle()), full);
    std::vector<std::string> lines = ListLines(pane);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], u8"Привет 1 True"_cp);
    EXPECT_EQ(lines[1], "");
    EXPECT_THAT(lines[2], ::testing::StartsWith(u8"Ошибка (строка 3, позиция "_cp.data()));
    test::SaveWindowBitmap(hwnd, std::string(ZEPH_SCREENS_DIR) + "/workbench_output.bmp");

    // The error line is marked until it is edited.
    EXPECT_EQ(form->Editor().ErrorLine(), 2);
    form->Editor().SetCaretXY(1, 3);
    Press(VK_END);
    Press('Q');
    EXPECT_EQ(form->Editor().ErrorLine(), -1);
    Press(VK_BACK);

    form->Editor().SetCaretXY(1, 1);
    DoubleClick(pane, 2);
    EXPECT_EQ(form->Editor().CaretY(), 3);
    EXPECT_EQ(::GetFocus(), form->EditorHandle());

    Press(VK_F8);
    EXPECT_FALSE(::IsWindowVisible(pane));
    EXPECT_EQ(HeightOf(form->EditorHandle()), full);
    Press(VK_F8);
    EXPECT_TRUE(::IsWindowVisible(pane));
    Press(VK_F8, false, true);  // Shift+F8 empties it
    EXPECT_TRUE(ListLines(pane).empty());

    form->Editor().SetText("x = 1 / 0");
    Press(VK_F5);
    EXPECT_EQ(form->Editor().ErrorLine(), 0);
    form->Editor().SetText("x = 1\r\nWScript.Echo \"ok\"");
    EXPECT_EQ(form->Editor().ErrorLine(), -1);  // a new text is another line
    Press(VK_F8, false, true);
    Press(VK_F5);
    lines = ListLines(pane);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "ok");
    EXPECT_THAT(lines[1], ::testing::StartsWith(u8"Выполнено за "_cp.data()));
    EXPECT_EQ(boxes.texts.size(), 2u);
}

TEST_F(WorkbenchWindowTest, CtrlF5RunsTheSelectedLinesAndReportsEditorLines) {
    wchar_t temp[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, temp);
    app.folder = std::wstring(temp) + L"zeph_workbench_selection\\";
    ::CreateDirectoryW(app.folder.c_str(), nullptr);
    if (FILE* f = _wfopen((app.folder + L"TellurTlb.xml").c_str(), L"wb")) {
        std::fputs("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Tlb></Tlb>", f);
        std::fclose(f);
    }
    MessageBoxCatcher boxes;
    // Line 1 would fail; the selection is lines 3 and 4, and line 4 fails.
    form->Editor().SetText("x = 1 / 0\r\n\r\nWScript.Echo \"sel\"\r\ny = 1 / 0");
    form->Editor().model().SetSelection({2, 0}, {3, 2});
    form->Editor().Sync();
    Press(VK_F5, true);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(form->Editor().CaretY(), 4);
    EXPECT_EQ(form->Editor().ErrorLine(), 3);
    const std::vector<std::string> lines = ListLines(form->OutputHandle());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "sel");
    EXPECT_THAT(lines[1], ::testing::StartsWith(u8"Ошибка (строка 4"_cp.data()));
}

constexpr const char* kRedrawMember =
    "<method name=\"Redraw\" return=\"Long\"><Param name=\"Full\" type=\"Boolean\"/></method>";

TEST_F(WorkbenchWindowTest, TypedBracketShowsTheParametersUntilTheCallCloses) {
    UseDescription(L"zeph_workbench_hint", kRedrawMember);
    ParameterTip& tip = *form->ParameterHint();
    form->Editor().SetText("");
    form->Editor().Focus();
    for (WORD k : {'A', 'P', 'P', 'L', 'I', 'C', 'A', 'T', 'I', 'O', 'N'}) Press(k);
    Press(VK_OEM_PERIOD);
    Press(VK_ESCAPE);  // the completion pop-up the dot may open
    for (WORD k : {'R', 'E', 'D', 'R', 'A', 'W'}) Press(k);
    EXPECT_FALSE(tip.Shown());
    Press('9', false, true);  // "("
    ASSERT_TRUE(tip.Shown()) << EditorText();
    EXPECT_EQ(tip.Text(), "Redraw(Full: Boolean): Long;");
    RECT area{};
    ::GetWindowRect(hwnd, &area);
    area.bottom += form->Editor().LineHeight() * 2;  // the tip may reach below the window
    test::SaveScreenBitmap(area, std::string(ZEPH_SCREENS_DIR) + "/workbench_hint.bmp");
    Press('1');
    EXPECT_TRUE(tip.Shown());
    Press('0', false, true);  // ")"
    EXPECT_FALSE(tip.Shown());

    for (int i = 0; i < 3; ++i) Press(VK_BACK);  // ")", "1" and "(" again
    Press('9', false, true);
    ASSERT_TRUE(tip.Shown()) << EditorText();
    Press(VK_ESCAPE);
    EXPECT_FALSE(tip.Shown());
    EXPECT_TRUE(::IsWindow(hwnd));
}

// The hint follows every key stroke; the description is read when it opens, not each time.
TEST_F(WorkbenchWindowTest, AnOpenHintReadsTheDescriptionOnlyWhenItOpens) {
    UseDescription(L"zeph_workbench_hint_reads", kRedrawMember);
    ParameterTip& tip = *form->ParameterHint();
    form->Editor().SetText("Redraw");
    form->Editor().SetCaretXY(7, 1);
    form->Editor().Focus();
    const int before = app.folder_asks;
    Press('9', false, true);  // "("
    ASSERT_TRUE(tip.Shown()) << EditorText();
    EXPECT_EQ(app.folder_asks, before + 1);
    for (WORD k : {WORD{'1'}, WORD{'2'}, WORD{'3'}, WORD{VK_BACK}, WORD{VK_LEFT}}) Press(k);
    EXPECT_TRUE(tip.Shown());
    EXPECT_EQ(app.folder_asks, before + 1);
    Press(VK_ESCAPE);
    form->Editor().SetCaretXY(7, 1);
    Press('9', false, true);  // a new hint reads the file again
    ASSERT_TRUE(tip.Shown()) << EditorText();
    EXPECT_EQ(app.folder_asks, before + 2);
}

TEST(WorkbenchWindowStore, ClosingAndReopeningBringsTheWorkBack) {
    wchar_t temp[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"zeph_workbench_store\\";
    for (const wchar_t* name :
         {L"zpconfig.cfg", L"zpconfig.cfg.bak", L"zpconfig.cfg.tmp", L"zpconfig.cfg.bak.new"})
        ::DeleteFileW((folder + name).c_str());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    FakeApplication app;
    app.folder = folder;

    TMainModelessDialogForm* form = TMainModelessDialogForm::CreateOwned(nullptr);
    form->AttachApplication(&app);  // no store yet: the default one is written, not applied
    EXPECT_NE(::GetFileAttributesW((folder + L"zpconfig.cfg").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(form->Editor().Text(), "option explicit\r\n");
    RECT first{};
    ::GetWindowRect(form->Handle(), &first);
    // The window stays where it was made; the file's place (100, 100, 350 wide) comes with the
    // next opening.
    EXPECT_FALSE(first.left == 100 && first.top == 100 && first.right - first.left == 350);
    form->Editor().SetText("MsgBox 1");
    ::SetWindowPos(form->Handle(), nullptr, 30, 40, 420, 260, SWP_NOZORDER);
    HWND hwnd = form->Handle();
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    Pump();
    ASSERT_FALSE(::IsWindow(hwnd));

    form = TMainModelessDialogForm::CreateOwned(nullptr);
    form->AttachApplication(&app);
    EXPECT_EQ(form->Editor().Text(), "MsgBox 1\r\n");
    RECT r{};
    ::GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.top, 40);
    EXPECT_EQ(r.right - r.left, 420);
    EXPECT_EQ(r.bottom - r.top, 260);
    delete form;
    EXPECT_EQ(app.refs, 1u);
}

TEST(WorkbenchWindowStore, TextOfAReleasedWindowIsOfferedBackAtTheNextOpening) {
    wchar_t temp[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"zeph_workbench_rescue\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    // A first opening: no store, and no copy of one that would be restored (and said so).
    for (const wchar_t* name : {L"zpconfig.cfg", L"zpconfig.rescue", L"zpconfig.cfg.bak",
                                L"zpconfig.cfg.tmp", L"zpconfig.cfg.bak.new"})
        ::DeleteFileW((folder + name).c_str());
    FakeApplication app;
    app.folder = folder;

    TMainModelessDialogForm* form = TMainModelessDialogForm::CreateOwned(nullptr);
    form->AttachApplication(&app);
    form->Editor().SetText("MsgBox 2");
    delete form;  // as the module does when the host releases it: no closing, nobody asked
    EXPECT_NE(::GetFileAttributesW((folder + L"zpconfig.rescue").c_str()), INVALID_FILE_ATTRIBUTES);

    MessageBoxCatcher boxes;
    boxes.answer = IDYES;
    form = TMainModelessDialogForm::CreateOwned(nullptr);
    form->AttachApplication(&app);
    EXPECT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(form->Editor().Text(), "MsgBox 2\r\n");
    EXPECT_EQ(::GetFileAttributesW((folder + L"zpconfig.rescue").c_str()), INVALID_FILE_ATTRIBUTES);
    ::PostMessageW(form->Handle(), WM_CLOSE, 0, 0);  // stored now: nothing left to rescue
    Pump();
    EXPECT_EQ(::GetFileAttributesW((folder + L"zpconfig.rescue").c_str()), INVALID_FILE_ATTRIBUTES);
}

// A task bar on the left or at the top moves the work area, not the stored place.
TEST(WorkbenchWindowPlacement, StoredPlaceIsInScreenCoordinates) {
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    struct Restore {
        RECT r;
        ~Restore() { ::SystemParametersInfoW(SPI_SETWORKAREA, 0, &r, 0); }
    } restore{work};
    RECT shifted = work;
    shifted.left += 60;
    shifted.top += 40;
    ASSERT_TRUE(::SystemParametersInfoW(SPI_SETWORKAREA, 0, &shifted, 0));

    TMainModelessDialogForm* form = TMainModelessDialogForm::CreateOwned(nullptr);
    const store::WindowBounds stored{100, 100, 420, 260};
    form->View().SetWindowBounds(stored);  // while hidden, as the opening applies it
    form->Show();
    Pump();
    RECT r{};
    ::GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 100);
    EXPECT_EQ(form->View().GetWindowBounds(), stored);
    ::ShowWindow(form->Handle(), SW_MAXIMIZE);
    EXPECT_EQ(form->View().GetWindowBounds(), stored);  // the restored place
    ::ShowWindow(form->Handle(), SW_RESTORE);
    ::GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 100);
    delete form;
}

TEST(WorkbenchWindowStore, SavingAndPickingScriptsInTheBox) {
    wchar_t temp[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"zeph_workbench_list\\";
    for (const wchar_t* name :
         {L"zpconfig.cfg", L"zpconfig.cfg.bak", L"zpconfig.cfg.tmp", L"zpconfig.cfg.bak.new"})
        ::DeleteFileW((folder + name).c_str());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    FakeApplication app;
    app.folder = folder;
    TMainModelessDialogForm* form = TMainModelessDialogForm::CreateOwned(nullptr);
    form->AttachApplication(&app);
    form->Show();
    Pump();
    HWND combo = form->SavedScriptsHandle();
    for (const char* name : {"Second", "First"}) {
        form->Editor().SetText(std::string("text of ") + name);
        ::SetFocus(combo);
        ::SetWindowTextW(combo, Wide(name).c_str());
        Press(VK_RETURN);
    }
    ASSERT_EQ(::SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
    wchar_t item[64] = L"";
    ::SendMessageW(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ(item, L"First");  // sorted

    ::SendMessageW(combo, CB_SETCURSEL, 1, 0);
    ::SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(combo), CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(combo));
    EXPECT_EQ(form->Editor().Text(), "text of Second\r\n");
    wchar_t box[64] = L"";
    ::GetWindowTextW(combo, box, 64);
    EXPECT_STREQ(box, L"Second");
    delete form;
}

// Saves the window as it looks on screen, for a look by eye.
TEST_F(WorkbenchWindowTest, Screenshot) {
    ::SetWindowTextW(form->SavedScriptsHandle(), L"Report");
    form->Editor().SetText(
        "option explicit\r\n\r\nDim map\r\n' The open map\r\nSet map = Application.GetMap()\r\n"
        "MsgBox map.Name & \" objects\"");
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
    // The keyword "Dim" in blue, the comment in green, on the screen as captured below.
    ScriptEditorWindow& editor = form->Editor();
    const int lh = editor.LineHeight();
    const POINT dim = editor.PointOf({2, 0}), after_dim = editor.PointOf({2, 3});
    EXPECT_GT(
        ScreenPixels(form->EditorHandle(), {dim.x, dim.y, after_dim.x, dim.y + lh}, RGB(0, 0, 255)),
        0);
    const POINT comment = editor.PointOf({3, 0}), after_comment = editor.PointOf({3, 8});
    EXPECT_GT(ScreenPixels(form->EditorHandle(),
                           {comment.x, comment.y, after_comment.x, comment.y + lh}, RGB(0, 128, 0)),
              0);
    // The screen has no window manager to draw frames: the caption is drawn here, over the
    // client area as it is on screen.
    RECT client{};
    ::GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ::ClientToScreen(hwnd, &origin);
    const int caption = ::GetSystemMetrics(SM_CYCAPTION);
    const int w = client.right, h = client.bottom + caption;
    WindowDc screen(nullptr);
    UniqueMemoryDc mem(::CreateCompatibleDC(screen.get()));
    UniqueBitmap bmp(::CreateCompatibleBitmap(screen.get(), w, h));
    {
        SelectedObject keep(mem.get(), bmp.get());
        RECT bar{0, 0, w, caption};
        ::DrawCaption(hwnd, mem.get(), &bar, DC_ACTIVE | DC_TEXT | DC_ICON | DC_GRADIENT);
        ::BitBlt(mem.get(), 0, caption, w, client.bottom, screen.get(), origin.x, origin.y,
                 SRCCOPY);
        EXPECT_TRUE(test::SaveBitmapFile(mem.get(), w, h,
                                         std::string(ZEPH_SCREENS_DIR) + "/workbench.bmp"));
    }
    EXPECT_GT(w, 0);
}

}  // namespace
}  // namespace zeph::win
