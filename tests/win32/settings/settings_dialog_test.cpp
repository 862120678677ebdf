// The settings dialog driven from the real workbench window by real key strokes and clicks.
// The dialog runs modally on the test's thread, so a second thread plays the user: it sends
// input through the system's queue and reads the controls, waiting on conditions.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "base/wide.h"
#include "base/window_class.h"
#include "desktop.h"
#include "settings/colour_list.h"
#include "settings/settings_form.h"
#include "text/cp1251.h"
#include "wait.h"
#include "win32/workbench/fake_tellur.h"
#include "workbench/main_form.h"

namespace zeph::win {
namespace {

using ::testing::HasSubstr;
using text::operator""_cp;
using Form = TZephraSetupDialogForm;

// The colour chooser's red, green and blue edits.
constexpr int kChooserRed = 0x2C2, kChooserGreen = 0x2C3, kChooserBlue = 0x2C4;

// --- the user's side ----------------------------------------------------------------------

using test::WaitUntil;

// The thread that runs the windows (the test's own); input is handled there.
DWORD g_ui_thread = 0;

void Tap(WORD key, bool ctrl = false, bool shift = false) {
    std::vector<INPUT> in;
    if (ctrl) in.push_back(test::KeyInput(VK_CONTROL, false));
    if (shift) in.push_back(test::KeyInput(VK_SHIFT, false));
    in.push_back(test::KeyInput(key, false));
    in.push_back(test::KeyInput(key, true));
    if (shift) in.push_back(test::KeyInput(VK_SHIFT, true));
    if (ctrl) in.push_back(test::KeyInput(VK_CONTROL, true));
    ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
    EXPECT_TRUE(test::InputHandled(g_ui_thread));
}

// A left click at a point of the screen.
void ClickAt(POINT at) {
    const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3]{};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = ::MulDiv(at.x, 65535, w - 1);
        i.mi.dy = ::MulDiv(at.y, 65535, h - 1);
    }
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(3, in, sizeof(INPUT));
    EXPECT_TRUE(test::InputHandled(g_ui_thread));
}

// A point inside the control, `dx` pixels from its left edge (its middle when negative).
POINT PointIn(HWND control, int dx = -1) {
    RECT r{};
    ::GetWindowRect(control, &r);
    return {dx < 0 ? (r.left + r.right) / 2 : r.left + dx, (r.top + r.bottom) / 2};
}

HWND FocusOf(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

int Selection(HWND box, UINT message = CB_GETCURSEL) {
    return static_cast<int>(::SendMessageW(box, message, 0, 0));
}

std::wstring TextOf(HWND w) {
    wchar_t buffer[512] = L"";
    ::GetWindowTextW(w, buffer, 512);
    return buffer;
}

struct DialogSearch {
    HWND found = nullptr;
    HWND except = nullptr;
};

BOOL CALLBACK MatchDialogBox(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<DialogSearch*>(data);
    wchar_t cls[32] = L"";
    ::GetClassNameW(hwnd, cls, 32);
    if (hwnd != search->except && std::wstring(cls) == L"#32770" && ::IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible message box or common dialog of the thread, other than `except`.
HWND FindDialogBox(DWORD thread, HWND except = nullptr) {
    DialogSearch search{nullptr, except};
    ::EnumThreadWindows(thread, &MatchDialogBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string ReadFile(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string Replace(std::string s, std::string_view from, std::string_view to) {
    const std::size_t at = s.find(from);
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

// --- the workbench with its store in a scratch folder -------------------------------------

class SettingsDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = L"";
        ::GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"zeph_settings_" + std::to_wstring(::GetTickCount()) + L"\\";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        store = folder + L"zpconfig.cfg";
        // A store with a sample text for the preview.
        std::string bytes = ReadFile(test::WindowsPath(ZEPH_TEST_DATA "/store/default.cfg"));
        ASSERT_FALSE(bytes.empty());
        bytes = Replace(bytes, "FontName=\"Courier New\"", "FontName=\"" + font_name + "\"");
        WriteFile(store, Replace(bytes, "FontSize=\"8\">",
                                 std::string(u8"FontSize=\"8\" SetupVBSText=\"&apos; Образец"
                                             "&#13;&#10;Dim answer&#13;&#10;answer = MsgBox("
                                             "&quot;Привет&quot;, 4)&#13;&#10;If answer = 6 "
                                             "Then answer = 42\">"_cp)));
        app.folder = folder;

        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZephSettingsOwner";
        ::RegisterClassW(&wc);
        owner =
            ::CreateWindowExW(0, L"ZephSettingsOwner", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              20, 20, 600, 400, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(owner);
        workbench = TMainModelessDialogForm::CreateOwned(owner);
        workbench->AddFreeNotification([this](TExForm*) { freed = true; });
        workbench->AttachApplication(&app);
        workbench->Show();
        g_ui_thread = ::GetCurrentThreadId();
        ASSERT_TRUE(test::PumpUntil([&] { return ::GetForegroundWindow() == workbench->Handle(); },
                                    test::kWaitMs, "the workbench window to become active"));
        EXPECT_TRUE(test::PumpUntil([&] { return ::GetFocus() == workbench->EditorHandle(); },
                                    test::kWaitMs, "the focus in the editor"));
        workbench->Editor().SetText("msgbox \"x\"\r\n");
    }
    void TearDown() override {
        if (!freed) delete workbench;
        ::DestroyWindow(owner);
        EXPECT_TRUE(test::PumpPosted());
        for (const wchar_t* name : {L"zpconfig.cfg", L"zpconfig.cfg.bak", L"zpconfig.cfg.tmp",
                                    L"zpconfig.cfg.bak.new", L"zpconfig.cfg.lock.next"})
            ::DeleteFileW((folder + name).c_str());
        ::RemoveDirectoryW(folder.c_str());
    }

    // Presses Ctrl+O in the workbench and lets `user` play the dialog from another thread
    // until it is done; the dialog's modal run happens on this thread meanwhile.
    void WithDialog(const std::function<void(Form&, HWND)>& user) {
        std::atomic<bool> done{false};
        const DWORD ui = ::GetCurrentThreadId();
        std::thread player([&] {
            HWND dialog = nullptr;
            const bool opened = static_cast<bool>(WaitUntil([&] {
                dialog = ::FindWindowW(L"TZephraSetupDialogForm", nullptr);
                return dialog && ::IsWindowVisible(dialog) && ::GetForegroundWindow() == dialog;
            }));
            if (opened) {
                Form& form = *dynamic_cast<Form*>(TExForm::FromHandle(dialog));
                ui_thread = ui;
                WaitUntil([&] { return FocusOf(ui) == form.Item(Form::kOptionsPageControl); });
                user(form, dialog);
                // A failed step leaves the dialog open: close it, so that its modal run ends.
                for (HWND box; (box = FindDialogBox(ui)) != nullptr;) {
                    ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
                    WaitUntil([&] { return !::IsWindow(box); }, 2000);
                }
                if (::IsWindow(dialog)) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
            } else {
                ADD_FAILURE() << "the settings dialog did not open";
            }
            done = true;
        });
        test::Press('O', /*ctrl=*/true);
        EXPECT_TRUE(test::PumpUntil([&] { return done.load(); }, 30000,
                                    "the user to be done with the dialog"));
        player.join();
        EXPECT_TRUE(test::PumpPosted());
    }

    // The dialog as the user sees it, painted completely first, into the screens folder.
    static void Snapshot(HWND dialog, const std::string& name) {
        ::RedrawWindow(dialog, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
        // The client area: without a window manager, Wine leaves the caption unpainted.
        RECT r{};
        ::GetClientRect(dialog, &r);
        ::MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_TRUE(test::SaveScreenBitmap(r, std::string(ZEPH_SCREENS_DIR) + "/" + name));
    }

    std::string font_name = "Courier New";  // the store's, before the workbench opens
    testing::FakeApplication app;
    std::wstring folder, store;
    HWND owner = nullptr;
    TMainModelessDialogForm* workbench = nullptr;
    bool freed = false;
    DWORD ui_thread = 0;
};

std::string Attr(std::string_view name, std::string_view value) {
    return std::string(name) + "=\"" + std::string(value) + "\"";
}

TEST_F(SettingsDialogTest, ChangesMadeByKeysAndClicksAreSavedAndShownInTheWorkbenchAtOnce) {
    std::wstring chosen_font;
    WithDialog([&](Form& form, HWND dialog) {
        HWND list = form.Item(Form::kHighlighterElementsListBox);
        HWND fg = form.Item(Form::kForegroundColorBox);
        HWND bg = form.Item(Form::kBackgroundColorBox);
        EXPECT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 7);
        Snapshot(dialog, "settings_colours.bmp");

        // Reserved words: into the list, Down three times, then their text colour up to red.
        Tap(VK_TAB);
        ASSERT_TRUE(WaitUntil([&] { return FocusOf(ui_thread) == list; }));
        for (int i = 0; i < 3; ++i) Tap(VK_DOWN);
        ASSERT_TRUE(WaitUntil([&] { return Selection(list, LB_GETCURSEL) == 3; }));
        Tap(VK_TAB);
        ASSERT_TRUE(WaitUntil([&] { return FocusOf(ui_thread) == fg; }));
        const int red = settings::ColourIndex(0x0000FF);
        while (Selection(fg) > red) Tap(VK_UP);
        ASSERT_EQ(Selection(fg), red);

        // Strings: a background colour of their own through the colour chooser.
        Tap(VK_TAB, false, true);
        for (int i = 0; i < 2; ++i) Tap(VK_DOWN);
        ASSERT_TRUE(WaitUntil([&] { return Selection(list, LB_GETCURSEL) == 5; }));
        Tap(VK_TAB);
        Tap(VK_TAB);
        ASSERT_TRUE(WaitUntil([&] { return FocusOf(ui_thread) == bg; }));
        Tap(VK_END);
        HWND chooser = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (chooser = FindDialogBox(ui_thread)) != nullptr; }));
        ::SetDlgItemTextW(chooser, kChooserRed, L"64");
        ::SetDlgItemTextW(chooser, kChooserGreen, L"128");
        ::SetDlgItemTextW(chooser, kChooserBlue, L"192");
        ::SendMessageW(chooser, WM_COMMAND, IDOK, 0);  // the chooser's own "OK"
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(chooser); }));
        // A click reaches the dialog only once it is active again.
        ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == dialog; }));
        ASSERT_TRUE(WaitUntil([&] { return FocusOf(ui_thread) == bg; }));

        // Bold ticked with the mouse.
        HWND bold = form.Item(Form::kFontAttributeBoldCheckBox);
        const auto ticked = [&] { return Selection(bold, BM_GETCHECK) == BST_CHECKED; };
        ClickAt(PointIn(bold, 8));
        // On a loaded machine Wine on a bare X server has lost the first click after the colour
        // chooser closed; nothing was toggled then, so a second click is safe.
        if (!WaitUntil(ticked, 3000)) ClickAt(PointIn(bold, 8));
        ASSERT_TRUE(WaitUntil(ticked));

        // The display page, by a click on its tab.
        RECT tab{};
        HWND tabs = form.Item(Form::kOptionsPageControl);
        ::SendMessageW(tabs, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&tab));
        POINT at{(tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2};
        ::ClientToScreen(tabs, &at);
        ClickAt(at);
        HWND size = form.Item(Form::kFontSizeComboBox);
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(size) != FALSE; }));

        // Size 12 typed, then another font picked: the choice takes the typed size.
        ClickAt(PointIn(size, 10));
        Tap(VK_END);
        Tap(VK_BACK);
        Tap(VK_BACK);
        Tap('1');
        Tap('2');
        ASSERT_TRUE(WaitUntil([&] { return TextOf(size) == L"12"; }));
        Tap(VK_TAB, false, true);
        HWND name = form.Item(Form::kFontNameComboBox);
        ASSERT_TRUE(WaitUntil([&] { return FocusOf(ui_thread) == name; }));
        const int before = Selection(name);
        Tap(before + 1 < Selection(name, CB_GETCOUNT) ? VK_DOWN : VK_UP);
        ASSERT_TRUE(WaitUntil([&] { return Selection(name) != before; }));
        chosen_font = TextOf(name);
        ASSERT_TRUE(
            WaitUntil([&] { return TextOf(form.Item(Form::kFontSamplePanel)) == chosen_font; }));
        Snapshot(dialog, "settings_display.bmp");

        ClickAt(PointIn(form.Item(Form::kSaveAndExitButton)));
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }));
    });

    const std::string bytes = ReadFile(store);
    const std::string reserved(u8"Зарезервированные слова"_cp), strings(u8"Строки"_cp);
    EXPECT_THAT(bytes, HasSubstr("<Color " + Attr("name", reserved) +
                                 " Foreground=\"255\" Background=\"-16777211\" Bold=\"1\""));
    EXPECT_THAT(bytes, HasSubstr("<Color " + Attr("name", strings) +
                                 " Foreground=\"128\" Background=\"12615744\" Bold=\"1\""));
    EXPECT_THAT(bytes, HasSubstr(Attr("FontName", Narrow(chosen_font)) + " FontSize=\"12\""));
    EXPECT_THAT(bytes, HasSubstr(u8"SetupVBSText=\"' Образец"_cp));  // kept

    // The workbench shows it at once, with its script text as it was.
    ASSERT_FALSE(freed);
    auto& vb = workbench->View().VBScriptHighlighter();
    EXPECT_EQ(vb.FindClass("Reserved word")->foreground, 255);
    EXPECT_EQ(vb.FindClass("String")->background, 12615744);
    EXPECT_TRUE(vb.FindClass("String")->bold());
    EXPECT_EQ(workbench->Editor().font().face, Narrow(chosen_font));
    EXPECT_EQ(workbench->View().FontSize(), 12);
    EXPECT_EQ(workbench->Editor().Text(), "msgbox \"x\"\r\n");
    EXPECT_TRUE(::IsWindowEnabled(workbench->Handle()));
}

TEST_F(SettingsDialogTest, EscClosesWithoutWritingAnything) {
    std::string opened_with;
    WithDialog([&](Form& form, HWND dialog) {
        opened_with = ReadFile(store);  // after the workbench wrote its state
        Tap(VK_TAB);
        Tap(VK_UP);
        Tap(VK_ESCAPE);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }));
    });
    EXPECT_FALSE(opened_with.empty());
    EXPECT_EQ(ReadFile(store), opened_with);
    EXPECT_TRUE(::IsWindowEnabled(workbench->Handle()));
}

TEST_F(SettingsDialogTest, AMarginThatIsNoNumberIsRefusedWhenTheEditLosesTheFocus) {
    std::wstring message;
    WithDialog([&](Form& form, HWND dialog) {
        Tap(VK_TAB, /*ctrl=*/true);  // the display page
        HWND edit = form.Item(Form::kRightMarginSizeEdit);
        ASSERT_TRUE(WaitUntil(
            [&] { return FocusOf(ui_thread) == form.Item(Form::kRightMarginVisibleCheckBox); }));
        Tap(VK_TAB);  // into the edit, its text selected
        ASSERT_TRUE(WaitUntil([&] { return FocusOf(ui_thread) == edit; }));
        Tap('X');
        ASSERT_TRUE(WaitUntil([&] { return TextOf(edit) == L"x" || TextOf(edit) == L"X"; }));
        Tap(VK_TAB);  // the focus leaves the edit
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (box = FindDialogBox(ui_thread, dialog)) != nullptr; }));
        message = TextOf(::GetDlgItem(box, 0xFFFF));
        Tap(VK_RETURN);
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
        EXPECT_TRUE(WaitUntil([&] { return FocusOf(ui_thread) == edit; }));
        Tap(VK_ESCAPE);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }));
    });
    EXPECT_EQ(Narrow(message), std::string(settings::MarginSizeRefusal()));
}

TEST_F(SettingsDialogTest, TabGoesFromThePageControlThroughThePageToTheButtons) {
    struct Step {
        bool shift;
        Form::ControlId focus;
    };
    // The focus starts on the page control.
    const Step steps[] = {
        {false, Form::kHighlighterElementsListBox},
        {true, Form::kOptionsPageControl},
        {true, Form::kDefaultButton},
        {true, Form::kCloseButton},
        {true, Form::kSaveAndExitButton},
        {false, Form::kCloseButton},
        {false, Form::kDefaultButton},
        {false, Form::kOptionsPageControl},
    };
    std::string opened_with;
    WithDialog([&](Form& form, HWND dialog) {
        ASSERT_TRUE(
            WaitUntil([&] { return FocusOf(ui_thread) == form.Item(Form::kOptionsPageControl); }));
        int i = 0;
        for (const Step& step : steps) {
            Tap(VK_TAB, false, step.shift);
            ASSERT_TRUE(
                WaitUntil([&] { return FocusOf(ui_thread) == form.Item(step.focus); }, 3000))
                << "step " << i;
            ++i;
        }
        // On the display page the page's controls follow the page control too.
        Tap(VK_RIGHT);
        ASSERT_TRUE(WaitUntil([&] {
            return ::IsWindowVisible(form.Item(Form::kRightMarginVisibleCheckBox)) != FALSE;
        }));
        Tap(VK_TAB);
        EXPECT_TRUE(WaitUntil(
            [&] { return FocusOf(ui_thread) == form.Item(Form::kRightMarginVisibleCheckBox); }));
        // Enter presses the button that Tab reached, as in any dialog.
        opened_with = ReadFile(store);
        Tap(VK_TAB, false, true);
        Tap(VK_TAB, false, true);
        Tap(VK_TAB, false, true);
        ASSERT_TRUE(WaitUntil([&] { return FocusOf(ui_thread) == form.Item(Form::kCloseButton); }));
        Tap(VK_RETURN);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }));
    });
    EXPECT_EQ(ReadFile(store), opened_with);
}

class MissingFontTest : public SettingsDialogTest {
  protected:
    void SetUp() override {
        font_name = "Nowhere Sans";
        SettingsDialogTest::SetUp();
    }
};

TEST_F(MissingFontTest, AStoredFontTheSystemLacksAndATypedSizeAreSavedByEnter) {
    std::wstring shown, sample;
    WithDialog([&](Form& form, HWND dialog) {
        Tap(VK_TAB, /*ctrl=*/true);  // the display page
        HWND size = form.Item(Form::kFontSizeComboBox);
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(size) != FALSE; }));
        shown = TextOf(form.Item(Form::kFontNameComboBox));
        sample = TextOf(form.Item(Form::kFontSamplePanel));
        // Into the size box by the keyboard, its text selected (a click there was seen to land
        // before the page had settled): the page's controls come after the tabs.
        auto in_size = [&] {
            HWND focus = FocusOf(ui_thread);
            return focus && (focus == size || ::GetParent(focus) == size);
        };
        for (int i = 0; i < 8 && !in_size(); ++i) Tap(VK_TAB);  // each handled before the next
        ASSERT_TRUE(in_size());
        Tap(VK_END);
        Tap(VK_BACK);
        Tap('1');
        Tap('4');
        ASSERT_TRUE(WaitUntil([&] { return TextOf(size) == L"14"; }));
        Tap(VK_RETURN);  // "Сохранить", with no choice made in either font box
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }));
    });
    EXPECT_EQ(shown, L"Nowhere Sans");
    EXPECT_EQ(sample, L"Nowhere Sans");
    EXPECT_THAT(ReadFile(store), HasSubstr("FontName=\"Nowhere Sans\" FontSize=\"14\""));
}

// A class left behind by an unloaded module would keep a window procedure that is gone.
TEST(SettingsDialogClasses, TheTabSheetClassGoesWithTheModulesClasses) {
    {
        auto form = TZephraSetupDialogForm::CreateOwned(nullptr);
        ASSERT_TRUE(form->Item(TZephraSetupDialogForm::kColorTabSheet));
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    ASSERT_TRUE(::GetClassInfoExW(CodeModule(), L"TZephraTabSheet", &wc));
    UnregisterModuleClasses();
    EXPECT_FALSE(::GetClassInfoExW(CodeModule(), L"TZephraTabSheet", &wc));
    EXPECT_FALSE(::GetClassInfoExW(::GetModuleHandleW(nullptr), L"TZephraTabSheet", &wc));
}

}  // namespace
}  // namespace zeph::win
