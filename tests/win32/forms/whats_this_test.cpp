#include "forms/whats_this.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/wide.h"
#include "desktop.h"
#include "forms/forms.h"
#include "forms/help_dialogs.h"
#include "wait.h"

using namespace zeph::win;

namespace {

// What the controller asked the viewer for.
struct Requested {
    std::string file;
    UINT command;
    bool popup = false;
    HelpPopup record;
};

class RecordingHelp : public IHtmlHelp {
  public:
    std::vector<Requested> requests;
    void Request(const std::string& file, UINT command, DWORD_PTR data) override {
        Requested r{file, command, false, {}};
        if (command == kHelpDisplayTextPopup) {
            r.popup = true;
            r.record = *reinterpret_cast<const HelpPopup*>(data);
        }
        requests.push_back(r);
    }
};

// A form with the caption's context-help button: a named button, and an unnamed panel holding
// an unnamed edit box. Records the input that reaches it.
class HelpTestForm : public TExForm {
  public:
    HelpTestForm() {
        FormParams params;
        params.className = L"THelpTestForm";
        params.caption = L"What's this";
        params.style = WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
        params.exStyle = WS_EX_CONTEXTHELP;
        params.x = 100, params.y = 100, params.width = 360, params.height = 240;
        CreateWindowHandle(params);
        button = Child(L"Button", Handle(), 10, 10, 100, 30);
        NameControl(button, "OkButton");
        panel = Child(L"Static", Handle(), 10, 60, 300, 120);
        edit = Child(L"Edit", panel, 20, 20, 200, 30);
    }
    HWND button, panel, edit;
    std::vector<UINT> seen;  // mouse and key messages that reached the form itself

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
        if (message == WM_KEYDOWN || message == WM_NCLBUTTONDOWN) {
            seen.push_back(message);
            return 0;
        }
        return TExForm::HandleMessage(message, wparam, lparam);
    }

  private:
    static HWND Child(const wchar_t* cls, HWND parent, int x, int y, int w, int h) {
        return ::CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE, x, y, w, h, parent, nullptr,
                                 nullptr, nullptr);
    }
};

POINT CentreOf(HWND w) {
    RECT r{};
    ::GetWindowRect(w, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// A click as the window under `screen` gets it from the queue.
void PostClick(HWND w, POINT screen) {
    POINT client = screen;
    ::ScreenToClient(w, &client);
    ::PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.x, client.y));
    ::PostMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
    EXPECT_TRUE(test::PumpPosted());
}

void PostCaptionClick(HWND form, int hitTest, POINT screen) {
    ::PostMessageW(form, WM_NCLBUTTONDOWN, hitTest, MAKELPARAM(screen.x, screen.y));
    EXPECT_TRUE(test::PumpPosted());
}

// Runs `act` on the first window of this thread with `caption`, from a timer that ticks in the
// dialog's own modal loop.
class DialogDriver {
  public:
    DialogDriver(std::wstring caption, std::function<void(HWND)> act)
        : caption_(std::move(caption)), act_(std::move(act)) {
        current_ = this;
        timer_ = ::SetTimer(nullptr, 0, 50, &Tick);
    }
    ~DialogDriver() {
        ::KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    bool done = false;

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (!current_ || current_->done) return;
        ::EnumThreadWindows(::GetCurrentThreadId(), &Visit, 0);
    }
    static BOOL CALLBACK Visit(HWND hwnd, LPARAM) {
        wchar_t text[128] = L"";
        ::GetWindowTextW(hwnd, text, 128);
        if (current_->caption_ != text || !::IsWindowVisible(hwnd)) return TRUE;
        current_->done = true;
        current_->act_(hwnd);
        return FALSE;
    }
    std::wstring caption_;
    std::function<void(HWND)> act_;
    UINT_PTR timer_ = 0;
    static inline DialogDriver* current_ = nullptr;
};

std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[512] = L"";
    ::GetDlgItemTextW(dialog, id, text, 512);
    return text;
}

class WhatsThisTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = L"";
        ::GetTempPathW(MAX_PATH, temp);
        ini = std::wstring(temp) + L"zeph_whats_this_test.ini";
        ::DeleteFileW(ini.c_str());
        controller = std::make_unique<TWhatsThis>(ini, L"C:\\Tellur\\Tellur.CHM", help);
        form = std::make_unique<HelpTestForm>();
        ::SetForegroundWindow(form->Handle());
        ASSERT_TRUE(test::PumpUntil([&] { return ::GetForegroundWindow() == form->Handle(); },
                                    test::kWaitMs, "the form to become active"));
    }
    void TearDown() override {
        form.reset();
        controller.reset();
        ::DeleteFileW(ini.c_str());
    }
    void Store(const wchar_t* section, const wchar_t* key, const wchar_t* text) {
        ::WritePrivateProfileStringW(section, key, text, ini.c_str());
    }
    std::wstring Stored(const wchar_t* section, const wchar_t* key) {
        wchar_t text[257] = L"";
        ::GetPrivateProfileStringW(section, key, L"", text, 257, ini.c_str());
        return text;
    }
    void Enter() { ::SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_CONTEXTHELP, 0); }

    std::wstring ini;
    RecordingHelp help;
    std::unique_ptr<TWhatsThis> controller;
    std::unique_ptr<HelpTestForm> form;
};

TEST_F(WhatsThisTest, ClickOnANamedControlShowsItsTopic) {
    Store(L"THelpTestForm", L"OkButton", L"buttons.html");
    Enter();
    EXPECT_TRUE(controller->Active());
    PostClick(form->button, CentreOf(form->button));
    ASSERT_EQ(help.requests.size(), 1u);
    EXPECT_EQ(help.requests[0].file, "C:\\Tellur\\Tellur.CHM::/buttons.html");
    EXPECT_EQ(help.requests[0].command, kHelpDisplayTopic);
    EXPECT_FALSE(controller->Active());
    // The mode is over: the next click is the control's again.
    PostClick(form->button, CentreOf(form->button));
    EXPECT_EQ(help.requests.size(), 1u);
}

TEST_F(WhatsThisTest, UnnamedNestedControlIsNamedByItsPath) {
    Store(L"THelpTestForm", L"Static1.Edit0", L"#12 file.txt");
    Enter();
    POINT at = CentreOf(form->edit);
    ::SetCursorPos(at.x, at.y);
    PostClick(form->edit, at);
    ASSERT_EQ(help.requests.size(), 1u);
    const Requested& r = help.requests[0];
    EXPECT_EQ(r.file, "C:\\Tellur\\Tellur.CHM::/file.txt");
    EXPECT_EQ(r.command, kHelpDisplayTextPopup);
    ASSERT_TRUE(r.popup);
    EXPECT_EQ(r.record.cbStruct, static_cast<int>(sizeof(HelpPopup)));
    EXPECT_EQ(r.record.idString, 12u);
    EXPECT_EQ(r.record.pszText, nullptr);
    EXPECT_EQ(r.record.hinst, nullptr);
    EXPECT_EQ(r.record.clrForeground, static_cast<COLORREF>(-1));
    EXPECT_EQ(r.record.clrBackground, static_cast<COLORREF>(-1));
    EXPECT_EQ(r.record.rcMargins.left, -1);
    EXPECT_EQ(r.record.rcMargins.bottom, -1);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    EXPECT_EQ(r.record.pt.x, cursor.x);
    EXPECT_EQ(r.record.pt.y, cursor.y);
}

TEST_F(WhatsThisTest, CaptionIsAnsweredFromFormsAndTheSystemMenuKeepsWorking) {
    Store(L"Forms", L"Form(2)", L"caption.html");
    Enter();
    RECT r{};
    ::GetWindowRect(form->Handle(), &r);
    PostCaptionClick(form->Handle(), HTSYSMENU, POINT{r.left + 8, r.top + 8});
    EXPECT_TRUE(controller->Active());
    EXPECT_EQ(form->seen, std::vector<UINT>{WM_NCLBUTTONDOWN});  // passed on
    EXPECT_TRUE(help.requests.empty());

    POINT caption{(r.left + r.right) / 2, r.top + ::GetSystemMetrics(SM_CYCAPTION) / 2};
    PostCaptionClick(form->Handle(), HTCAPTION, caption);
    ASSERT_EQ(help.requests.size(), 1u);
    EXPECT_EQ(help.requests[0].file, "C:\\Tellur\\Tellur.CHM::/caption.html");
    EXPECT_EQ(form->seen.size(), 1u);  // the caption click was taken
}

TEST_F(WhatsThisTest, MenuCommandAsksForTheItemsHelp) {
    HMENU bar = ::CreateMenu(), file = ::CreatePopupMenu();
    ::AppendMenuW(file, MF_STRING, 41, L"Open");
    ::AppendMenuW(file, MF_STRING, 42, L"Save");
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"File");
    ::SetMenu(form->Handle(), bar);  // destroyed with the window
    Store(L"THelpTestForm", L"MenuItem2", L"save.html");
    Enter();
    // A control's notification is dropped; a menu's command names its item.
    ::PostMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(1, BN_CLICKED),
                   reinterpret_cast<LPARAM>(form->button));
    ::PostMessageW(form->Handle(), WM_COMMAND, 42, 0);
    ASSERT_TRUE(test::PumpPosted());
    ASSERT_EQ(help.requests.size(), 1u);
    EXPECT_EQ(help.requests[0].file, "C:\\Tellur\\Tellur.CHM::/save.html");
    EXPECT_FALSE(controller->Active());
}

TEST_F(WhatsThisTest, KeysInTheMode) {
    // The help cursor while the mode is on; leaving it gives the window under the mouse its own.
    const POINT over = CentreOf(form->button);
    ::SetCursorPos(over.x, over.y);
    Enter();
    ::SendMessageW(form->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form->Handle()),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HELP));

    ::PostMessageW(form->Handle(), WM_KEYDOWN, 'A', 0);
    ::PostMessageW(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(test::PumpPosted());
    EXPECT_TRUE(form->seen.empty());
    EXPECT_FALSE(::IsIconic(form->Handle()));
    EXPECT_TRUE(controller->Active());

    ::PostMessageW(form->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(test::PumpPosted());
    EXPECT_FALSE(controller->Active());
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_TRUE(form->seen.empty());
    EXPECT_TRUE(help.requests.empty());
}

TEST_F(WhatsThisTest, F1OpensTheOptionsDialog) {
    Enter();
    std::wstring shownProfile;
    DialogDriver driver(L"WhatsThisOptionsForm", [&](HWND dialog) {
        shownProfile = ItemText(dialog, kOptionsProfile);
        ::SetDlgItemTextW(dialog, kOptionsProfile, L"C:\\Other.INI");
        ::CheckDlgButton(dialog, kOptionsDesignMode, BST_CHECKED);
        ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    ::PostMessageW(form->Handle(), WM_KEYDOWN, VK_F1, 0);
    EXPECT_TRUE(test::PumpUntil([&] { return driver.done; }, test::kWaitMs,
                                "the options dialog to be answered"));
    EXPECT_EQ(shownProfile, ini);
    EXPECT_EQ(controller->IniFile(), L"C:\\Other.INI");
    EXPECT_TRUE(controller->DesignMode());
    EXPECT_TRUE(controller->Active());
    controller->SetActive(false);
}

TEST_F(WhatsThisTest, DesignModeEditsTheStoredReference) {
    Store(L"THelpTestForm", L"OkButton", L"old.html");
    controller->SetDesignMode(true);
    Enter();
    std::wstring shownSection, shownKey, shownText;
    DialogDriver driver(L"Изменение ContextID", [&](HWND dialog) {
        shownSection = ItemText(dialog, kHelpCtxFormName);
        shownKey = ItemText(dialog, kHelpCtxItemName);
        shownText = ItemText(dialog, kHelpCtxText);
        EXPECT_EQ(::GetFocus(), ::GetDlgItem(dialog, kHelpCtxText));
        // Laid out at 120 dots per inch; a caption without buttons.
        HDC screen = ::GetDC(nullptr);
        const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
        RECT client{};
        ::GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, ::MulDiv(359, dpi, 120));
        EXPECT_EQ(client.bottom, ::MulDiv(160, dpi, 120));
        EXPECT_EQ(::GetWindowLongW(dialog, GWL_STYLE) & WS_SYSMENU, 0);
        ::SetDlgItemTextW(dialog, kHelpCtxText, L"#12 file.txt");
        ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    PostClick(form->button, CentreOf(form->button));
    EXPECT_TRUE(test::PumpUntil([&] { return driver.done; }, test::kWaitMs,
                                "the reference dialog to be answered"));
    EXPECT_EQ(shownSection, L"THelpTestForm");
    EXPECT_EQ(shownKey, L"OkButton");
    EXPECT_EQ(shownText, L"old.html");
    EXPECT_EQ(Stored(L"THelpTestForm", L"OkButton"), L"#12 file.txt");
    EXPECT_TRUE(help.requests.empty());
    // Design mode stays in what's-this mode, for the same form.
    EXPECT_TRUE(controller->Active());
    EXPECT_EQ(WhatsThisMode::Form(), form.get());
    controller->SetActive(false);
}

TEST_F(WhatsThisTest, ClickOutsideTheModulesFormsEndsTheModeWithoutHelp) {
    Enter();
    controller->PointHelp(POINT{-5000, -5000}, HTCLIENT);
    EXPECT_FALSE(controller->Active());
    EXPECT_TRUE(help.requests.empty());
}

// A message hook of the test's own, counting clicks and a probe message.
struct EarlierHook {
    static constexpr UINT kProbe = WM_APP + 7;
    static inline std::vector<UINT> seen;
    static LRESULT CALLBACK Proc(int code, WPARAM w, LPARAM l) {
        const UINT m = reinterpret_cast<MSG*>(l)->message;
        if (code == HC_ACTION && (m == WM_LBUTTONDOWN || m == kProbe)) seen.push_back(m);
        return ::CallNextHookEx(nullptr, code, w, l);
    }
};

// A hook installed before the controller keeps seeing what the controller leaves alone, and once
// the controller is gone, everything, with the mode's clicks going to the controls again.
TEST_F(WhatsThisTest, RemovingTheControllerPutsThePreviousHookBack) {
    controller.reset();
    EarlierHook::seen.clear();
    HHOOK mine =
        ::SetWindowsHookExW(WH_GETMESSAGE, &EarlierHook::Proc, nullptr, ::GetCurrentThreadId());
    controller = std::make_unique<TWhatsThis>(ini, L"C:\\Tellur\\Tellur.CHM", help);
    Enter();
    ::PostMessageW(form->Handle(), EarlierHook::kProbe, 0, 0);
    PostClick(form->button, CentreOf(form->button));
    EXPECT_EQ(help.requests.size(), 1u);
    EXPECT_EQ(EarlierHook::seen,
              std::vector<UINT>{EarlierHook::kProbe});  // the click was taken over

    controller.reset();
    WhatsThisMode::SetActive(true);
    PostClick(form->button, CentreOf(form->button));
    EXPECT_EQ(help.requests.size(), 1u);
    EXPECT_EQ(EarlierHook::seen, (std::vector<UINT>{EarlierHook::kProbe, WM_LBUTTONDOWN}));
    WhatsThisMode::SetActive(false);
    ::UnhookWindowsHookEx(mine);
}

#ifdef ZEPH_HELP_FILE
// The real viewer: a topic of the guide opens its window in this process, and shutting the
// access down closes it. The guide lies in a folder with a Russian name, which the system's
// code page of these tests (1252) cannot spell.
TEST(HtmlHelpAccess, TopicOpensTheViewerAndShutDownClosesIt) {
    auto viewer = [] { return test::FindVisibleWindow(L"HH Parent"); };
    wchar_t temp[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) +
                                L"\x0441\x043F\x0440\x0430\x0432\x043A\x0430 " +
                                std::to_wstring(::GetCurrentProcessId());  // "справка N"
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring guide = folder + L"\\Zeph_Help.chm";
    ASSERT_TRUE(::CopyFileW(ZEPH_HELP_FILE, guide.c_str(), FALSE));
    {
        HtmlHelp help;
        EXPECT_FALSE(help.Loaded());
        help.Request(Narrow(guide) + "::/keys.html", kHelpDisplayTopic, 0);
        EXPECT_TRUE(help.Loaded());
        EXPECT_TRUE(test::PumpUntil(viewer, 20000, "the viewer to open"));
    }
    EXPECT_TRUE(test::PumpUntil([&] { return !viewer(); }, test::kWaitMs,
                                "the viewer to close with the help library"));
    ::DeleteFileW(guide.c_str());
    ::RemoveDirectoryW(folder.c_str());
}
#endif

}  // namespace
