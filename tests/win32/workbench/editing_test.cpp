// The find bar and the editor's context menu, driven by real keys and clicks.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/wide.h"
#include "desktop.h"
#include "text/cp1251.h"
#include "win32/workbench/window_fixture.h"

namespace zeph::win {
namespace {

using text::operator""_cp;
using test::Press;
using test::Pump;
using wbtest::HeightOf;
using wbtest::PumpUntil;
using wbtest::WorkbenchWindowTest;

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

using ButtonBoxes = std::vector<std::pair<std::wstring, RECT>>;

BOOL CALLBACK CollectButton(HWND w, LPARAM param) {
    wchar_t cls[32] = L"";
    ::GetClassNameW(w, cls, 32);
    if (::IsWindowVisible(w) && ::lstrcmpiW(cls, L"Button") == 0) {
        RECT r{};
        ::GetWindowRect(w, &r);
        ::MapWindowPoints(nullptr, ::GetParent(w), reinterpret_cast<POINT*>(&r), 2);
        wchar_t text[128] = L"";
        ::GetWindowTextW(w, text, 128);
        reinterpret_cast<ButtonBoxes*>(param)->emplace_back(text, r);
    }
    return TRUE;
}

// The visible buttons and check boxes of the form (the find bar's), in client coordinates.
ButtonBoxes VisibleButtons(HWND form) {
    ButtonBoxes found;
    ::EnumChildWindows(form, &CollectButton, reinterpret_cast<LPARAM>(&found));
    return found;
}

// In the window as it opens, and narrowed as far as it goes, every button and check box of the
// find bar lies whole inside the window, and none covers another.
TEST_F(WorkbenchWindowTest, FindBarButtonsStayWholeInTheOpeningWindowAndNarrowed) {
    Press('H', true);
    ASSERT_TRUE(::IsWindowVisible(form->Finder()->PatternHandle()));
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            RECT w{};
            ::GetWindowRect(form->Handle(), &w);
            ::SetWindowPos(form->Handle(), nullptr, 0, 0, 50, w.bottom - w.top,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            Pump();
        }
        RECT client{};
        ::GetClientRect(form->Handle(), &client);
        const auto buttons = VisibleButtons(form->Handle());
        // The find bar's four buttons and three check boxes, and the check button above the
        // editor.
        ASSERT_EQ(buttons.size(), 8u);
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            const RECT& r = buttons[i].second;
            const std::string name = Narrow(buttons[i].first) + " in pass " + std::to_string(pass);
            EXPECT_GE(r.left, 0) << name;
            EXPECT_LE(r.right, client.right) << name;
            EXPECT_LE(r.bottom, client.bottom) << name;
            EXPECT_GT(r.right - r.left, 20) << name;
            for (std::size_t k = i + 1; k < buttons.size(); ++k) {
                RECT both{};
                EXPECT_FALSE(::IntersectRect(&both, &r, &buttons[k].second))
                    << name << " and " << Narrow(buttons[k].first);
            }
        }
        // The status shows in what is left of its row: in the opening window, a miss is told
        // whole.
        RECT status{};
        ::GetWindowRect(form->Finder()->StatusHandle(), &status);
        EXPECT_GT(status.right - status.left, 0) << "pass " << pass;
        if (pass == 0) {
            ::SetWindowTextW(form->Finder()->PatternHandle(), L"absent");
            ::SetFocus(form->Finder()->PatternHandle());
            Press(VK_RETURN);
            HWND label = form->Finder()->StatusHandle();
            ASSERT_EQ(Narrow(Text(label)), u8"Не найдено"_cp);
            HDC dc = ::GetDC(label);
            HGDIOBJ old = ::SelectObject(
                dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
            const std::wstring said = Text(label);
            SIZE size{};
            ::GetTextExtentPoint32W(dc, said.c_str(), static_cast<int>(said.size()), &size);
            ::SelectObject(dc, old);
            ::ReleaseDC(label, dc);
            EXPECT_GE(status.right - status.left, size.cx);
        }
    }
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

// Whether a pop-up menu was open when the keys were pressed in it.
bool menu_seen = false;

void CALLBACK NoteMenuAndPressKeys(HWND hwnd, UINT message, UINT_PTR id, DWORD time) {
    HWND menu = ::FindWindowW(L"#32768", nullptr);
    menu_seen = menu && ::IsWindowVisible(menu);
    PressMenuKeys(hwnd, message, id, time);
}

// Opens the editor's menu by `open` (real input) and chooses the item `up` places above its
// end; true when the menu came up and went again.
bool ChooseFromMenu(const std::function<void()>& open, int up) {
    menu_seen = false;
    menu_keys.assign(static_cast<size_t>(up), VK_UP);
    menu_keys.push_back(up > 0 ? VK_RETURN : VK_ESCAPE);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 300, &NoteMenuAndPressKeys);
    open();
    const bool closed = static_cast<bool>(PumpUntil([] {
        HWND menu = ::FindWindowW(L"#32768", nullptr);
        return menu_seen && !(menu && ::IsWindowVisible(menu));
    }));
    if (!menu_seen) ::KillTimer(nullptr, timer);
    Pump();
    return menu_seen && closed;
}

void RightClick(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    ::SetCursorPos(r.left + 40, r.top + 10);
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    ::SendInput(2, in, sizeof(INPUT));
}

// Items counted from the menu's end (separators are skipped).
constexpr int kFindItem = 1, kSelectAllItem = 2, kPasteItem = 3, kCopyItem = 4, kCutItem = 5,
              kRedoItem = 6, kUndoItem = 7;

TEST_F(WorkbenchWindowTest, EditorContextMenuOpensByMouseAndKeysAndItsItemsEdit) {
    form->Editor().SetText("one two");
    form->Editor().Focus();
    auto select_two = [&] {
        form->Editor().model().SetSelection({0, 4}, {0, 7});
        form->Editor().Sync();
    };
    auto shift_f10 = [] {
        INPUT in[4] = {test::KeyInput(VK_SHIFT, false), test::KeyInput(VK_F10, false),
                       test::KeyInput(VK_F10, true), test::KeyInput(VK_SHIFT, true)};
        ::SendInput(4, in, sizeof(INPUT));
    };
    auto menu_key = [] {
        INPUT in[2] = {test::KeyInput(VK_APPS, false), test::KeyInput(VK_APPS, true)};
        ::SendInput(2, in, sizeof(INPUT));
    };

    select_two();
    ASSERT_TRUE(ChooseFromMenu(shift_f10, kCutItem));
    EXPECT_EQ(EditorText(), "one \r\n");
    EXPECT_EQ(test::ClipboardText(), L"two");
    ASSERT_TRUE(ChooseFromMenu([&] { RightClick(form->EditorHandle()); }, kUndoItem));
    EXPECT_EQ(EditorText(), "one two\r\n");
    ASSERT_TRUE(ChooseFromMenu([&] { RightClick(form->EditorHandle()); }, kRedoItem));
    EXPECT_EQ(EditorText(), "one \r\n");

    form->Editor().SetCaretXY(1, 1);
    ASSERT_TRUE(ChooseFromMenu(menu_key, kPasteItem));
    EXPECT_EQ(EditorText(), "twoone \r\n");

    ASSERT_TRUE(test::SetClipboardText(L"other"));
    form->Editor().model().SetSelection({0, 0}, {0, 3});
    form->Editor().Sync();
    ASSERT_TRUE(ChooseFromMenu(menu_key, kCopyItem));
    EXPECT_EQ(test::ClipboardText(), L"two");
    EXPECT_EQ(EditorText(), "twoone \r\n");

    ASSERT_TRUE(ChooseFromMenu(menu_key, kSelectAllItem));
    EXPECT_EQ(form->Editor().model().SelectedText(), "twoone ");
    ASSERT_TRUE(ChooseFromMenu([&] { RightClick(form->EditorHandle()); }, kFindItem));
    EXPECT_TRUE(::IsWindowVisible(form->Finder()->PatternHandle()));
    EXPECT_EQ(::GetFocus(), form->Finder()->PatternHandle());

    // Esc closes it without a command; the window stays.
    form->Editor().Focus();
    ASSERT_TRUE(ChooseFromMenu(shift_f10, 0));
    EXPECT_EQ(EditorText(), "twoone \r\n");
    EXPECT_TRUE(::IsWindow(hwnd));
}

TEST_F(WorkbenchWindowTest, ReplaceChangesOneMatchAtATimeEachItsOwnUndoStep) {
    form->Editor().SetText("ab ab ab");
    form->Editor().model().SetSelection({0, 0}, {0, 2});
    form->Editor().Sync();
    Press('H', true);
    FindBar& bar = *form->Finder();
    ASSERT_EQ(::GetFocus(), bar.ReplacementHandle());
    EXPECT_EQ(Narrow(Text(bar.PatternHandle())), "ab");
    Press('C');
    HWND replace = ::FindWindowExW(hwnd, nullptr, L"BUTTON", Wide(u8"Заменить"_cp).c_str());
    ASSERT_TRUE(replace);

    // The selected match is replaced and the next one selected; nothing else changes.
    RECT r{};
    ::GetWindowRect(replace, &r);
    ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, in, sizeof(INPUT));
    ASSERT_TRUE(PumpUntil([&] { return EditorText() == "c ab ab\r\n"; })) << EditorText();
    EXPECT_EQ(form->Editor().model().SelectedText(), "ab");
    EXPECT_EQ(form->Editor().CaretX(), 5);

    // Enter in the replacement field does the same.
    ::SetFocus(bar.ReplacementHandle());
    Press(VK_RETURN);
    EXPECT_EQ(EditorText(), "c c ab\r\n");
    EXPECT_EQ(form->Editor().CaretX(), 7);
    Press(VK_RETURN);
    EXPECT_EQ(EditorText(), "c c c\r\n");
    EXPECT_EQ(Narrow(Text(bar.StatusHandle())), u8"Не найдено"_cp);
    Press(VK_RETURN);  // nothing left to replace
    EXPECT_EQ(EditorText(), "c c c\r\n");

    form->Editor().Focus();
    Press('Z', true);
    EXPECT_EQ(EditorText(), "c c ab\r\n");
    Press('Z', true);
    EXPECT_EQ(EditorText(), "c ab ab\r\n");
}

// F3 moves the caret like any other move: an open pop-up, or a typed "." waiting for one, goes.
TEST_F(WorkbenchWindowTest, FindNextClosesTheCompletionPopupAndItsWait) {
    UseDescription(L"zeph_workbench_find_popup", "<property name=\"Name\" type=\"String\"/>");
    struct Case {
        const char* name;
        bool shift;
        bool wait;  // a typed "." waiting, rather than an open pop-up
    };
    for (const Case& c :
         {Case{"F3, pop-up open", false, false}, Case{"Shift+F3, pop-up open", true, false},
          Case{"F3, dot waiting", false, true}}) {
        SCOPED_TRACE(c.name);
        form->Editor().SetText(c.wait ? "x = 1\r\nApplication\r\nx = 2"
                                      : "x = 1\r\nApplication.\r\nx = 2");
        Press('F', true);
        FindBar& bar = *form->Finder();
        ::SetWindowTextW(bar.PatternHandle(), L"x");
        Press(VK_ESCAPE);
        ASSERT_EQ(::GetFocus(), form->EditorHandle());
        SetCaretXY(c.wait ? 12 : 13, 2);
        editor::CompletionModel& popup = *form->Editor().completion();
        if (c.wait) {
            Press(VK_OEM_PERIOD);
            ASSERT_TRUE(popup.TimerRunning());
        } else {
            form->Editor().ShowCompletion();
            ASSERT_TRUE(popup.IsOpen());
        }
        Press(VK_F3, false, c.shift);
        EXPECT_EQ(form->Editor().model().SelectedText(), "x");
        EXPECT_FALSE(popup.IsOpen());
        EXPECT_FALSE(popup.TimerRunning());
        // A timer as long as the pop-up's delay, started after it, has gone off: so has any
        // timer left of the pop-up.
        ASSERT_TRUE(test::PumpPastTimer(static_cast<UINT>(popup.timer_interval_ms)));
        EXPECT_FALSE(popup.IsOpen());
    }
}

}  // namespace
}  // namespace zeph::win
