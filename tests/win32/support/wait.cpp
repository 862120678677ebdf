#include "wait.h"

#include <algorithm>
#include <atomic>

#include "desktop.h"

namespace zeph::win::test {

namespace {

// The markers: a thread message and a key no keyboard has (VK 0xE8 is unassigned). Each wait
// numbers its marker (in the message's wParam, in the key's scan code), so that a marker another
// wait left in a queue does not end this one.
constexpr UINT kMarkerMessage = WM_APP + 0x3E1;
constexpr WORD kMarkerKey = 0xE8;
std::atomic<unsigned> g_marker_number{0};
std::atomic<bool> g_marker_taken{false};

unsigned NextMarkerNumber() {
    unsigned n = (g_marker_number.load() % 255) + 1;  // 1 to 255, a scan code's range
    g_marker_number = n;
    return n;
}

// Watches a thread's queue for the marker; whatever loop takes it out (ours, a dialog's or a
// menu's), the marker reaches no window.
LRESULT CALLBACK WatchForMarker(int code, WPARAM removal, LPARAM lparam) {
    auto* msg = reinterpret_cast<MSG*>(lparam);
    if (code == HC_ACTION && removal == PM_REMOVE) {
        const bool key =
            (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) && msg->wParam == kMarkerKey;
        const bool posted = msg->message == kMarkerMessage && msg->hwnd == nullptr;
        if (key || posted) {
            const unsigned number = posted ? static_cast<unsigned>(msg->wParam)
                                           : static_cast<unsigned>((msg->lParam >> 16) & 0xFF);
            if ((posted || msg->message == WM_KEYUP) && number == g_marker_number)
                g_marker_taken = true;
            msg->message = WM_NULL;
        }
    }
    return ::CallNextHookEx(nullptr, code, removal, lparam);
}

class MarkerWatch {
  public:
    explicit MarkerWatch(DWORD thread)
        : number_(NextMarkerNumber()),
          hook_(::SetWindowsHookExW(WH_GETMESSAGE, &WatchForMarker, nullptr, thread)) {
        g_marker_taken = false;
    }
    ~MarkerWatch() {
        if (hook_) ::UnhookWindowsHookEx(hook_);
    }
    MarkerWatch(const MarkerWatch&) = delete;
    MarkerWatch& operator=(const MarkerWatch&) = delete;
    bool ok() const { return hook_ != nullptr; }
    unsigned number() const { return number_; }

  private:
    unsigned number_;
    HHOOK hook_;
};

// One message out of the queue, as Pump handles it; false when the queue is empty or the loop
// is to end.
bool HandleOne() {
    MSG msg;
    if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    if (RunLoopFilter(msg)) return true;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
    return true;
}

// What is in the queue now; bounded, for a window that posts to itself without end.
void HandleQueued() {
    for (int i = 0; i < 10000 && HandleOne(); ++i) {
    }
}

::testing::AssertionResult TimedOut(const char* what, DWORD timeout_ms) {
    return ::testing::AssertionFailure()
           << "still waiting for " << what << " after " << timeout_ms << " ms";
}

}  // namespace

::testing::AssertionResult PumpUntil(const std::function<bool()>& done, DWORD timeout_ms,
                                     const char* what) {
    const ULONGLONG end = ::GetTickCount64() + timeout_ms;
    for (;;) {
        if (done()) return ::testing::AssertionSuccess();
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end) return TimedOut(what, timeout_ms);
        // Wakes for the next message, or soon for what other threads and processes do.
        const DWORD nap = static_cast<DWORD>(std::min<ULONGLONG>(10, end - now));
        ::MsgWaitForMultipleObjectsEx(0, nullptr, nap, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        // A message at a time, so that `done` is seen as soon as it holds.
        for (int i = 0; i < 100 && !done() && HandleOne(); ++i) {
        }
    }
}

::testing::AssertionResult WaitUntil(const std::function<bool()>& done, DWORD timeout_ms,
                                     const char* what) {
    const ULONGLONG end = ::GetTickCount64() + timeout_ms;
    while (!done()) {
        if (::GetTickCount64() >= end) return TimedOut(what, timeout_ms);
        ::Sleep(5);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult PumpPosted() {
    MarkerWatch watch(::GetCurrentThreadId());
    if (!watch.ok()) return ::testing::AssertionFailure() << "cannot watch the message queue";
    ::PostThreadMessageW(::GetCurrentThreadId(), kMarkerMessage, watch.number(), 0);
    auto result =
        PumpUntil([] { return g_marker_taken.load(); }, kWaitMs, "the posted marker message");
    HandleQueued();
    return result;
}

::testing::AssertionResult InputHandled(DWORD thread) {
    MarkerWatch watch(thread);
    if (!watch.ok()) return ::testing::AssertionFailure() << "cannot watch the thread's queue";
    INPUT marker[2] = {KeyInput(kMarkerKey, false), KeyInput(kMarkerKey, true)};
    for (INPUT& i : marker) i.ki.wScan = static_cast<WORD>(watch.number());
    ::SendInput(2, marker, sizeof(INPUT));
    const auto taken = [] { return g_marker_taken.load(); };
    if (thread != ::GetCurrentThreadId())
        return WaitUntil(taken, kWaitMs, "the other thread to take the input");
    auto result = PumpUntil(taken, kWaitMs, "the input to be handled");
    HandleQueued();
    return result;
}

namespace {

bool g_timer_fired = false;

// A timer procedure of its own: a lambda lacks the 32-bit calling convention.
void CALLBACK TimerFired(HWND, UINT, UINT_PTR, DWORD) {
    g_timer_fired = true;
}

}  // namespace

::testing::AssertionResult PumpPastTimer(UINT ms) {
    g_timer_fired = false;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, ms, &TimerFired);
    if (!timer) return ::testing::AssertionFailure() << "cannot start a timer";
    auto result = PumpUntil([] { return g_timer_fired; }, ms + kWaitMs, "a timer's time to pass");
    ::KillTimer(nullptr, timer);
    return result;
}

}  // namespace zeph::win::test
