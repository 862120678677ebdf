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

namespace zeph::win {
namespace {

using text::operator""_cp;
using testing::FakeApplication;

struct RecordingStore : workbench::IWorkbenchStore {
    std::vector<std::string> calls;
    std::function<void()> on_apply;
    bool fail_close = false;
    void ApplyStore() override {
        calls.push_back("ApplyStore");
        if (on_apply) on_apply();
    }
    void SaveWorkbenchState() override { calls.push_back("SaveWorkbenchState"); }
    void StoreScript(const std::string& name, std::string_view language,
                     const std::string& text) override {
        calls.push_back("StoreScript(" + name + "," + std::string(language) + ")");
    }
    void RemoveScript(const std::string& name) override { calls.push_back("RemoveScript"); }
    std::optional<workbench::StoredScript> FindScript(const std::string&) override {
        return std::nullopt;
    }
    void SaveOnClose(const std::string&, std::string_view, const std::string&) override {
        calls.push_back("SaveOnClose");
        if (fail_close) throw std::runtime_error("read-only store");
    }
};

using test::Press;
using test::Pump;

// Message boxes shown while it lives are recorded and answered (with OK unless told).
class MessageBoxCatcher {
  public:
    MessageBoxCatcher() {
        current_ = this;
        hook_ = ::SetWindowsHookExW(WH_CBT, &Hook, nullptr, ::GetCurrentThreadId());
    }
    ~MessageBoxCatcher() {
        ::UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    std::vector<std::string> texts, captions;
    int answer = IDOK;

  private:
    static LRESULT CALLBACK Hook(int code, WPARAM wparam, LPARAM lparam) {
        if (code == HCBT_ACTIVATE && current_) {
            HWND box = reinterpret_cast<HWND>(wparam);
            wchar_t cls[32] = L"";
            ::GetClassNameW(box, cls, 32);
            if (std::wstring(cls) == L"#32770") {
                wchar_t text[512] = L"", caption[256] = L"";
                ::GetDlgItemTextW(box, 0xFFFF, text, 512);
                ::GetWindowTextW(box, caption, 256);
                current_->texts.push_back(Narrow(text));
                current_->captions.push_back(Narrow(caption));
                ::PostMessageW(box, WM_COMMAND, current_->answer, 0);
            }
        }
        return ::CallNextHookEx(nullptr, code, wparam, lparam);
    }
    static inline MessageBoxCatcher* current_ = nullptr;
    HHOOK hook_;
};

class WorkbenchWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZephTestOwner";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        ::RegisterClassW(&wc);
        owner = ::CreateWindowExW(0, L"ZephTestOwner", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  40, 40, 700, 500, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(owner);
        form = TMainModelessDialogForm::CreateOwned(owner);
        ASSERT_FALSE(::IsWindowVisible(form->Handle()));  // hidden until set up
        form->AddFreeNotification([this](TExForm*) { ++freed; });
        form->SetStore(&store);
        form->AttachApplication(&app);
        form->Show();
        hwnd = form->Handle();
        Pump();
        // Keys are sent as real input, so they reach the window only once it is active; on a
        // busy machine that takes a while without a window manager.
        for (int i = 0; i < 30 && ::GetForegroundWindow() != hwnd; ++i) Pump(100);
    }
    void TearDown() override {
        if (freed == 0) delete form;
        ::DestroyWindow(owner);
        Pump(50);
    }
    std::string Caption() const { return Narrow(Text(hwnd)); }
    std::string EditorText() const { return form->Editor().Text(); }
    void SetCaretXY(int x, int y) { form->Editor().SetCaretXY(x, y); }
    static std::wstring Text(HWND w) {
        wchar_t buffer[1024] = L"";
        ::GetWindowTextW(w, buffer, 1024);
        return buffer;
    }

    FakeApplication app;
    RecordingStore store;
    HWND owner = nullptr;
    TMainModelessDialogForm* form = nullptr;
    HWND hwnd = nullptr;
    int freed = 0;
};

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
    EXPECT_EQ(editor.top, form->Scaled(31));
    EXPECT_EQ(editor.bottom, client.bottom);
    // Activation reaches a window without a window manager only through the message loop,
    // later on a busy machine: give it a few seconds before judging.
    for (int i = 0; i < 30 && ::GetFocus() != form->EditorHandle(); ++i) Pump(100);
    EXPECT_EQ(::GetFocus(), form->EditorHandle());
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

// Pumps messages until `done` holds or about `ms` milliseconds passed; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD ms = 10000) {
    const DWORD start = ::GetTickCount();
    while (!done() && ::GetTickCount() - start < ms) Pump(20);
    return done();
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

std::vector<std::string> ListLines(HWND list) {
    std::vector<std::string> lines;
    const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t line[512] = L"";
        if (::SendMessageW(list, LB_GETTEXTLEN, i, 0) < 512)
            ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
        lines.push_back(Narrow(line));
    }
    return lines;
}

int HeightOf(HWND w) {
    RECT r{};
    ::GetWindowRect(w, &r);
    return r.bottom - r.top;
}

void DoubleClick(HWND list, int item) {
    RECT r{};
    ::SendMessageW(list, LB_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r));
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ::ClientToScreen(list, &p);
    ::SetCursorPos(p.x, p.y);
    INPUT in[4]{};
    for (int i = 0; i < 4; ++i) {
        in[i].type = INPUT_MOUSE;
        in[i].mi.dwFlags = i % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
    }
    ::SendInput(4, in, sizeof(INPUT));
    Pump();
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

TEST_F(WorkbenchWindowTest, FindBarFindsBothWaysAndReplacesAllAsOneUndoStep) {
    form->Editor().SetText("Dim a\r\na = a + 1");
    form->Editor().SetCaretXY(1, 1);
    const int full = HeightOf(form->EditorHandle());
    Press('F', true);
    FindBar& bar = *form->Finder();
    EXPECT_TRUE(::IsWindowVisible(bar.PatternHandle()));
    EXPECT_EQ(::GetFocus(), bar.PatternHandle());
    EXPECT_EQ(Narrow(Text(bar.PatternHandle())), "Dim");  // the word at the caret
    EXPECT_LT(HeightOf(form->EditorHandle()), full);

    Press('A');  // replaces the selected pattern
    Press(VK_RETURN);
    EXPECT_EQ(form->Editor().CaretY(), 1);
    EXPECT_EQ(form->Editor().CaretX(), 6);
    Press(VK_F3);
    EXPECT_EQ(form->Editor().CaretY(), 2);
    EXPECT_EQ(form->Editor().CaretX(), 2);
    Press(VK_F3, false, true);  // back to the first match
    EXPECT_EQ(form->Editor().CaretY(), 1);
    Press(VK_F3, false, true);  // wraps round to the last
    EXPECT_EQ(form->Editor().CaretY(), 2);
    EXPECT_EQ(form->Editor().CaretX(), 6);
    test::SaveWindowBitmap(hwnd, std::string(ZEPH_SCREENS_DIR) + "/workbench_find.bmp");

    Press('H', true);
    EXPECT_EQ(::GetFocus(), bar.ReplacementHandle());
    Press('B');
    ::SendMessageW(bar.ReplaceAllHandle(), BM_CLICK, 0, 0);
    EXPECT_EQ(EditorText(), "Dim b\r\nb = b + 1\r\n");
    EXPECT_EQ(Narrow(Text(bar.StatusHandle())), u8"Заменено: 3"_cp);

    ::SetFocus(bar.PatternHandle());
    Press(VK_ESCAPE);
    EXPECT_FALSE(::IsWindowVisible(bar.PatternHandle()));
    EXPECT_EQ(::GetFocus(), form->EditorHandle());
    EXPECT_EQ(HeightOf(form->EditorHandle()), full);
    EXPECT_TRUE(::IsWindow(hwnd));
    Press('Z', true);
    EXPECT_EQ(EditorText(), "Dim a\r\na = a + 1\r\n");
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

// Presses keys from a timer once a pop-up menu runs its own loop.
std::vector<WORD> menu_keys;

void CALLBACK PressMenuKeys(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    std::vector<INPUT> in;
    for (WORD k : menu_keys) {
        in.push_back(test::KeyInput(k, false));
        in.push_back(test::KeyInput(k, true));
    }
    ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

void PressInMenu(std::vector<WORD> keys) {
    menu_keys = std::move(keys);
    ::SetTimer(nullptr, 0, 200, &PressMenuKeys);
}

TEST_F(WorkbenchWindowTest, EditorContextMenuSelectsAllAndOpensTheFindBar) {
    form->Editor().SetText("one\r\ntwo");
    PressInMenu({VK_UP, VK_UP, VK_RETURN});  // from the bottom: "Найти...", "Выделить все"
    ::SendMessageW(form->EditorHandle(), WM_CONTEXTMENU,
                   reinterpret_cast<WPARAM>(form->EditorHandle()), MAKELPARAM(-1, -1));
    Pump();
    EXPECT_EQ(form->Editor().model().SelectedText(), "one\r\ntwo");

    PressInMenu({VK_UP, VK_RETURN});
    ::SendMessageW(form->EditorHandle(), WM_CONTEXTMENU,
                   reinterpret_cast<WPARAM>(form->EditorHandle()), MAKELPARAM(-1, -1));
    Pump();
    EXPECT_TRUE(::IsWindowVisible(form->Finder()->PatternHandle()));
}

TEST_F(WorkbenchWindowTest, TypedBracketShowsTheParametersUntilTheCallCloses) {
    wchar_t temp[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, temp);
    app.folder = std::wstring(temp) + L"zeph_workbench_hint\\";
    ::CreateDirectoryW(app.folder.c_str(), nullptr);
    if (FILE* f = _wfopen((app.folder + L"TellurTlb.xml").c_str(), L"wb")) {
        std::fputs(
            "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Tlb>"
            "<Interface name=\"ITellurApplication\"><method name=\"Redraw\" return=\"Long\">"
            "<Param name=\"Full\" type=\"Boolean\"/></method></Interface></Tlb>",
            f);
        std::fclose(f);
    }
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

TEST(WorkbenchWindowStore, ClosingAndReopeningBringsTheWorkBack) {
    wchar_t temp[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"zeph_workbench_store\\";
    ::DeleteFileW((folder + L"zpconfig.cfg").c_str());
    ::DeleteFileW((folder + L"zpconfig.cfg.bak").c_str());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    FakeApplication app;
    app.folder = folder;

    TMainModelessDialogForm* form = TMainModelessDialogForm::CreateOwned(nullptr);
    form->AttachApplication(&app);  // no store yet: the default one is written and applied
    EXPECT_NE(::GetFileAttributesW((folder + L"zpconfig.cfg").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(form->Editor().Text(), "option explicit\r\n");
    RECT first{};
    ::GetWindowRect(form->Handle(), &first);
    EXPECT_EQ(first.left, 100);
    EXPECT_EQ(first.top, 100);
    EXPECT_EQ(first.right - first.left, 350);
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
    ::DeleteFileW((folder + L"zpconfig.cfg").c_str());
    ::DeleteFileW((folder + L"zpconfig.rescue").c_str());
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
    ::DeleteFileW((folder + L"zpconfig.cfg").c_str());
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
