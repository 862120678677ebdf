// bench_editor: highlighting speed against highlight.js, and the cost of a keystroke at the
// top of a long document with an open block comment above it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "editor/editor_model.h"
#include "editor/highlighter.h"

using namespace zeph::editor;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFileSize = 5u << 20;

struct Rng {
    std::uint64_t s = 88172645463325252ull;
    unsigned Next(unsigned n) {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<unsigned>(s % n);
    }
};

std::string MakeVBScript() {
    static const char* kLines[] = {
        "Option Explicit",
        "Dim layer, count, name_%d",
        "Set layer = Application.ActiveMap.Layers.Item(%d)",
        "' walk the objects of the layer and count them",
        "For i = 1 To layer.Objects.Count Step 2",
        "  If layer.Objects(i).Kind <> %d And Not IsEmpty(name) Then",
        "    count = count + 1.5E3 * (i Mod 7) ' weighted",
        "    name = \"Object \"\"\" & i & \"\"\" of \" & layer.Name",
        "  ElseIf d >= #1/2/2003# Then",
        "    Call MsgBox(\"Done: \" & count, vbOKOnly)",
        "  End If",
        "Next",
        "Function Area%d(ByVal w, ByRef h)",
        "  Area = w * h / 2 ^ 1",
        "End Function",
        "",
    };
    Rng r;
    std::string out;
    char buf[256];
    while (out.size() < kFileSize) {
        std::snprintf(buf, sizeof buf, kLines[r.Next(std::size(kLines))], r.Next(1000));
        out += buf;
        out += "\r\n";
    }
    return out;
}

std::string MakeJScript() {
    static const char* kLines[] = {
        "var layer = Application.ActiveMap.Layers.Item(%d);",
        "// walk the objects of the layer and count them",
        "for (var i = 0; i < layer.Objects.Count; i++) {",
        "  if (layer.Objects(i).Kind != 0x%x && name.length > 0) {",
        "    count += 1.5 * (i %% 7); /* weighted */",
        "    name = \"Object \\\"\" + i + '\\' of ' + layer.Name;",
        "  } else if (Math.abs(d) >= 1..%d) {",
        "    document.write(\"Done: \" + count);",
        "  }",
        "}",
        "/* a comment over",
        "   several lines, %d of them",
        "*/ function area(w, h) { return w * h / 2; }",
        "onClick = function () { return this.value ? true : null; };",
        "",
    };
    Rng r;
    std::string out;
    char buf[256];
    while (out.size() < kFileSize) {
        std::snprintf(buf, sizeof buf, kLines[r.Next(std::size(kLines))], r.Next(1000));
        out += buf;
        out += "\r\n";
    }
    return out;
}

// CPU time of this thread: the machine is shared, and wall time would count other work.
double CpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

template <class F>
double BestSeconds(int repeats, F&& f) {
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        double t0 = CpuSeconds();
        f();
        best = std::min(best, CpuSeconds() - t0);
    }
    return best;
}

struct Speeds {
    double whole_mbs, lines_mbs;
};

// Whole: one pass over the text's lines with the state carried along, tokens into one
// reused vector. Line by line: as the window paints, through the editor model's stored
// per-line states (the state pass that loading the text makes is included).
Speeds OurSpeed(const Highlighter& h, const std::string& text) {
    const double mb = text.size() / 1e6;
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') {
            std::size_t end = i > start && text[i - 1] == '\r' ? i - 1 : i;
            lines.push_back(std::string_view(text).substr(start, end - start));
            start = i + 1;
        }
    std::vector<TokenRun> runs;
    runs.reserve(4096);
    std::size_t sink = 0;
    double whole = BestSeconds(5, [&] {
        LineState s = 0;
        for (auto line : lines) {
            runs.clear();
            s = h.ScanLine(line, s, runs);
            sink += runs.size();
        }
    });
    EditorModel model;
    model.SetText(text);
    double by_line = BestSeconds(5, [&] {
        model.SetHighlighter(&h);
        for (int i = 0; i < model.LineCount(); ++i) {
            model.LineTokens(i, runs);
            sink += runs.size();
        }
    });
    if (sink == 0) std::puts("");
    return {mb / whole, mb / by_line};
}

bool EnsureHighlightJs() {
    fs::path dir = ZEPH_BENCH_NODE_DIR;
    if (fs::exists(dir / "node_modules" / "highlight.js" / "package.json")) return true;
    fs::create_directories(dir);
    std::string cmd = "npm install --no-save --no-audit --no-fund --silent --prefix \"" +
                      dir.string() + "\" highlight.js >/dev/null 2>&1";
    std::printf("installing highlight.js into %s ...\n", dir.string().c_str());
    std::fflush(stdout);
    return std::system(cmd.c_str()) == 0 &&
           fs::exists(dir / "node_modules" / "highlight.js" / "package.json");
}

bool HighlightJsSpeed(const char* language, const fs::path& file, std::size_t bytes, Speeds& out) {
    std::string cmd = std::string("node \"") + ZEPH_BENCH_HLJS_SCRIPT + "\" \"" +
                      ZEPH_BENCH_NODE_DIR + "\" " + language + " \"" + file.string() + "\" 3";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    double whole = 0, lines = 0;
    int ok = 0;
    int n = std::fscanf(p, "%lf %lf %d", &whole, &lines, &ok);
    pclose(p);
    if (n != 3 || whole <= 0 || lines <= 0) return false;
    out = {bytes / 1e6 / whole, bytes / 1e6 / lines};
    return true;
}

void HighlightBench(const char* title, const Highlighter& h, const std::string& text,
                    const char* hljs_language, bool have_hljs) {
    fs::path file =
        fs::path(ZEPH_BENCH_NODE_DIR) / (std::string("bench_") + hljs_language + ".txt");
    std::ofstream(file, std::ios::binary) << text;
    Speeds ours = OurSpeed(h, text);
    std::printf("%s, %.1f MB:\n", title, text.size() / 1e6);
    std::printf("  ours          whole %8.1f MB/s   line by line %8.1f MB/s\n", ours.whole_mbs,
                ours.lines_mbs);
    Speeds theirs;
    if (have_hljs && HighlightJsSpeed(hljs_language, file, text.size(), theirs)) {
        std::printf("  highlight.js  whole %8.1f MB/s   line by line %8.1f MB/s\n",
                    theirs.whole_mbs, theirs.lines_mbs);
        std::printf("  ratio         whole %8.1fx       line by line %8.1fx\n",
                    ours.whole_mbs / theirs.whole_mbs, ours.lines_mbs / theirs.lines_mbs);
    } else {
        std::printf("  highlight.js  not available (node or npm failed)\n");
    }
    fs::remove(file);
}

// Model-update time of one keystroke typed at the start of line 1 below an open "/*": the
// best of several rounds of 2000 keystrokes each.
struct KeystrokeDoc {
    TJScriptHighlighter js;
    EditorModel model{EditorOptions::ScriptEditor()};
    explicit KeystrokeDoc(int lines) {
        std::string text = "/* the comment opened here runs to the end\r\n";
        for (int i = 1; i < lines; ++i) text += "var x = compute(i, 0x1F); // body line\r\n";
        model.SetText(text);
        model.SetHighlighter(&js);
    }
    double Round() {
        constexpr int kStrokes = 2000;
        model.SetCaret({1, 0});
        model.TakeChanges();
        double t0 = CpuSeconds();
        for (int k = 0; k < kStrokes; ++k) {
            model.TypeChar(static_cast<char>('a' + k % 26));
            model.TakeChanges();
        }
        double ms = (CpuSeconds() - t0) * 1000 / kStrokes;
        model.Undo();  // back to the original line for the next round
        return ms;
    }
};

}  // namespace

int main(int argc, char** argv) {
    // --no-peer skips highlight.js (for quick runs while tuning).
    bool have_hljs = !(argc > 1 && std::string(argv[1]) == "--no-peer") && EnsureHighlightJs();
    TVBScriptHighlighter vb;
    TJScriptHighlighter js;
    HighlightBench("VBScript", vb, MakeVBScript(), "vbscript", have_hljs);
    HighlightBench("JScript", js, MakeJScript(), "javascript", have_hljs);

    KeystrokeDoc small_doc(1000), large_doc(100000);
    double small = 1e300, large = 1e300;
    for (int round = 0; round < 15; ++round) {  // interleaved, so both see the same load
        small = std::min(small, small_doc.Round());
        large = std::min(large, large_doc.Round());
    }
    std::printf("Keystroke below an open block comment (model update):\n");
    std::printf("  1,000 lines   %.5f ms\n  100,000 lines %.5f ms\n  ratio %.2f\n", small, large,
                large / small);
    return 0;
}
