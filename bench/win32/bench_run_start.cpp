// From F5 to the script's first statement with a 2 MB host description: the description loaded,
// its constants prelude made, the engine made and furnished as a run furnishes it (the guarded
// "Application", the site window, "WScript", the stop-check item and its preamble, the text with
// its checks) and the prelude run, then the one-line script, against the same engines running
// the same line with nothing before it, in the same process. The difference is the workbench's
// own cost of starting a run (aim: at most 20 ms). A script that may build names at run time
// (here one that mentions eval) gets every constant declared: those rows show what the engines
// take for the whole prelude.
// Usage: bench_run_start [ROUNDS] (default 15).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/unique.h"
#include "description_gen.h"
#include "workbench/echo_object.h"
#include "workbench/run_stop.h"
#include "workbench/script_control.h"
#include "workbench/script_engines.h"
#include "workbench/stop_checks.h"

using namespace zeph;
namespace fs = std::filesystem;

namespace {

double Now() {
    LARGE_INTEGER f, t;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1e3 / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Parts {
    double load = 0, prelude = 0, engine = 0, checks = 0, run_prelude = 0, total = 0;
};

// The run as the workbench starts it (ScriptEngines, the presenter's order of calls); the time
// until the script's first statement calls WScript.Echo.
Parts ProductRun(win::ScriptEngines& engines, const fs::path& description,
                 workbench::Language language, const std::string& line) {
    const bool vbscript = language == workbench::Language::VBScript;
    Parts parts;
    double first = 0;
    const double start = Now();
    engines.LoadDescription(description);
    parts.load = Now() - start;
    auto engine = engines.CreateEngine();
    const double made = Now();
    engine->SetLanguage(vbscript ? "VBScript" : "JavaScript");
    engine->AddApplication();
    engine->SetSiteWindow();
    engine->AddEcho([&](std::string_view) {
        if (first == 0) first = Now();
    });
    parts.engine = Now() - made;
    const double prelude_start = Now();
    const std::string prelude = engines.ConstantPrelude(vbscript ? "const" : "var", line);
    parts.prelude = Now() - prelude_start;
    const double checks_start = Now();
    std::optional<workbench::ScriptError> error;
    workbench::StopCheckedText checked;
    if (engine->AddStopCheckItem()) {
        const std::string preamble = workbench::StopCheckPreamble(language);
        if (!preamble.empty()) error = engine->AddCode(preamble);
        checked = workbench::AddStopChecks(language, line);
    }
    parts.checks = Now() - checks_start;
    const double run_prelude = Now();
    if (!error && !prelude.empty()) error = engine->AddCode(prelude);
    parts.run_prelude = Now() - run_prelude;
    if (!error) error = engine->AddCode(checked.text);
    if (error) std::printf("  (the engine reported an error: %s)\n", error->description.c_str());
    parts.total = first - start;
    return parts;
}

// The engines alone: a new Script Control, the language, "WScript", the line.
double BareRun(const std::string& language, const std::string& line) {
    double first = 0;
    const double start = Now();
    auto stop = std::make_shared<win::RunStop>();
    win::ScriptControl control;
    control.SetLanguage(language);
    win::ComPtr<IDispatch> echo =
        win::ComPtr<IDispatch>::Attach(win::CreateEchoObject(stop, [&](std::string_view) {
            if (first == 0) first = Now();
        }));
    control.AddObject("WScript", echo.get(), false);
    if (!control.AddCode(line)) std::printf("  (the engine reported an error)\n");
    return first - start;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : 15;
    if (FAILED(::CoInitialize(nullptr))) return 1;
    const fs::path folder = fs::temp_directory_path() / "zeph_bench_run_start";
    fs::create_directories(folder);
    const fs::path description = folder / "TellurTlb.xml";
    const std::string xml = bench::GenerateDescription();
    std::ofstream(description, std::ios::binary) << xml;

    // The host's application object stands in as an object of our own: the run only publishes it.
    auto stop = std::make_shared<win::RunStop>();
    win::ComPtr<IDispatch> application =
        win::ComPtr<IDispatch>::Attach(win::CreateEchoObject(stop, [](std::string_view) {}));
    win::ScriptEngines engines(nullptr, application.get());

    std::printf("run start: F5 to the first statement with a %.2f MB description, medians of %d\n",
                static_cast<double>(xml.size()) / 1e6, rounds);
    const struct {
        workbench::Language language;
        const char* name;
        const char* line;
    } cases[] = {
        {workbench::Language::VBScript, "VBScript", "WScript.Echo 1"},
        {workbench::Language::JavaScript, "JavaScript", "WScript.Echo(1);"},
        {workbench::Language::VBScript, "VBScript", "WScript.Echo 1 ' no Eval"},
        {workbench::Language::JavaScript, "JavaScript", "WScript.Echo(1); // no eval"},
    };
    for (const auto& c : cases) {
        try {
            std::vector<double> ours, bare, load, prelude, engine, checks, run_prelude;
            for (int i = 0; i < rounds; ++i) {
                const Parts p = ProductRun(engines, description, c.language, c.line);
                ours.push_back(p.total);
                load.push_back(p.load);
                prelude.push_back(p.prelude);
                engine.push_back(p.engine);
                checks.push_back(p.checks);
                run_prelude.push_back(p.run_prelude);
                bare.push_back(BareRun(c.name, c.line));
            }
            const double difference = Median(ours) - Median(bare);
            std::printf(
                "  %-10s %-28s workbench %7.2f ms  alone %6.2f ms  difference %6.2f ms  %s\n",
                c.name, c.line, Median(ours), Median(bare), difference,
                difference <= 20 ? "met" : "over");
            std::printf(
                "             load %.2f, prelude %.2f, engine %.2f, stop checks %.2f, "
                "prelude run %.2f ms\n",
                Median(load), Median(prelude), Median(engine), Median(checks), Median(run_prelude));
        } catch (const std::exception& e) {
            std::printf("  %-10s failed: %s\n", c.name, e.what());
        }
    }
    fs::remove_all(folder);
    ::CoUninitialize();
    return 0;
}
