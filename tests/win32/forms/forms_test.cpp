#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "forms/forms.h"

using namespace zeph::win;

namespace {

// A plain top-level window standing in for the host's main window; counts the help messages
// that reach it.
struct OwnerWindow {
    static inline int helpMessages = 0;

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_HELP) ++helpMessages;
        return ::DefWindowProcW(hwnd, message, wparam, lparam);
    }

    OwnerWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"FormsTestOwner";
        ::RegisterClassW(&wc);
        hwnd = ::CreateWindowExW(0, L"FormsTestOwner", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 10, 10, 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
        helpMessages = 0;
    }
    ~OwnerWindow() { ::DestroyWindow(hwnd); }

    HWND hwnd;
};

class TestForm : public TNonModalForm {
  public:
    explicit TestForm(HWND owner, bool freeOnClose = false)
        : TNonModalForm(owner), freeOnClose_(freeOnClose) {
        FormParams params;
        params.className = L"TTestForm";
        params.caption = L"Test";
        params.style = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CHILD;
        params.width = 200;
        params.height = 150;
        CreateWindowHandle(params);
    }

    static inline int destroyedWindows = 0;
    std::vector<std::string> errors;
    bool throwOnUser = false;
    // Runs for WM_APP, as a handler that opens a nested message loop would.
    std::function<void()> onApp;

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
        if (message == WM_USER && throwOnUser) throw std::runtime_error("boom");
        if (message == WM_APP && onApp) {
            onApp();
            return 1;
        }
        return TNonModalForm::HandleMessage(message, wparam, lparam);
    }
    void WindowDestroyed() override {
        ++destroyedWindows;
        if (freeOnClose_) delete this;
    }
    void HandleException(std::exception_ptr error) noexcept override {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            errors.push_back(e.what());
        }
    }

  private:
    bool freeOnClose_;
};

bool IsAbove(HWND upper, HWND lower) {
    for (HWND w = ::GetWindow(upper, GW_HWNDNEXT); w; w = ::GetWindow(w, GW_HWNDNEXT))
        if (w == lower) return true;
    return false;
}

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace

TEST(ExForm, HelpMessageIsSwallowed) {
    OwnerWindow owner;
    TestForm form(owner.hwnd);
    HELPINFO info{};
    info.cbSize = sizeof(info);
    info.iContextType = HELPINFO_WINDOW;
    info.hItemHandle = form.Handle();
    EXPECT_EQ(::SendMessageW(form.Handle(), WM_HELP, 0, reinterpret_cast<LPARAM>(&info)), 0);
    // F1 as the system turns it into a help request.
    ::SendMessageW(form.Handle(), 0x004D /* WM_KEYF1 */, 0, 0);
    EXPECT_EQ(OwnerWindow::helpMessages, 0);
}

TEST(ExForm, ContextHelpCommandEntersWhatsThisModeForThisForm) {
    OwnerWindow owner;
    TestForm form(owner.hwnd);
    TestForm other(owner.hwnd);
    HCURSOR help = ::LoadCursorW(nullptr, IDC_HELP);

    EXPECT_EQ(::SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_CONTEXTHELP, 0), 0);
    EXPECT_TRUE(WhatsThisMode::Active());
    EXPECT_EQ(WhatsThisMode::Form(), &form);

    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(::SendMessageW(form.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form.Handle()),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(::GetCursor(), help);

    // Another form keeps its own cursor while the mode belongs to the first one...
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    ::SendMessageW(other.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(other.Handle()),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_NE(::GetCursor(), help);
    // ...and shows the help cursor when the mode has no form.
    WhatsThisMode::SetForm(nullptr);
    EXPECT_EQ(::SendMessageW(other.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(other.Handle()),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(::GetCursor(), help);

    WhatsThisMode::SetActive(false);
    EXPECT_FALSE(WhatsThisMode::Active());
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    ::SendMessageW(form.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form.Handle()),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_NE(::GetCursor(), help);
}

TEST(ExForm, RecordedFormIsForgottenWhenItGoes) {
    OwnerWindow owner;
    {
        TestForm form(owner.hwnd);
        ::SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
        EXPECT_EQ(WhatsThisMode::Form(), &form);
    }
    EXPECT_EQ(WhatsThisMode::Form(), nullptr);
    WhatsThisMode::SetActive(false);
}

TEST(ExForm, OtherSystemCommandsKeepTheirDefault) {
    OwnerWindow owner;
    TestForm form(owner.hwnd);
    ::ShowWindow(form.Handle(), SW_SHOWNORMAL);
    ::SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(::IsIconic(form.Handle()));
    EXPECT_FALSE(WhatsThisMode::Active());
}

TEST(NonModalForm, IsOwnedTopLevelWindowAboveItsOwner) {
    OwnerWindow owner;
    TestForm form(owner.hwnd);
    HWND hwnd = form.Handle();
    EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), owner.hwnd);
    EXPECT_EQ(::GetAncestor(hwnd, GA_PARENT), ::GetDesktopWindow());
    EXPECT_EQ(::GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD, 0);
    EXPECT_EQ(TExForm::FromHandle(hwnd), &form);
    EXPECT_EQ(TExForm::FromHandle(owner.hwnd), nullptr);

    ::ShowWindow(hwnd, SW_SHOWNORMAL);
    ::SetWindowPos(owner.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    PumpMessages();
    EXPECT_TRUE(IsAbove(hwnd, owner.hwnd));
}

TEST(NonModalForm, WithoutOwnerHandleHasNoOwner) {
    TestForm form(nullptr);
    EXPECT_EQ(::GetWindow(form.Handle(), GW_OWNER), nullptr);
    EXPECT_EQ(::GetWindowLongW(form.Handle(), GWL_STYLE) & WS_CHILD, 0);
}

TEST(ExForm, FreeNotificationsRunOnceWhenTheFormGoes) {
    OwnerWindow owner;
    auto* form = new TestForm(owner.hwnd);
    HWND hwnd = form->Handle();
    std::vector<TExForm*> heard;
    int removedCalls = 0;
    form->AddFreeNotification([&](TExForm* f) { heard.push_back(f); });
    auto removed = form->AddFreeNotification([&](TExForm*) { ++removedCalls; });
    form->RemoveFreeNotification(removed);
    int before = TestForm::destroyedWindows;

    TExForm* identity = form;
    delete form;  // destroys the window without close handling
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(TestForm::destroyedWindows, before);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0], identity);
    EXPECT_EQ(removedCalls, 0);
}

TEST(ExForm, ClosingAFormThatFreesItselfNotifiesOnce) {
    OwnerWindow owner;
    auto* form = new TestForm(owner.hwnd, /*freeOnClose=*/true);
    HWND hwnd = form->Handle();
    int heard = 0;
    form->AddFreeNotification([&](TExForm*) { ++heard; });
    int before = TestForm::destroyedWindows;
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(TestForm::destroyedWindows, before + 1);
    EXPECT_EQ(heard, 1);
    EXPECT_TRUE(::IsWindow(owner.hwnd));
}

TEST(ExForm, ExceptionsStopAtTheWindowProcedure) {
    TestForm form(nullptr);
    form.throwOnUser = true;
    EXPECT_EQ(::SendMessageW(form.Handle(), WM_USER, 0, 0), 0);
    ASSERT_EQ(form.errors.size(), 1u);
    EXPECT_EQ(form.errors[0], "boom");
    EXPECT_TRUE(::IsWindow(form.Handle()));
}

// A handler's nested loop (a script's message box) in which the host destroys its main window or
// frees the form: the form outlives the handler and goes when it returns.
TEST(ExForm, AFormGoesOnlyAfterTheHandlerItWasFreedUnder) {
    for (bool byOwner : {true, false}) {
        SCOPED_TRACE(byOwner ? "owner destroyed" : "freed");
        auto owner = std::make_unique<OwnerWindow>();
        auto* form = new TestForm(owner->hwnd, /*freeOnClose=*/true);
        HWND hwnd = form->Handle();
        int heard = 0;
        form->AddFreeNotification([&](TExForm*) { ++heard; });
        const int before = TestForm::destroyedWindows;
        bool aliveInHandler = false;
        form->onApp = [&] {
            if (byOwner)
                owner.reset();
            else
                form->Free();
            aliveInHandler = !::IsWindow(hwnd) && heard == 0 && form->InMessage();
        };
        EXPECT_EQ(::SendMessageW(hwnd, WM_APP, 0, 0), 1);
        EXPECT_TRUE(aliveInHandler);
        EXPECT_EQ(heard, 1);
        // Freed from outside: no close handling.
        EXPECT_EQ(TestForm::destroyedWindows, before + (byOwner ? 1 : 0));
    }
}

TEST(ExForm, FreeOutsideAnyMessageFreesAtOnce) {
    OwnerWindow owner;
    auto* form = new TestForm(owner.hwnd);
    HWND hwnd = form->Handle();
    int heard = 0;
    form->AddFreeNotification([&](TExForm*) { ++heard; });
    form->Free();
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(heard, 1);
}
