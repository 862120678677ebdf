// The strip above the editor (procedures, check, caret place) and the script keys, driven with
// real input.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "text/cp1251.h"
#include "win32/workbench/window_fixture.h"

namespace zeph::win {
namespace {

using text::operator""_cp;
using test::Press;
using wbtest::ListLines;
using wbtest::MessageBoxCatcher;
using wbtest::Pump;
using wbtest::WorkbenchWindowTest;

// Answers the line prompt with `line` (or cancels it) when it shows.
class LinePromptAnswer {
  public:
    explicit LinePromptAnswer(const wchar_t* line) : line_(line) {
        current_ = this;
        hook_ = ::SetWindowsHookExW(WH_CBT, &Hook, nullptr, ::GetCurrentThreadId());
    }
    ~LinePromptAnswer() {
        ::UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    int prompts = 0;
    std::string label;

  private:
    static LRESULT CALLBACK Hook(int code, WPARAM wparam, LPARAM lparam) {
        if (code == HCBT_ACTIVATE && current_) {
            HWND box = reinterpret_cast<HWND>(wparam);
            wchar_t caption[128] = L"", label[128] = L"";
            ::GetWindowTextW(box, caption, 128);
            if (Narrow(caption) == u8"Переход к строке"_cp) {
                ++current_->prompts;
                ::GetDlgItemTextW(box, 101, label, 128);
                current_->label = Narrow(label);
                if (current_->line_) ::SetDlgItemTextW(box, 100, current_->line_);
                ::PostMessageW(box, WM_COMMAND, current_->line_ ? IDOK : IDCANCEL, 0);
            }
        }
        return ::CallNextHookEx(nullptr, code, wparam, lparam);
    }
    static inline LinePromptAnswer* current_ = nullptr;
    const wchar_t* line_;
    HHOOK hook_;
};

std::vector<std::string> ComboEntries(HWND combo) {
    std::vector<std::string> entries;
    const LRESULT count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[256] = L"";
        if (::SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 256)
            ::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(Narrow(text));
    }
    return entries;
}

std::string StatusText(TMainModelessDialogForm& form) {
    wchar_t text[128] = L"";
    ::GetWindowTextW(form.Strip()->Status(), text, 128);
    return Narrow(text);
}

TEST_F(WorkbenchWindowTest, ProcedureListFollowsTypingAndTakesTheCaretThere) {
    HWND list = form->Strip()->List();
    form->Editor().SetText("Sub Draw(map)\r\nEnd Sub\r\n\r\nFunction Area(r)\r\nEnd Function");
    Pump();
    EXPECT_THAT(ComboEntries(list), ::testing::ElementsAre("Sub Draw(map)", "Function Area(r)"));
    // A procedure typed in shows up.
    form->Editor().SetCaretXY(1, 3);
    for (char c : std::string("sub x")) Press(static_cast<WORD>(c >= 'a' ? c - 32 : c));
    Pump();
    EXPECT_THAT(ComboEntries(list),
                ::testing::ElementsAre("Sub Draw(map)", "Sub x()", "Function Area(r)"));
    // Picking an entry puts the caret on its name, in the editor.
    ::SendMessageW(list, CB_SETCURSEL, 2, 0);
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(list), CBN_SELENDOK),
                   reinterpret_cast<LPARAM>(list));
    Pump();
    EXPECT_EQ(form->Editor().CaretY(), 4);
    EXPECT_EQ(form->Editor().CaretX(), 10);
    EXPECT_EQ(::GetFocus(), form->EditorHandle());
    EXPECT_EQ(StatusText(*form), u8"Строка 4, столбец 10"_cp);
}

TEST_F(WorkbenchWindowTest, CtrlGGoesToALineAndCtrlSlashCommentsLines) {
    form->Editor().SetText("a = 1\r\nb = 2\r\nc = 3\r\nd = 4");
    form->Editor().SetCaretXY(3, 1);
    Pump();
    {
        LinePromptAnswer answer(L"3");
        Press('G', true);
        Pump();
        EXPECT_EQ(answer.prompts, 1);
        EXPECT_EQ(answer.label, u8"Номер строки (1–4):"_cp);
    }
    EXPECT_EQ(form->Editor().CaretY(), 3);
    EXPECT_EQ(form->Editor().CaretX(), 1);
    {
        LinePromptAnswer cancel(nullptr);
        Press('G', true);
        Pump();
        EXPECT_EQ(cancel.prompts, 1);
    }
    EXPECT_EQ(form->Editor().CaretY(), 3);

    // Lines 2 and 3 selected: both commented, as one undo step, and back again.
    form->Editor().model().SetSelection({1, 0}, {2, 3});
    form->Editor().Sync();
    Press(VK_OEM_2, true);
    EXPECT_EQ(form->Editor().Text(), "a = 1\r\n'b = 2\r\n'c = 3\r\nd = 4\r\n");
    Press(VK_OEM_2, true);
    EXPECT_EQ(form->Editor().Text(), "a = 1\r\nb = 2\r\nc = 3\r\nd = 4\r\n");
    Press(VK_OEM_2, true);
    Press('Z', true);
    EXPECT_EQ(form->Editor().Text(), "a = 1\r\nb = 2\r\nc = 3\r\nd = 4\r\n");
}

TEST_F(WorkbenchWindowTest, CheckParsesWithoutRunningAndListsUndeclaredNames) {
    UseDescription(L"zeph_workbench_check",
                   "<property name=\"Caption\" type=\"String\"/><method name=\"Redraw\"/>");
    MessageBoxCatcher boxes;
    // Nothing of a sound script runs: no message box, no echo.
    form->Editor().SetText(
        "Option Explicit\r\nDim n\r\nMsgBox \"ran\"\r\nWScript.Echo Caption\r\nRedraw\r\nn = "
        "totl + 1");
    Press(VK_F7);
    EXPECT_TRUE(boxes.texts.empty()) << (boxes.texts.empty() ? "" : boxes.texts[0]);
    std::vector<std::string> lines = ListLines(form->OutputHandle());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], u8"Не объявлено имя totl (строка 6)"_cp);
    EXPECT_EQ(lines[1], u8"Проверка: необъявленных имён: 1"_cp);
    EXPECT_EQ(form->Editor().CaretY(), 6);

    // A syntax error is shown as a run error is, with the button as with F7.
    form->Editor().SetText("Dim x\r\nx = (1 +\r\n");
    ::SendMessageW(form->Strip()->Button(), BM_CLICK, 0, 0);
    Pump();
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_THAT(boxes.texts[0], ::testing::StartsWith(u8"Произошла ошибка: "_cp.data()));
    EXPECT_EQ(form->Editor().CaretY(), 2);
    EXPECT_EQ(form->Editor().ErrorLine(), 1);
    lines = ListLines(form->OutputHandle());
    EXPECT_THAT(lines.back(), ::testing::StartsWith(u8"Ошибка (строка 2"_cp.data()));

    // JScript the same way; a sound text that would fail at once if it ran reports nothing.
    Press('L', true);
    form->Editor().SetText("notPublished.run();\r\n");
    Press(VK_F7);
    EXPECT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(ListLines(form->OutputHandle()).back(), u8"Проверка: ошибок не найдено"_cp);
    form->Editor().SetText("var a = 1;\r\nfunction f( {\r\n");
    Press(VK_F7);
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_EQ(form->Editor().CaretY(), 2);
}

}  // namespace
}  // namespace zeph::win
