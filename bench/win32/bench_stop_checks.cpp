// The cost of the stop checks: counting loops run by the platform's real engines, once as the
// user wrote them and once with the checks the workbench places into them, in the same process.
// Usage: bench_stop_checks [TURNS] (default 10,000,000).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

#include "base/unique.h"
#include "workbench/run_stop.h"
#include "workbench/script_control.h"
#include "workbench/stop_checks.h"

using namespace zeph;

namespace {

double Seconds(const std::string& language, const std::string& code, bool checked) {
    auto stop = std::make_shared<win::RunStop>();
    win::ScriptControl engine;
    engine.SetLanguage(language);
    const auto lang =
        language == "VBScript" ? workbench::Language::VBScript : workbench::Language::JavaScript;
    std::string text = code;
    if (checked) {
        win::ComPtr<IDispatch> item =
            win::ComPtr<IDispatch>::Attach(win::CreateStopCheckItem(stop));
        engine.AddObject(std::string(workbench::kStopCheckItem), item.get(), false);
        const std::string preamble = workbench::StopCheckPreamble(lang);
        if (!preamble.empty()) engine.AddCode(preamble);
        text = workbench::AddStopChecks(lang, code).text;
    }
    LARGE_INTEGER f, a, b;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&a);
    const bool ran = engine.AddCode(text);
    ::QueryPerformanceCounter(&b);
    if (!ran)
        std::printf("  (the engine reported an error: %s)\n",
                    engine.LastError().description.c_str());
    return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const long turns = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 10000000L;
    if (FAILED(::CoInitialize(nullptr))) return 1;
    const std::string n = std::to_string(turns);
    const struct {
        const char* language;
        const char* name;
        std::string code;
    } loops[] = {
        {"VBScript", "For ... Next", "For i = 1 To " + n + " : Next"},
        {"VBScript", "Do While ... Loop", "i = 0 : Do While i < " + n + " : i = i + 1 : Loop"},
        {"JavaScript", "for (;;) {}", "for (var i = 0; i < " + n + "; i++) {}"},
        {"JavaScript", "while (...) x;", "var i = 0; while (i < " + n + ") i++;"},
    };
    std::printf(
        "stop checks: counting loops of %ld turns, plain and with checks (aim: under 1.5x)\n",
        turns);
    int over = 0;
    for (const auto& loop : loops) {
        try {
            const double plain = Seconds(loop.language, loop.code, false);
            const double checked = Seconds(loop.language, loop.code, true);
            const double ratio = checked / plain;
            if (ratio >= 1.5) ++over;
            std::printf("  %-10s %-18s plain %7.3f s  checked %7.3f s  %5.2fx  %s\n", loop.language,
                        loop.name, plain, checked, ratio, ratio < 1.5 ? "met" : "over");
        } catch (const std::exception& e) {
            std::printf("  %-10s %-18s failed: %s\n", loop.language, loop.name, e.what());
        }
    }
    ::CoUninitialize();
    return 0;
}
