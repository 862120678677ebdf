#include "workbench/run_watch.h"

#include <string>

#include "base/unique.h"
#include "base/wide.h"
#include "base/window_binding.h"
#include "base/window_class.h"
#include "text/cp1251.h"

namespace zeph::win {

using text::operator""_cp;

namespace {

constexpr DWORD kPollMs = 15;
constexpr UINT_PTR kClockTimer = 1;
constexpr int kStopButtonId = 1;
constexpr const wchar_t* kIndicatorClass = L"TZephRunIndicator";

// One stop key as the watch thread sees it. A stroke counts when the key went down since the
// last look (the low bit) or is held now and was not before. Going by changes alone matters: a
// key whose release the system never saw (a remapped key under Wine) stays "held" for good.
class WatchedKey {
  public:
    WatchedKey(int vk, bool held) : vk_(vk), held_(held) {}
    bool WentDown() {
        const SHORT state = ::GetAsyncKeyState(vk_);
        const bool held = (state & 0x8000) != 0;
        const bool down = (state & 0x0001) != 0 || (held && !held_);
        held_ = held;
        return down;
    }

  private:
    int vk_;
    bool held_;
};

bool CtrlHeld() {
    return (::GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
}

constinit thread_local bool dropping_keys = false;

// "m:ss" of a run that has lasted `ms`.
std::wstring ClockText(ULONGLONG ms) {
    const ULONGLONG s = ms / 1000;
    wchar_t text[32];
    wsprintfW(text, L"%u:%02u", static_cast<unsigned>(s / 60), static_cast<unsigned>(s % 60));
    return text;
}

// The indicator: a caption line, the elapsed time and the stop button. Lives on the watch
// thread only.
class Indicator {
  public:
    Indicator(RunStop& stop, HWND owner, ULONGLONG started) : stop_(stop), started_(started) {
        HWND root = ::GetAncestor(owner, GA_ROOT);
        const int dpi = Dpi();
        auto scaled = [dpi](int v) { return ::MulDiv(v, dpi, 96); };
        font_.reset(::CreateFontW(-scaled(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                  RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
        const int w = scaled(250), h = scaled(64);
        RECT owner_rect{};
        ::GetWindowRect(root, &owner_rect);
        // Over the bottom of the workbench, where the editor's last lines are: the tool bar
        // and the saved-script box stay in view.
        const int x = owner_rect.left + ((owner_rect.right - owner_rect.left) - w) / 2;
        const int y = owner_rect.bottom - h - scaled(24);
        ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME, kIndicatorClass,
                          Wide(u8"Zeph: выполнение"_cp).c_str(), WS_POPUP | WS_BORDER, x, y, w, h,
                          root, nullptr, CodeModule(), this);
        if (!window_) return;
        HWND hwnd = window_.get();
        const HINSTANCE instance = CodeModule();
        caption_ =
            ::CreateWindowExW(0, L"STATIC", Wide(u8"Выполняется скрипт…"_cp).c_str(),
                              WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, scaled(10), scaled(8),
                              w - scaled(20), scaled(18), hwnd, nullptr, instance, nullptr);
        clock_ = ::CreateWindowExW(
            0, L"STATIC", ClockText(0).c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
            scaled(10), scaled(34), scaled(80), scaled(18), hwnd, nullptr, instance, nullptr);
        button_ = ::CreateWindowExW(0, L"BUTTON", Wide(u8"Остановить"_cp).c_str(),
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                    w - scaled(108), scaled(30), scaled(96), scaled(24), hwnd,
                                    reinterpret_cast<HMENU>(kStopButtonId), instance, nullptr);
        for (HWND child : {caption_, clock_, button_})
            if (child)
                ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        Tick();
        ::SetTimer(hwnd, kClockTimer, 250, nullptr);
        // Shown without taking the activation: the keys stay where the user typed them.
        ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        ::UpdateWindow(hwnd);
    }
    ~Indicator() {
        if (!window_) return;
        // A click made it the foreground window: the workbench gets it back, as if the run's
        // box had been closed.
        HWND fg = ::GetForegroundWindow();
        if (fg && (fg == window_.get() || ::IsChild(window_.get(), fg))) {
            HWND root = ::GetWindow(window_.get(), GW_OWNER);
            if (root) ::SetForegroundWindow(root);
        }
        window_.reset();
    }
    Indicator(const Indicator&) = delete;
    Indicator& operator=(const Indicator&) = delete;

    HWND hwnd() const noexcept { return window_.get(); }

    // A key the indicator's thread read: Esc and Ctrl+Break stop the run.
    bool TakeKey(const MSG& msg) {
        if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
        const bool ctrl_pause = msg.wParam == VK_PAUSE && ::GetKeyState(VK_CONTROL) < 0;
        if (msg.wParam != VK_ESCAPE && msg.wParam != VK_CANCEL && !ctrl_pause) return false;
        RequestStop();
        return true;
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
        Indicator* self = BoundObject(hwnd, msg, lp, &Indicator::window_);
        if (self) {
            switch (msg) {
                case WM_COMMAND:
                    if (LOWORD(wp) == kStopButtonId) self->RequestStop();
                    return 0;
                case WM_TIMER:
                    if (wp == kClockTimer) self->Tick();
                    return 0;
                case WM_CLOSE:
                    self->RequestStop();  // the window goes with the run, not before
                    return 0;
                case WM_CTLCOLORSTATIC:
                    ::SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
                    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
                default:
                    break;
            }
        }
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }

  private:
    static int Dpi() {
        WindowDc screen(nullptr);
        const int dpi = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
        return dpi > 0 ? dpi : 96;
    }

    void Tick() {
        if (clock_) ::SetWindowTextW(clock_, ClockText(::GetTickCount64() - started_).c_str());
    }

    void RequestStop() {
        stop_.Stop();
        if (caption_) ::SetWindowTextW(caption_, Wide(u8"Скрипт останавливается…"_cp).c_str());
        if (button_) ::EnableWindow(button_, FALSE);
    }

    RunStop& stop_;
    ULONGLONG started_;
    UniqueFont font_;
    HWND caption_ = nullptr, clock_ = nullptr, button_ = nullptr;  // children, go with the window
    UniqueWindow window_;  // last: goes first, while the members above are still there
};

}  // namespace

const wchar_t* StopKeyWatch::IndicatorClass() noexcept {
    return kIndicatorClass;
}

StopKeyWatch::StopKeyWatch(std::shared_ptr<RunStop> stop, HWND workbench, DWORD indicator_after_ms)
    : stop_(std::move(stop)), workbench_(workbench), indicator_after_ms_(indicator_after_ms) {
    quit_ = UniqueHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!quit_) return;  // no watch: the run simply cannot be stopped
    try {
        // Here rather than on the watch thread: the module's class list is the host thread's.
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &Indicator::Proc;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = kIndicatorClass;
        RegisterModuleClass(wc);
    } catch (...) {
        indicator_after_ms_ = INFINITE;  // the keys still stop the run
    }
    // Strokes from before the run are forgotten here, before the run starts: asking clears the
    // key's "pressed since" state, and what is held now counts only once released and pressed.
    int i = 0;
    for (int vk : {VK_CANCEL, VK_PAUSE, VK_ESCAPE})
        keys_[i++] = (::GetAsyncKeyState(vk) & 0x8000) != 0;
    thread_ = UniqueHandle(::CreateThread(nullptr, 0, &Watch, this, 0, nullptr));
}

StopKeyWatch::~StopKeyWatch() {
    if (!thread_) return;
    ::SetEvent(quit_.get());
    ::WaitForSingleObject(thread_.get(), INFINITE);
}

DWORD WINAPI StopKeyWatch::Watch(void* param) {
    try {
        static_cast<StopKeyWatch*>(param)->RunLoop();
    } catch (...) {
        // Out of memory on the way: the run goes on without its indicator.
    }
    return 0;
}

void StopKeyWatch::RunLoop() {
    const HWND root = ::GetAncestor(workbench_, GA_ROOT);
    const ULONGLONG started = ::GetTickCount64();
    std::unique_ptr<Indicator> indicator;
    HANDLE quit = quit_.get();
    WatchedKey cancel_key(VK_CANCEL, keys_[0]), pause_key(VK_PAUSE, keys_[1]),
        escape_key(VK_ESCAPE, keys_[2]);
    while (::MsgWaitForMultipleObjects(1, &quit, FALSE, kPollMs, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (indicator && indicator->TakeKey(msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        // Ctrl+Break arrives as VK_CANCEL, or as Pause with Ctrl held where the keyboard
        // driver does not translate it; Esc counts only over the workbench and the indicator,
        // as it is an ordinary key elsewhere in the host.
        const bool cancel = cancel_key.WentDown() | (pause_key.WentDown() && CtrlHeld());
        const HWND fg = ::GetForegroundWindow();
        const bool ours = fg && (fg == root || (indicator && fg == indicator->hwnd()));
        const bool escape = escape_key.WentDown() && ours;
        if (cancel || escape) stop_->Stop();
        if (!indicator && indicator_after_ms_ != INFINITE &&
            ::GetTickCount64() - started >= indicator_after_ms_)
            indicator = std::make_unique<Indicator>(*stop_, workbench_, started);
    }
}

void DropQueuedKeys() {
    dropping_keys = true;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    dropping_keys = false;
}

bool DroppingQueuedKeys() noexcept {
    return dropping_keys;
}

}  // namespace zeph::win
