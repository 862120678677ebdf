// F1 in the workbench window with the guide in the data folder, and the window pictures that the
// guide shows (saved to the screens folder; scripts/help-screens.sh turns them into its images).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/wide.h"
#include "desktop.h"
#include "wait.h"
#include "win32/workbench/fake_tellur.h"
#include "workbench/main_form.h"
#include "workbench/shell_adapter.h"

namespace zeph::win {
namespace {

using test::Press;
using test::Pump;
using test::PumpUntil;
using testing::FakeApplication;

struct QuietStore : workbench::IWorkbenchStore {
    void ApplyStore() override {}
    void SaveWorkbenchState() override {}
    void StoreScript(const std::string&, std::string_view, const std::string&) override {}
    void RemoveScript(const std::string&) override {}
    std::optional<workbench::StoredScript> FindScript(const std::string&) override {
        return std::nullopt;
    }
    void SaveOnClose(const std::string&, std::string_view, const std::string&) override {}
};

// The help viewer's main window, in whatever process it runs.
HWND ViewerWindow() {
    return test::FindVisibleWindow(L"HH Parent");
}

class HelpWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A data folder with a blank in its name, as the guide's path is passed unquoted.
        wchar_t temp[MAX_PATH] = L"";
        ::GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"zeph help data " +
                 std::to_wstring(::GetCurrentProcessId()) + L"\\";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        app.folder = folder;

        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZephHelpTestOwner";
        ::RegisterClassW(&wc);
        owner = ::CreateWindowExW(0, L"ZephHelpTestOwner", L"Owner", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                  100, nullptr, nullptr, wc.hInstance, nullptr);
        form = TMainModelessDialogForm::CreateOwned(owner);
        form->SetStore(&store);
        form->AttachApplication(&app);
        form->Show();
        hwnd = form->Handle();
        ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == hwnd; }, test::kWaitMs,
                              "the workbench window to become active"));
    }
    void TearDown() override {
        delete form;
        ::DestroyWindow(owner);
        for (const wchar_t* name : {L"Zeph_Help.chm", L"TellurTlb.xml"})
            ::DeleteFileW((folder + name).c_str());
        ::RemoveDirectoryW(folder.c_str());
        EXPECT_TRUE(test::PumpPosted());
    }

    FakeApplication app;
    QuietStore store;
    std::wstring folder;
    HWND owner = nullptr;
    TMainModelessDialogForm* form = nullptr;
    HWND hwnd = nullptr;
};

TEST_F(HelpWindowTest, F1OpensTheGuideInTheViewer) {
    ASSERT_TRUE(::CopyFileW(ZEPH_HELP_FILE, (folder + L"Zeph_Help.chm").c_str(), FALSE));
    ASSERT_EQ(ViewerWindow(), nullptr);
    Press(VK_F1);
    ASSERT_TRUE(PumpUntil([] { return ViewerWindow() != nullptr; }, 20000));
    HWND viewer = ViewerWindow();
    // The guide's title reads right whatever the system's code page (these tests run under 1252).
    auto title = [&] {
        wchar_t text[128] = L"";
        ::GetWindowTextW(viewer, text, 128);
        return std::wstring(text);
    };
    EXPECT_TRUE(PumpUntil(
        [&] { return title() == L"Zeph: \x0441\x043F\x0440\x0430\x0432\x043A\x0430"; }, 10000))
        << [&] {
               std::string codes;
               for (wchar_t c : title()) codes += std::to_string(static_cast<int>(c)) + " ";
               return codes;
           }();
    DWORD viewerProcess = 0;
    ::GetWindowThreadProcessId(viewer, &viewerProcess);
    EXPECT_NE(viewerProcess, ::GetCurrentProcessId());  // a program of its own: "hh"
    EXPECT_TRUE(::IsWindow(hwnd));

    ::PostMessageW(viewer, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([] { return ViewerWindow() == nullptr; }, 10000));
}

TEST(GuideTitle, OnlyTextDecodedFromTheGuidesBytesIsDecodedAgain) {
    const std::wstring russian = L"Zeph: \x0441\x043F\x0440\x0430\x0432\x043A\x0430";
    const std::wstring as_1252 = L"Zeph: \x00F1\x00EF\x00F0\x00E0\x00E2\x00EA\x00E0";
    const struct {
        std::wstring shown;
        unsigned code_page;
        std::wstring expected;
    } cases[] = {
        {as_1252, 1252, russian},  // what Wine's viewer shows under an English locale
        {russian, 1252, russian},  // a viewer that decoded it right already
        {as_1252, 1251, as_1252},  // under 1251 the viewer had it right
        {L"Zeph", 1252, L"Zeph"}, {L"", 1252, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShellAdapter::GuideTitle(c.shown, c.code_page), c.expected)
            << Narrow(c.shown) << " " << c.code_page;
}

// The window with a short script, its caption drawn here (the test display has no window
// manager to draw frames).
TEST_F(HelpWindowTest, PicturesForTheGuide) {
    ::SetWindowTextW(form->SavedScriptsHandle(), L"Точки карты");
    form->Editor().SetText(
        Narrow(L"option explicit\r\n\r\n' Имена точек карты\r\nDim map, i, names\r\n"
               L"Set map = Application.Map\r\nFor i = 0 To map.Count - 1\r\n"
               L"  If map.Item(i).Kind = okPoint Then names = names & map.Item(i).Name & vbCrLf\r\n"
               L"Next\r\nMsgBox names"));
    ::SetWindowPos(hwnd, nullptr, 60, 60, 560, 300, SWP_NOZORDER);
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ASSERT_TRUE(test::PumpPosted());
    EXPECT_TRUE(
        test::SaveWindowBitmap(hwnd, std::string(ZEPH_SCREENS_DIR) + "/help_workbench.bmp"));

    // The completion pop-up after "Application.", with the host's description in the folder.
    ASSERT_TRUE(::CopyFileW(ZEPH_HOST_DESCRIPTION, (folder + L"TellurTlb.xml").c_str(), FALSE));
    form->Editor().SetText("Application.");
    form->Editor().SetCaretXY(13, 1);
    ::SetFocus(form->Editor().hwnd());
    Press(VK_SPACE, /*ctrl=*/true);
    HWND popup = nullptr;
    ASSERT_TRUE(PumpUntil(
        [&] {
            popup = ::FindWindowW(L"TCompletionProposalForm", nullptr);
            return popup && ::IsWindowVisible(popup);
        },
        test::kWaitMs, "the completion pop-up to open"));
    ::RedrawWindow(popup, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ASSERT_TRUE(test::PumpPosted());
    RECT a{}, b{};
    ::GetWindowRect(hwnd, &a);
    ::GetWindowRect(popup, &b);
    POINT origin{0, 0};
    ::ClientToScreen(hwnd, &origin);
    RECT both{origin.x, origin.y, std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
    EXPECT_TRUE(
        test::SaveScreenBitmap(both, std::string(ZEPH_SCREENS_DIR) + "/help_completion.bmp"));
    Press(VK_ESCAPE);
}

}  // namespace
}  // namespace zeph::win
