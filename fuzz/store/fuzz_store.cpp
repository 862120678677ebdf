// Fuzzes the store's operations on a "zpconfig.cfg" of arbitrary bytes: applying it to a window,
// writing the window's state, storing and removing scripts, the operations of Enter as one
// action, and loading the result again. Each may refuse the file with an XmlError or a
// StoreError; anything else (a crash, another exception, a store that its own save made
// unreadable) is a finding.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "editor/highlighter.h"
#include "store/script_store.h"
#include "xml/xml.h"

namespace {

namespace fs = std::filesystem;
using namespace zeph;

// The workbench window as the store sees it, keeping what it is told.
class Window final : public store::IStoreWindow {
  public:
    Window() {
        editor::ApplyWorkbenchLooks(vb_);
        editor::ApplyWorkbenchLooks(js_);
    }
    void ClearScriptList() override { names_.clear(); }
    void AddScriptNames(const std::vector<std::string>& names) override {
        names_.insert(names_.end(), names.begin(), names.end());
    }
    std::string ScriptBoxText() override { return box_; }
    void SetScriptBoxText(const std::string& text) override { box_ = text; }
    void OpenScript(const std::string& name) { box_ = name; }
    std::string EditorText() override { return text_; }
    void ReplaceEditorText(const std::string& text) override { text_ = text; }
    std::string FontName() override { return font_; }
    int FontSize() override { return size_; }
    void SetFontName(const std::string& family) override { font_ = family; }
    void SetFontSize(int points) override { size_ = points; }
    void SetRightMargin(int) override {}
    void SetRightMarginVisible(bool) override {}
    void SetGutterWidth(int) override {}
    void SetGutterVisible(bool) override {}
    editor::Highlighter& JavaScriptHighlighter() override { return js_; }
    editor::Highlighter& VBScriptHighlighter() override { return vb_; }
    store::WindowState GetWindowState() override { return state_; }
    void SetWindowState(store::WindowState s) override { state_ = s; }
    store::WindowBounds GetWindowBounds() override { return bounds_; }
    void SetWindowBounds(const store::WindowBounds& b) override { bounds_ = b; }

    const std::vector<std::string>& names() const { return names_; }

  private:
    editor::TVBScriptHighlighter vb_;
    editor::TJScriptHighlighter js_;
    std::vector<std::string> names_;
    std::string box_, text_ = "MsgBox 1", font_ = "Courier New";
    int size_ = 10;
    store::WindowState state_ = store::WindowState::kNormal;
    store::WindowBounds bounds_{10, 20, 300, 200};
};

// One folder for the whole run, in memory where the system has it; removed at the end.
class ScratchFolder {
  public:
    ScratchFolder() {
        fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        path_ = base / ("zeph_fuzz_store_" + std::to_string(::getpid()));
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

const fs::path& Folder() {
    static const ScratchFolder folder;
    return folder.path();
}

template <class F>
bool Refused(F&& f) {
    try {
        f();
        return false;
    } catch (const xml::XmlError&) {
    } catch (const store::StoreError&) {
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path& folder = Folder();
    for (const auto& entry : fs::directory_iterator(folder)) fs::remove(entry.path());
    {
        std::ofstream out(folder / "zpconfig.cfg", std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    {
        store::ScriptStore store([&] { return folder / ""; });
        Window window;
        store.SetOpenScript([&](const std::string& name) { window.OpenScript(name); });
        // A store that cannot be applied is never overwritten, so the operations after a
        // refusal see the same bytes again.
        bool refused = Refused([&] { store.ApplyStore(window); });
        refused |= Refused([&] { store.SaveWorkbenchState(window); });
        std::string name = window.names().empty() ? "fuzz" : window.names().back();
        refused |= Refused([&] { store.StoreScript(name, "JavaScript", "var a = \"<&>\";\r\n"); });
        refused |= Refused([&] { store.StoreScript("", "VBScript", "MsgBox 1"); });
        refused |= Refused([&] { store.RemoveScript(name); });
        // Enter as the workbench runs it: one action, written once at its commit point.
        {
            store::ScriptStore::Action action(store);
            refused |= Refused([&] {
                store.StoreScript(name, "VBScript", "x = \"&<\"\r\n");
                store.SaveWorkbenchState(window);
                store.ApplyStore(window);
                action.Commit();
            });
        }
        // Whatever the operations wrote must load and apply again.
        if (!refused && Refused([&] { store.ApplyStore(window); })) __builtin_trap();
    }
    // Every document is gone: so must be every name the input brought.
    if (xml::LiveNameCount() != 0) __builtin_trap();
    return 0;
}
