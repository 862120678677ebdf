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
#include <random>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "completion/editor_binding.h"
#include "editor/completion_popup_model.h"
#include "editor/editor_model.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kInterfaces = 200;
constexpr int kMembersPerInterface = 45;
constexpr int kEnums = 20;
constexpr int kConstantsPerEnum = 50;
constexpr int kRuns = 100;

std::string InterfaceName(int i) {
    if (i == 0) return "ITellurApplication";
    if (i == 1) return "IMap";
    if (i == 2) return "ILayer";
    return "ITellurObject" + std::to_string(i);
}

// Interfaces in runs of five, each extending the next; members typed by other interfaces, by
// enumerations or by scalar types; parameters on some properties and most methods.
std::string Generate() {
    std::mt19937 rng(12345);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const char* scalars[] = {"Long", "String", "Double", "Boolean", "Variant", "Date"};
    const char* common[] = {"Name", "Caption", "Visible", "Count", "Item", "Parent", "Tag"};
    auto help = [&](const std::string& what) {
        return " helpstring=\"" + what +
               " of the object; see the host's reference for the details of its use and its valid "
               "values\"";
    };
    auto params = [&](std::string& out, int n) {
        for (int k = 0; k < n; ++k) {
            out += "\t\t\t<Param name=\"Argument" + std::to_string(k + 1) + "\" type=\"" +
                   scalars[pick(6)] + "\"/>\r\n";
        }
    };
    std::string out = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<TellurTlb>\r\n";
    for (int i = 0; i < kInterfaces; ++i) {
        out += "\t<Interface name=\"" + InterfaceName(i) + "\"";
        if (i % 5 != 4 && i + 1 < kInterfaces) out += " base=\"" + InterfaceName(i + 1) + "\"";
        out += ">\r\n";
        out += "\t\t<property name=\"Application\" type=\"ITellurApplication\"" +
               help("The application") + "/>\r\n";
        if (i == 0) out += "\t\t<property name=\"ActiveMap\" type=\"IMap\"/>\r\n";
        if (i == 1) {
            out += "\t\t<property name=\"Layer\" type=\"ILayer\">\r\n";
            params(out, 1);
            out += "\t\t</property>\r\n";
        }
        const int own = kMembersPerInterface - 1 - (i < 2 ? 1 : 0);
        for (int m = 0; m < own; ++m) {
            std::string name = m < 7 && pick(3) == 0
                                   ? std::string(common[m])
                                   : "Member" + std::to_string(i) + "_" + std::to_string(m);
            if (m % 2 == 0) {
                std::string type = pick(3) == 0   ? InterfaceName(pick(kInterfaces))
                                   : pick(4) == 0 ? "TEnum" + std::to_string(pick(kEnums))
                                                  : scalars[pick(6)];
                const int n = pick(4) == 0 ? 1 + pick(2) : 0;
                out += "\t\t<property name=\"" + name + "\" type=\"" + type + "\"" +
                       help("The property " + name);
                if (n == 0) {
                    out += "/>\r\n";
                } else {
                    out += ">\r\n";
                    params(out, n);
                    out += "\t\t</property>\r\n";
                }
            } else {
                const int n = pick(4);
                out += "\t\t<method name=\"" + name + "\"";
                if (pick(2)) out += std::string(" return=\"") + scalars[pick(6)] + "\"";
                out += help("The method " + name);
                if (n == 0) {
                    out += "/>\r\n";
                } else {
                    out += ">\r\n";
                    params(out, n);
                    out += "\t\t</method>\r\n";
                }
            }
        }
        out += "\t</Interface>\r\n";
    }
    for (int e = 0; e < kEnums; ++e) {
        out += "\t<Enum name=\"TEnum" + std::to_string(e) + "\">\r\n";
        for (int c = 0; c < kConstantsPerEnum; ++c) {
            out += "\t\t<const name=\"te" + std::to_string(e) + "Value" + std::to_string(c) +
                   "\" value=\"" + std::to_string(c) + "\"/>\r\n";
        }
        out += "\t</Enum>\r\n";
    }
    out += "</TellurTlb>";
    return out;
}

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
    const std::string xml = Generate();
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
        xml.size() / 1e6, kInterfaces,
        kInterfaces * kMembersPerInterface + kEnums * kConstantsPerEnum, line.c_str(),
        popup.ItemList().size());
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
