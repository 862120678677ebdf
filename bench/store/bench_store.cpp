// Saving a script in a large store: the store operations that one Enter runs (store the script,
// save the window state, apply the store, as one action written once) against pugixml loading
// and saving the same file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <pugixml.hpp>

#include "editor/highlighter.h"
#include "store/script_store.h"
#include "xml/xml.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kScripts = 1000;
constexpr std::size_t kScriptBytes = 5 * 1024;
constexpr int kRounds = 15;

class BenchWindow final : public zeph::store::IStoreWindow {
  public:
    void ClearScriptList() override { list.clear(); }
    void AddScriptNames(const std::vector<std::string>& names) override {
        list.insert(list.end(), names.begin(), names.end());
        std::sort(list.begin(), list.end());
    }
    std::string ScriptBoxText() override { return box; }
    void SetScriptBoxText(const std::string& text) override { box = text; }
    std::string EditorText() override { return text; }
    void ReplaceEditorText(const std::string& t) override { text = t; }
    std::string FontName() override { return "Courier New"; }
    int FontSize() override { return 8; }
    void SetFontName(const std::string&) override {}
    void SetFontSize(int) override {}
    void SetRightMargin(int) override {}
    void SetRightMarginVisible(bool) override {}
    void SetGutterWidth(int) override {}
    void SetGutterVisible(bool) override {}
    zeph::editor::Highlighter& JavaScriptHighlighter() override { return js; }
    zeph::editor::Highlighter& VBScriptHighlighter() override { return vb; }
    zeph::store::WindowState GetWindowState() override { return zeph::store::WindowState::kNormal; }
    void SetWindowState(zeph::store::WindowState) override {}
    zeph::store::WindowBounds GetWindowBounds() override { return {100, 100, 350, 200}; }
    void SetWindowBounds(const zeph::store::WindowBounds&) override {}

    zeph::editor::TJScriptHighlighter js;
    zeph::editor::TVBScriptHighlighter vb;
    std::vector<std::string> list;
    std::string box, text;
};

// A script of about 5 KB: lines of VBScript with quotes, ampersands and comparisons to escape.
std::string ScriptText(int n) {
    std::string text;
    for (int line = 0; text.size() < kScriptBytes; ++line)
        text += "  If Application.ActiveMap.Layers(" + std::to_string(line) + ").Name <> \"Layer " +
                std::to_string(n) + "\" & x Then MsgBox \"ok\"\r\n";
    text.resize(kScriptBytes);
    return text;
}

// The platform's files without the flushes to the disk that make a save durable (pugixml does
// none): shows what the sequence costs in computing alone.
class NoSyncFileSystem final : public zeph::xml::IFileSystem {
    class Writer final : public zeph::xml::IFileWriter {
      public:
        Writer(std::unique_ptr<zeph::xml::IFileWriter> inner, const bool& sync)
            : inner_(std::move(inner)), sync_(sync) {}
        void Write(std::string_view bytes) override { inner_->Write(bytes); }
        void Flush() override {
            if (sync_) inner_->Flush();
        }
        void Close() override { inner_->Close(); }

      private:
        std::unique_ptr<zeph::xml::IFileWriter> inner_;
        const bool& sync_;
    };

  public:
    // While false, flushes are skipped and replacing is a plain rename.
    bool sync = true;

    std::unique_ptr<zeph::xml::IByteSource> OpenRead(const fs::path& name) override {
        return zeph::xml::PlatformFileSystem().OpenRead(name);
    }
    std::unique_ptr<zeph::xml::IFileWriter> Create(const fs::path& name) override {
        return std::make_unique<Writer>(zeph::xml::PlatformFileSystem().Create(name), sync);
    }
    void Replace(const fs::path& from, const fs::path& to) override {
        if (sync)
            zeph::xml::PlatformFileSystem().Replace(from, to);
        else
            fs::rename(from, to);
    }
    void Remove(const fs::path& name) noexcept override {
        zeph::xml::PlatformFileSystem().Remove(name);
    }
    std::unique_ptr<zeph::xml::IFileLock> TryLock(const fs::path& name) override {
        return zeph::xml::PlatformFileSystem().TryLock(name);
    }
};

// Pushes a file written by pugixml to the disk, as the store's save does with its own.
void FlushFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Processor time of the whole process: other builds on the machine stretch the wall time of
// both sides unevenly, not this. Time spent waiting for the disk is not in it.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace

int main() {
    const fs::path folder = fs::temp_directory_path() / "zeph_bench_store";
    fs::remove_all(folder);
    fs::create_directories(folder);
    NoSyncFileSystem files;
    zeph::store::ScriptStore store([&] { return folder / ""; }, files);

    // The store: the new file plus 1,000 scripts of 5 KB.
    auto doc = store.CreateDefaultStore();
    auto root = doc->DocumentElement();
    for (int i = 0; i < kScripts; ++i) {
        auto script = root->AppendElement("Script");
        script->SetAttr("Name", "Script " + std::to_string(i));
        script->SetAttr("Language", i % 2 ? "JavaScript" : "VBScript");
        script->SetAttr("Text", ScriptText(i));
    }
    doc->SaveToFile(store.StorePath());
    doc.reset();
    const auto file_size = fs::file_size(store.StorePath());

    BenchWindow window;
    window.box = "Script 500";
    std::vector<double> ours, ours_no_sync, peer, peer_durable, store_ms, state_ms, apply_ms,
        commit_ms;
    std::vector<double> ours_cpu, peer_cpu;
    for (int round = 0; round < kRounds; ++round) {
        window.text = ScriptText(round);
        const double cpu_start = CpuMs();
        const auto start = Clock::now();
        Clock::time_point stored, saved, applied;
        {
            // One user action, as the workbench runs it: its saves are written at the commit.
            zeph::store::ScriptStore::Action action(store);
            store.StoreScript(window.box, "VBScript", window.text);
            stored = Clock::now();
            store.SaveWorkbenchState(window);
            saved = Clock::now();
            store.ApplyStore(window);
            applied = Clock::now();
            action.Commit();
        }
        const auto committed = Clock::now();
        ours_cpu.push_back(CpuMs() - cpu_start);
        ours.push_back(Ms(committed - start));
        store_ms.push_back(Ms(stored - start));
        state_ms.push_back(Ms(saved - stored));
        apply_ms.push_back(Ms(applied - saved));
        commit_ms.push_back(Ms(committed - applied));

        {
            files.sync = false;
            const auto quick = Clock::now();
            zeph::store::ScriptStore::Action action(store);
            store.StoreScript(window.box, "VBScript", window.text);
            store.SaveWorkbenchState(window);
            store.ApplyStore(window);
            action.Commit();
            ours_no_sync.push_back(Ms(Clock::now() - quick));
            files.sync = true;
        }

        const fs::path copy = folder / "pugixml.cfg";
        const double peer_cpu_start = CpuMs();
        const auto peer_start = Clock::now();
        pugi::xml_document pdoc;
        if (!pdoc.load_file(store.StorePath().c_str())) return 1;
        if (!pdoc.save_file(copy.c_str(), "\t")) return 1;
        peer.push_back(Ms(Clock::now() - peer_start));
        peer_cpu.push_back(CpuMs() - peer_cpu_start);

        // The same, saved as durably as the store saves: flushed, then renamed into place.
        const auto durable_start = Clock::now();
        pugi::xml_document ddoc;
        if (!ddoc.load_file(store.StorePath().c_str())) return 1;
        const fs::path temp = folder / "pugixml.cfg.tmp";
        if (!ddoc.save_file(temp.c_str(), "\t")) return 1;
        FlushFile(temp);
        zeph::xml::PlatformFileSystem().Replace(temp, copy);
        peer_durable.push_back(Ms(Clock::now() - durable_start));
    }
    fs::remove_all(folder);

    const double ours_ms = Median(ours), quick_ms = Median(ours_no_sync), peer_ms = Median(peer);
    const double ours_cpu_ms = Median(ours_cpu), peer_cpu_ms = Median(peer_cpu);
    std::printf("store of %d scripts x %zu bytes: %.1f MB; medians of %d rounds\n", kScripts,
                kScriptBytes, file_size / 1e6, kRounds);
    std::printf("                                                          wall ms    cpu ms\n");
    std::printf("save by Enter (store script, save state, apply store): %8.2f  %8.2f\n", ours_ms,
                ours_cpu_ms);
    std::printf(
        "  store script %.2f ms, save state %.2f ms, apply store %.2f ms, write %.2f ms (wall)\n",
        Median(store_ms), Median(state_ms), Median(apply_ms), Median(commit_ms));
    std::printf("the same without flushing to the disk:                 %8.2f\n", quick_ms);
    std::printf("pugixml load + save of the same file (no flush):       %8.2f  %8.2f\n", peer_ms,
                peer_cpu_ms);
    std::printf("pugixml load + save flushed and renamed into place:    %8.2f\n",
                Median(peer_durable));
    const double wall_ratio = ours_ms / peer_ms, cpu_ratio = ours_cpu_ms / peer_cpu_ms;
    std::printf(
        "ratio (wall): %.2f; without our flushes %.2f; against the flushed pugixml save %.2f\n",
        wall_ratio, quick_ms / peer_ms, ours_ms / Median(peer_durable));
    std::printf("ratio (cpu):  %.2f\n", cpu_ratio);
    std::printf("target below 2.00: wall %s, cpu %s\n", wall_ratio < 2.0 ? "met" : "NOT met",
                cpu_ratio < 2.0 ? "met" : "NOT met");
    return 0;
}
