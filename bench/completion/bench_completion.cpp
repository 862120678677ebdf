// A completion request (load the description, resolve the chain, fill the pop-up's lists) on a
// generated 2 MB host description, beside pugixml loading the same file and walking it once.
// Cold: the description parsed for the request (the file changed since the last); warm: the
// document kept from the last request, the file read and found unchanged.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "completion/editor_binding.h"
#include "description_gen.h"
#include "editor/completion_popup_model.h"
#include "editor/editor_model.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 100;

struct Stats {
    double median, p95;
};

Stats Summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) {
        return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * (ms.size() - 1) + 0.5))];
    };
    return {at(0.5), at(0.95)};
}

template <class F>
double TimeMs(F&& f) {
    auto start = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Touches every element and attribute, as a reader of the whole tree would.
std::size_t Walk(const pugi::xml_node& node) {
    std::size_t n = 0;
    for (auto child : node.children()) {
        n += std::char_traits<char>::length(child.name());
        for (auto a : child.attributes()) n += std::char_traits<char>::length(a.value());
        n += Walk(child);
    }
    return n;
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "zeph_bench_completion";
    fs::create_directories(dir);
    const fs::path file = dir / "TellurTlb.xml";
    const std::string xml = zeph::bench::GenerateDescription();
    std::ofstream(file, std::ios::binary)
        .write(xml.data(), static_cast<std::streamsize>(xml.size()));

    zeph::editor::EditorModel editor(zeph::editor::EditorOptions::ScriptEditor());
    const std::string line = "Set layer = Application.ActiveMap.Layer.";
    editor.SetText(line);
    editor.SetCaretXY(static_cast<int>(line.size()) + 1, 1);
    zeph::editor::CompletionModel popup(editor);
    zeph::completion::FileDescriptionSource source(file);
    zeph::completion::FixedPitchMeasure measure;
    zeph::completion::EditorCompletion binding(editor, popup, source, measure);

    auto request = [&] {
        bool can_open = true;
        binding.Completion().ScriptTextProposalExecute(can_open);
    };
    std::size_t walked = 0;
    auto pugi_load_walk = [&] {
        pugi::xml_document doc;
        if (!doc.load_file(file.c_str())) std::abort();
        walked += Walk(doc);
    };

    auto load_only = [&] { zeph::xml::LoadXmlDocument(file); };

    request();
    pugi_load_walk();
    std::vector<double> ours, warm, theirs, loads;
    for (int i = 0; i < kRuns; ++i) {
        source.Forget();
        ours.push_back(TimeMs(request));
        warm.push_back(TimeMs(request));
        theirs.push_back(TimeMs(pugi_load_walk));
        loads.push_back(TimeMs(load_only));
    }
    const Stats a = Summarise(ours), b = Summarise(theirs), c = Summarise(loads),
                w = Summarise(warm);
    std::printf(
        "completion request on a %.2f MB description (%d interfaces, %d members), "
        "line \"%s\", %zu items listed\n",
        xml.size() / 1e6, zeph::bench::kInterfaces,
        zeph::bench::kInterfaces * zeph::bench::kMembersPerInterface +
            zeph::bench::kEnums * zeph::bench::kConstantsPerEnum,
        line.c_str(), popup.ItemList().size());
    std::printf("  zeph request, cold (parse, resolve, fill)  median %7.2f ms   p95 %7.2f ms\n",
                a.median, a.p95);
    std::printf("  zeph request, warm (read, resolve, fill)   median %7.2f ms   p95 %7.2f ms\n",
                w.median, w.p95);
    std::printf("    loading the document alone               median %7.2f ms   p95 %7.2f ms\n",
                c.median, c.p95);
    std::printf("  pugixml load_file + walk                   median %7.2f ms   p95 %7.2f ms\n",
                b.median, b.p95);
    std::printf(
        "  ratio p95 zeph cold / pugixml: %.2f (target <= 1.00); median ratio %.2f; warm p95 "
        "ratio %.2f\n",
        a.p95 / b.p95, a.median / b.median, w.p95 / b.p95);
    if (std::getenv("ZEPH_BENCH_KEEP"))
        std::printf("kept %s\n", file.c_str());
    else
        fs::remove_all(dir);
    return walked == 0;
}
