// The settings dialog as a user of the demo host meets it: opened from the workbench's button,
// played with keys, saved, and still in force after the workbench is opened again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/wide.h"
#include "e2e_fixture.h"
#include "text/cp1251.h"

namespace zeph::e2e {
namespace {

using ::testing::HasSubstr;
using text::operator""_cp;

constexpr int kSettingsButton = 7;  // run, |, new, remove, |, language, |, settings

using win::test::WaitUntil;

// The thread that runs the windows (the test's own); input is handled there.
DWORD g_ui_thread = 0;

void Tap(WORD key, bool ctrl = false, bool shift = false) {
    std::vector<INPUT> in;
    if (ctrl) in.push_back(win::test::KeyInput(VK_CONTROL, false));
    if (shift) in.push_back(win::test::KeyInput(VK_SHIFT, false));
    in.push_back(win::test::KeyInput(key, false));
    in.push_back(win::test::KeyInput(key, true));
    if (shift) in.push_back(win::test::KeyInput(VK_SHIFT, true));
    if (ctrl) in.push_back(win::test::KeyInput(VK_CONTROL, true));
    ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
    EXPECT_TRUE(win::test::InputHandled(g_ui_thread));
}

HWND FocusOf(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

std::wstring ClassName(HWND hwnd) {
    wchar_t name[64] = L"";
    ::GetClassNameW(hwnd, name, 64);
    return name;
}

TEST_F(EndToEndTest, SettingsTurnKeywordsRedAndTheFontTo12AndKeepThemAfterReopening) {
    OpenWorkbench();
    const DWORD ui = ::GetCurrentThreadId();
    g_ui_thread = ui;
    std::atomic<bool> done{false};
    std::wstring font;
    std::thread user([&] {
        HWND dialog = nullptr;
        const bool opened = static_cast<bool>(WaitUntil([&] {
            dialog = ::FindWindowW(L"TZephraSetupDialogForm", nullptr);
            return dialog && ::GetForegroundWindow() == dialog;
        }));
        if (opened) {
            // The focus starts on the pages' tabs; Tab goes on to the element list, where the
            // reserved words are fourth.
            WaitUntil([&] { return ClassName(FocusOf(ui)) == L"SysTabControl32"; });
            Tap(VK_TAB);
            WaitUntil([&] { return ClassName(FocusOf(ui)) == L"ListBox"; });
            for (int i = 0; i < 3; ++i) Tap(VK_DOWN);
            Tap(VK_TAB);  // text colour: from blue up to red
            for (int i = 0; i < 3; ++i) Tap(VK_UP);
            Tap(VK_TAB, /*ctrl=*/true);               // the display page
            for (int i = 0; i < 5; ++i) Tap(VK_TAB);  // on to the size box, its text selected
            Tap('1');
            Tap('2');
            Tap(VK_TAB, false, /*shift=*/true);  // the font box: any choice takes the size
            HWND names = FocusOf(ui);
            Tap(VK_DOWN);
            Tap(VK_UP);
            wchar_t text[128] = L"";
            ::GetWindowTextW(names, text, 128);
            font = text;
            Tap(VK_RETURN);  // "Сохранить"
            if (!WaitUntil([&] { return !::IsWindow(dialog); })) {
                ADD_FAILURE() << "the dialog stayed open";
                ::PostMessageW(dialog, WM_CLOSE, 0, 0);
            }
        } else {
            ADD_FAILURE() << "the settings dialog did not open";
        }
        done = true;
    });
    ClickToolButton(kSettingsButton);
    EXPECT_TRUE(
        PumpUntil([&] { return done.load(); }, 40000, "the user to be done with the dialog"));
    user.join();
    EXPECT_TRUE(win::test::PumpPosted());

    const std::string reserved(u8"Зарезервированные слова"_cp);
    EXPECT_THAT(StoreBytes(), HasSubstr("<Color name=\"" + reserved + "\" Foreground=\"255\""));
    EXPECT_THAT(ConfigurationLine(), HasSubstr(" FontName=\"" + win::Narrow(font) + "\""));
    EXPECT_THAT(ConfigurationLine(), HasSubstr(" FontSize=\"12\""));
    EXPECT_EQ(::GetForegroundWindow(), wb_);
    SaveScreenshot("e2e_settings.bmp");

    // Closed and opened again, the workbench applies the saved looks and writes them back.
    Press('Q', true);
    ASSERT_FALSE(::IsWindow(wb_));
    ReopenWorkbench();
    Press('Q', true);
    EXPECT_THAT(ConfigurationLine(), HasSubstr(" FontSize=\"12\""));
    EXPECT_THAT(StoreBytes(), HasSubstr("<Color name=\"" + reserved + "\" Foreground=\"255\""));
}

}  // namespace
}  // namespace zeph::e2e
