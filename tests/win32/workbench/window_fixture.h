// The workbench window over an owner window, with a recording store and the fake host, for the
// window tests that drive it with real input.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/wide.h"
#include "desktop.h"
#include "wait.h"
#include "win32/workbench/fake_tellur.h"
#include "workbench/main_form.h"

namespace zeph::win::wbtest {

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
using test::PumpUntil;

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
        // Keys are sent as real input, so they reach the window only once it is active; on a
        // busy machine that takes a while without a window manager.
        ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == hwnd; }, test::kWaitMs,
                              "the workbench window to become active"));
    }
    void TearDown() override {
        if (freed == 0) delete form;
        ::DestroyWindow(owner);
        EXPECT_TRUE(test::PumpPosted());
    }
    std::string Caption() const { return Narrow(Text(hwnd)); }
    // Gives the host a data folder of its own (under the temporary folder) holding a
    // description whose application interface has `members`.
    void UseDescription(const wchar_t* folder, const char* members) {
        wchar_t temp[MAX_PATH] = L"";
        ::GetTempPathW(MAX_PATH, temp);
        app.folder = std::wstring(temp) + folder + L"\\";
        ::CreateDirectoryW(app.folder.c_str(), nullptr);
        if (FILE* f = _wfopen((app.folder + L"TellurTlb.xml").c_str(), L"wb")) {
            std::fprintf(f,
                         "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Tlb>"
                         "<Interface name=\"ITellurApplication\">%s</Interface></Tlb>",
                         members);
            std::fclose(f);
        }
    }
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

// The height of a window on the screen.
inline int HeightOf(HWND w) {
    RECT r{};
    ::GetWindowRect(w, &r);
    return r.bottom - r.top;
}

// The lines of a list box.
inline std::vector<std::string> ListLines(HWND list) {
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

// A double-click on a list box's item, as real mouse input.
inline void DoubleClick(HWND list, int item) {
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

}  // namespace zeph::win::wbtest
