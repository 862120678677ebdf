// Stopping a running script with the real engine and real key strokes: loops that call the host
// end soon after the key, the host's objects reach the host unwrapped, and the next run works.
#include "workbench/run_stop.h"
#include "workbench/run_watch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/com_object.h"
#include "desktop.h"
#include "wait.h"
#include "workbench/echo_object.h"
#include "workbench/script_control.h"
#include "workbench/stop_checks.h"

namespace zeph::win {
namespace {

using Clock = std::chrono::steady_clock;

// A host object: Tick() counts calls, Self returns the object, IsSelf(x) tells whether x is it,
// Keep(x) holds on to x.
class Counter : public IDispatch {
  public:
    std::atomic<long> ticks{0};
    bool last_is_self = false;
    ComPtr<IDispatch> kept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        const wchar_t* known[] = {L"Tick", L"Self", L"IsSelf", L"Keep"};
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        for (DISPID id = 0; id < 4; ++id)
            if (count >= 1 && _wcsicmp(names[0], known[id]) == 0) {
                ids[0] = id + 1;
                return S_OK;
            }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (result) ::VariantInit(result);
        switch (id) {
            case 1:
                ++ticks;
                return S_OK;
            case 2:
                if (!result) return E_POINTER;
                result->vt = VT_DISPATCH;
                result->pdispVal = this;
                return S_OK;
            case 3: {
                if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
                const VARIANT& a = params->rgvarg[0];
                last_is_self = a.vt == VT_DISPATCH && a.pdispVal == this;
                return S_OK;
            }
            case 4: {
                if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
                const VARIANT& a = params->rgvarg[0];
                if (a.vt != VT_DISPATCH || !a.pdispVal) return DISP_E_TYPEMISMATCH;
                a.pdispVal->AddRef();
                kept = ComPtr<IDispatch>::Attach(a.pdispVal);
                return S_OK;
            }
        }
        return DISP_E_MEMBERNOTFOUND;
    }
};

class RunStopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZephStopTestWindow";
        ::RegisterClassW(&wc);
        window =
            ::CreateWindowExW(0, wc.lpszClassName, L"Workbench", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              40, 40, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(window);
        ::SetForegroundWindow(window);
        ASSERT_TRUE(test::PumpUntil([&] { return ::GetForegroundWindow() == window; },
                                    test::kWaitMs, "the window to become active"));
    }
    void TearDown() override {
        ::DestroyWindow(window);
        ::CoUninitialize();
    }

    struct Outcome {
        bool finished = false;        // the code ran to its end
        bool stopped = false;         // the stop flag was raised
        long long after_key_ms = -1;  // from the key stroke to the engine's return
        ScriptControl::ErrorInfo error;
    };

    struct Striker {
        Counter* app;
        WORD key;
        bool ctrl;
        std::atomic<long long> at{0};
        std::atomic<bool> quit{false};
    };
    static DWORD WINAPI Strike(void* p) {
        auto* s = static_cast<Striker*>(p);
        // A loop that calls the host strikes after 50 calls; one that never does once the running
        // indicator shows.
        const bool running = static_cast<bool>(test::WaitUntil(
            [&] {
                return s->app->ticks >= 50 || s->quit ||
                       ::FindWindowW(StopKeyWatch::IndicatorClass(), nullptr);
            },
            60000, "the run to be under way"));
        if (s->quit || !running) return 0;
        s->at = Clock::now().time_since_epoch().count();
        INPUT in[4] = {test::KeyInput(VK_CONTROL, false), test::KeyInput(s->key, false),
                       test::KeyInput(s->key, true), test::KeyInput(VK_CONTROL, true)};
        if (s->ctrl)
            ::SendInput(4, in, sizeof(INPUT));
        else
            ::SendInput(2, in + 1, sizeof(INPUT));
        return 0;
    }

    // Runs `code` as the workbench does; `key` (with Ctrl when asked) is struck from another
    // thread once the script has called the host 50 times.
    Outcome Run(const char* language, const std::string& code, WORD key = 0, bool ctrl = false) {
        auto stop = std::make_shared<RunStop>();
        ScriptControl engine;
        engine.SetLanguage(language);
        std::string text = code;
        if (checked) {
            // As the workbench runs it: the hidden item, the counter, the text with its checks.
            const auto lang = std::string_view(language) == "VBScript"
                                  ? workbench::Language::VBScript
                                  : workbench::Language::JavaScript;
            ComPtr<IDispatch> item = ComPtr<IDispatch>::Attach(CreateStopCheckItem(stop));
            engine.AddObject(std::string(workbench::kStopCheckItem), item.get(), false);
            const std::string preamble = workbench::StopCheckPreamble(lang);
            if (!preamble.empty()) EXPECT_TRUE(engine.AddCode(preamble));
            text = workbench::AddStopChecks(lang, code).text;
        }
        {
            ComPtr<IDispatch> guarded = ComPtr<IDispatch>::Attach(stop->Guard(&app));
            engine.AddObject("Application", guarded.get(), true);
            // One "WScript" per engine: JScript refuses a second object of the same name.
            std::function<void(std::string_view)> lines = [](std::string_view) {};
            if (with_echo) lines = [this](std::string_view) { ++app.ticks; };
            ComPtr<IDispatch> echo =
                ComPtr<IDispatch>::Attach(CreateEchoObject(stop, std::move(lines)));
            engine.AddObject("WScript", echo.get(), false);
        }
        Striker striker{&app, key, ctrl};
        HANDLE thread = nullptr;
        if (key) {
            thread = ::CreateThread(nullptr, 0, &Strike, &striker, 0, nullptr);
        }
        Outcome out;
        {
            StopKeyWatch watch(stop, window);
            out.finished = engine.AddCode(text);
        }
        const auto end = Clock::now();
        striker.quit = true;
        if (thread) {
            ::WaitForSingleObject(thread, INFINITE);
            ::CloseHandle(thread);
        }
        DropQueuedKeys();
        out.stopped = stop->Stopped();
        if (striker.at != 0)
            out.after_key_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   end - Clock::time_point(Clock::duration(striker.at.load())))
                                   .count();
        if (!out.finished) out.error = engine.LastError();
        if (out.after_key_ms >= 0)
            std::printf("%s: stopped %lld ms after the key\n", language, out.after_key_ms);
        return out;
    }

    Counter app;
    HWND window = nullptr;
    bool with_echo = false;  // publish "WScript", whose Echo counts as a tick
    bool checked = false;    // run the text with its stop checks
};

// With the checks in the text every loop stops, also one that never leaves the engine, and
// so does a deep recursion.
TEST_F(RunStopTest, EveryLoopStopsWithTheChecksInItsText) {
    checked = true;
    const struct {
        const char* language;
        const char* code;
        long line;  // where it stops
    } loops[] = {
        {"VBScript", "Do : Loop\r\n", 1},
        {"VBScript", "x = 0\r\nWhile True : Wend\r\n", 2},
        {"VBScript", "For i = 1 To 1E9 : Next\r\n", 1},
        {"VBScript", "Sub Spin\r\n  Do\r\n  Loop\r\nEnd Sub\r\nSpin\r\n", 2},
        {"VBScript",
         "Function Fib(n)\r\n  If n < 2 Then Fib = n Else Fib = Fib(n - 1) + Fib(n - 2)\r\n"
         "End Function\r\nx = Fib(60)\r\n",
         1},
        {"JavaScript", "for (;;) {}\r\n", 1},
        {"JavaScript", "var x = 0;\r\nwhile (1);\r\n", 2},
        {"JavaScript", "do {} while (true)\r\n", 1},
        {"JavaScript", "function spin() {\r\n  for (;;) {}\r\n}\r\nspin();\r\n", 2},
        {"JavaScript",
         "function fib(n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }\r\nfib(60);\r\n", 1},
    };
    for (const auto& loop : loops) {
        SCOPED_TRACE(loop.code);
        Outcome out = Run(loop.language, loop.code, VK_CANCEL, true);
        EXPECT_FALSE(out.finished);
        EXPECT_TRUE(out.stopped);
        EXPECT_GE(out.after_key_ms, 0);
        EXPECT_LT(out.after_key_ms, 1000);
        EXPECT_EQ(out.error.line, loop.line) << out.error.description;
    }
    // A checked script that ends by itself runs as it is.
    app.ticks = 0;
    EXPECT_TRUE(Run("VBScript", "For i = 1 To 3 : Application.Tick : Next\r\n").finished);
    EXPECT_TRUE(
        Run("JavaScript", "for (var i = 0; i < 3; i++) { Application.Tick(); }\r\n").finished);
    EXPECT_EQ(app.ticks, 6);
}

TEST_F(RunStopTest, CtrlBreakStopsLoopsThatCallTheHostInBothLanguages) {
    Outcome vb = Run("VBScript", "Dim i\r\nDo\r\n  i = i + 1\r\n  Application.Tick\r\nLoop\r\n",
                     VK_CANCEL, true);
    EXPECT_FALSE(vb.finished);
    EXPECT_TRUE(vb.stopped);
    EXPECT_GE(vb.after_key_ms, 0);
    EXPECT_LT(vb.after_key_ms, 1000);
    EXPECT_EQ(vb.error.line, 4);

    app.ticks = 0;
    Outcome js = Run("JavaScript", "for (;;) {\r\n  Application.Tick();\r\n}\r\n", VK_CANCEL, true);
    EXPECT_FALSE(js.finished);
    EXPECT_TRUE(js.stopped);
    EXPECT_LT(js.after_key_ms, 1000);
    EXPECT_EQ(js.error.line, 2);

    // The next run reaches the host as before.
    app.ticks = 0;
    EXPECT_TRUE(Run("VBScript", "Application.Tick\r\nApplication.Tick\r\n").finished);
    EXPECT_EQ(app.ticks, 2);
}

TEST_F(RunStopTest, EscStopsOnlyWhileTheWorkbenchIsInTheForeground) {
    ASSERT_EQ(::GetForegroundWindow(), window);
    Outcome out = Run("VBScript", "Do\r\n  Application.Tick\r\nLoop\r\n", VK_ESCAPE);
    EXPECT_TRUE(out.stopped);
    EXPECT_LT(out.after_key_ms, 1000);
    EXPECT_EQ(out.error.line, 2);
}

// The watch must not act on a stroke from before the run (the key's "pressed since" state).
TEST_F(RunStopTest, AStopKeyStruckBeforeTheRunDoesNotStopIt) {
    INPUT in[6] = {test::KeyInput(VK_CONTROL, false), test::KeyInput(VK_CANCEL, false),
                   test::KeyInput(VK_CANCEL, true),   test::KeyInput(VK_CONTROL, true),
                   test::KeyInput(VK_ESCAPE, false),  test::KeyInput(VK_ESCAPE, true)};
    ::SendInput(6, in, sizeof(INPUT));
    ASSERT_TRUE(test::InputHandled());
    Outcome out = Run("VBScript", "Dim i\r\nFor i = 1 To 3000\r\n  Application.Tick\r\nNext\r\n");
    EXPECT_TRUE(out.finished) << out.error.description;
    EXPECT_FALSE(out.stopped);
    EXPECT_EQ(app.ticks, 3000);
}

TEST_F(RunStopTest, LoopsThatOnlyEchoAreStoppedToo) {
    with_echo = true;
    Outcome vb = Run("VBScript", "Dim i\r\nDo\r\n  i = i + 1\r\n  WScript.Echo i\r\nLoop\r\n",
                     VK_CANCEL, true);
    EXPECT_TRUE(vb.stopped);
    EXPECT_FALSE(vb.finished);
    EXPECT_LT(vb.after_key_ms, 1000);
    EXPECT_EQ(vb.error.line, 4);

    app.ticks = 0;
    Outcome js =
        Run("JavaScript", "for (var i = 0;; i++)\r\n  WScript.Echo(i);\r\n", VK_CANCEL, true);
    EXPECT_TRUE(js.stopped);
    EXPECT_FALSE(js.finished);
    EXPECT_LT(js.after_key_ms, 1000);
    EXPECT_EQ(js.error.line, 2);
}

// A script that swallows the failure cannot be ended from outside, but once stopped it no
// longer reaches the host: a bounded loop runs out without another call going through.
TEST_F(RunStopTest, AfterTheStopASwallowedFailureNoLongerReachesTheHost) {
    constexpr long kRounds = 100000;
    Outcome vb = Run("VBScript",
                     "On Error Resume Next\r\nDim i\r\nFor i = 1 To 100000\r\n"
                     "  Application.Tick\r\nNext\r\n",
                     VK_CANCEL, true);
    EXPECT_TRUE(vb.stopped);
    EXPECT_TRUE(vb.finished);
    EXPECT_LT(app.ticks, kRounds);

    app.ticks = 0;
    Outcome js = Run("JavaScript",
                     "for (var i = 0; i < 100000; i++) {\r\n"
                     "  try { Application.Tick(); } catch (e) {}\r\n}\r\n",
                     VK_CANCEL, true);
    EXPECT_TRUE(js.stopped);
    EXPECT_TRUE(js.finished);
    EXPECT_LT(app.ticks, kRounds);
}

TEST_F(RunStopTest, ObjectsComeOutGuardedAndGoBackToTheHostAsThemselves) {
    // A guarded object passed back in reaches the host as its own object, and identity holds.
    Outcome out = Run("VBScript",
                      "Dim s\r\nSet s = Application.Self\r\nApplication.IsSelf s\r\n"
                      "If Not (s Is Application.Self) Then Err.Raise 5\r\ns.Tick\r\n");
    EXPECT_TRUE(out.finished) << out.error.description << " line " << out.error.line;
    EXPECT_TRUE(app.last_is_self);
    EXPECT_EQ(app.ticks, 1);
}

// An object of ours that a script hands to the host outlives the run and the engine: the module
// may not unload until the host lets it go, as its release runs the module's code.
TEST_F(RunStopTest, AnObjectTheHostKeepsCountsAgainstUnloading) {
    const long before = script_objects.load();
    Outcome out = Run("VBScript", "Application.Keep WScript\r\n");
    EXPECT_TRUE(out.finished) << out.error.description << " line " << out.error.line;
    ASSERT_TRUE(app.kept);
    EXPECT_EQ(script_objects.load(), before + 1);
    app.kept.reset();
    EXPECT_EQ(script_objects.load(), before);
}

}  // namespace
}  // namespace zeph::win
