// The completion pop-up window with the editor control: opening, placing, filtering,
// accepting by key and by mouse, cancelling, and the trigger character's delay.
#include <gtest/gtest.h>

#include "editor/completion_popup.h"
#include "wait.h"
#include "win32/editor/harness.h"

namespace zeph::win::test {
namespace {

// An editor whose pop-up offers three members on every request.
struct CompletionHost : EditorHost {
    CompletionHost() {
        auto& c = *editor().completion();
        c.on_execute = [this](editor::CompletionModel& m, editor::ProposalExecuteArgs& args) {
            ++requests;
            last_input = args.current_input;
            m.ClearList();
            m.AddItem("property\tName\t: String", "Name");
            m.AddItem("property\tNameLength\t: Long", "NameLength");
            m.AddItem("method\tValue", "Value()");
            m.ResetFilteredToItems();
        };
        c.on_cancelled = [this](editor::CompletionModel&) { ++cancels; };
        c.on_code_completion = [this](editor::CompletionModel&, editor::ProposalAcceptArgs& a) {
            accepted.push_back(a.value);
        };
    }
    editor::CompletionModel& model_of_popup() { return *editor().completion(); }
    HWND popup() { return editor().completion_window()->hwnd(); }
    bool shown() { return ::IsWindowVisible(popup()); }

    int requests = 0;
    int cancels = 0;
    std::string last_input;
    std::vector<std::string> accepted;
};

TEST(CompletionPopupWindow, CtrlSpaceOpensUnderTheCaretLineWithoutTakingTheFocus) {
    CompletionHost host;
    host.editor().SetText("x = obj.Na");
    host.Key(VK_END);
    host.Key(VK_SPACE, kCtrl);
    ASSERT_TRUE(host.shown());
    EXPECT_EQ(host.requests, 1);
    EXPECT_EQ(host.last_input, "Na");
    EXPECT_EQ(::GetFocus(), host.hwnd());
    EXPECT_EQ(::GetActiveWindow(), host.frame());
    EXPECT_EQ(host.model().Text(), "x = obj.Na\r\n");  // no blank from Ctrl+Space

    RECT rc;
    ::GetWindowRect(host.popup(), &rc);
    POINT caret = host.editor().CaretPixel();
    ::ClientToScreen(host.hwnd(), &caret);
    EXPECT_EQ(rc.left, caret.x);
    EXPECT_EQ(rc.top, caret.y + host.editor().LineHeight());
    EXPECT_EQ(rc.right - rc.left, 262);
    RECT client;
    ::GetClientRect(host.popup(), &client);
    EXPECT_EQ(client.bottom, 15 * host.editor().completion_window()->LineHeight());
    // Filtered by the input: the two names.
    EXPECT_EQ(host.model_of_popup().ShownItems(), (std::vector<int>{0, 1}));
}

TEST(CompletionPopupWindow, TypingFiltersAndEnterAccepts) {
    CompletionHost host;
    host.editor().SetText("x = ");
    host.Key(VK_END);
    host.Key(VK_SPACE, kCtrl);
    ASSERT_TRUE(host.shown());
    EXPECT_EQ(host.model_of_popup().ShownItems().size(), 3u);
    host.Type(L"na");
    EXPECT_EQ(host.model_of_popup().ShownItems(), (std::vector<int>{0, 1}));
    host.Key(VK_DOWN);
    host.Key(VK_RETURN);
    EXPECT_FALSE(host.shown());
    EXPECT_EQ(host.model().Text(), "x = NameLength\r\n");
    EXPECT_EQ(host.accepted, (std::vector<std::string>{"NameLength"}));
    EXPECT_EQ(host.editor().CaretX(), 15);
    EXPECT_EQ(::GetFocus(), host.hwnd());
}

TEST(CompletionPopupWindow, ClickSelectsAndDoubleClickAccepts) {
    CompletionHost host;
    host.editor().SetText("");
    host.Key(VK_SPACE, kCtrl);
    ASSERT_TRUE(host.shown());
    RECT line = host.editor().completion_window()->LineRect(2);
    LPARAM at = MAKELPARAM(10, (line.top + line.bottom) / 2);
    ::SendMessageW(host.popup(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(host.popup(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(host.model_of_popup().SelectedIndex(), 2);
    EXPECT_TRUE(host.shown());
    // The pop-up refuses activation, so a click leaves the focus in the editor.
    EXPECT_EQ(::SendMessageW(host.popup(), WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(host.frame()),
                             MAKELPARAM(HTCLIENT, 0)),
              MA_NOACTIVATE);

    ::SendMessageW(host.popup(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    ::SendMessageW(host.popup(), WM_LBUTTONUP, 0, at);
    EditorHost::Pump();
    EXPECT_FALSE(host.shown());
    EXPECT_EQ(host.model().Text(), "Value()\r\n");
    EXPECT_EQ(::GetFocus(), host.hwnd());
}

TEST(CompletionPopupWindow, EscapeAndLosingTheFocusCancel) {
    CompletionHost host;
    host.editor().SetText("abc");
    host.Key(VK_SPACE, kCtrl);
    ASSERT_TRUE(host.shown());
    host.Key(VK_ESCAPE);
    EXPECT_FALSE(host.shown());
    EXPECT_EQ(host.cancels, 1);
    EXPECT_EQ(host.model().Text(), "abc\r\n");

    host.editor().ShowCompletion();
    ASSERT_TRUE(host.shown());
    ::SetFocus(host.frame());
    EditorHost::Pump();
    EXPECT_FALSE(host.shown());
    EXPECT_EQ(host.cancels, 2);
    host.editor().Focus();

    // A character outside the list's range closes it as a cancel as well.
    host.editor().ShowCompletion();
    host.Type(L"\x0416");
    EXPECT_FALSE(host.shown());
    EXPECT_EQ(host.cancels, 3);
}

TEST(CompletionPopupWindow, TriggerCharacterOpensAfterItsDelayUnlessTypingGoesOn) {
    CompletionHost host;
    host.editor().SetText("obj");
    host.Key(VK_END);
    host.Type(L".");
    ASSERT_TRUE(PumpPosted());
    EXPECT_FALSE(host.shown());  // not before its delay
    EXPECT_TRUE(PumpUntil([&] { return host.shown(); }, kWaitMs, "the pop-up to open"));
    EXPECT_EQ(host.requests, 1);
    host.Key(VK_ESCAPE);

    // Another character within the delay stops the timer: no pop-up, even once a timer as long
    // as the delay, started after the character, has gone off.
    host.Type(L".");
    ASSERT_TRUE(PumpPosted());
    host.Type(L"x");
    ASSERT_TRUE(PumpPastTimer(static_cast<UINT>(host.model_of_popup().timer_interval_ms)));
    EXPECT_FALSE(host.shown());
    EXPECT_EQ(host.requests, 1);
}

TEST(CompletionPopupWindow, StaysOnTheWorkArea) {
    CompletionHost host;
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT frame;
    ::GetWindowRect(host.frame(), &frame);
    // Move the window so that its bottom right corner is at the work area's.
    ::SetWindowPos(host.frame(), nullptr, work.right - (frame.right - frame.left) + 10,
                   work.bottom - (frame.bottom - frame.top) + 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EditorHost::Pump();
    std::string text;
    for (int i = 0; i < 40; ++i) text += "\r\n";
    text += std::string(58, ' ') + "Na";  // a word some line matches: the pop-up opens
    host.editor().SetText(text);
    host.Key(VK_END, kCtrl);
    host.Key(VK_SPACE, kCtrl);
    ASSERT_TRUE(host.shown());
    RECT rc;
    ::GetWindowRect(host.popup(), &rc);
    EXPECT_GE(rc.left, work.left);
    EXPECT_LE(rc.right, work.right);
    EXPECT_GE(rc.top, work.top);
    EXPECT_LE(rc.bottom, work.bottom);
    POINT caret = host.editor().CaretPixel();
    ::ClientToScreen(host.hwnd(), &caret);
    if (caret.y + host.editor().LineHeight() + (rc.bottom - rc.top) > work.bottom) {
        EXPECT_LE(rc.bottom, caret.y);  // above the caret line, not over it
    }
}

}  // namespace
}  // namespace zeph::win::test
