// Helpers of the store tests: a scratch data folder, file bytes, and a window that records what
// the store does to it.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "editor/highlighter.h"
#include "store/script_store.h"
#include "support/file_bytes.h"
#include "text/cp1251.h"

namespace zeph::store::testing {

using text::operator""_cp;
namespace fs = std::filesystem;

using zeph::support::ReadBytes;
using zeph::support::WriteBytes;

inline std::string DataFile(std::string_view name) {
    return ReadBytes(fs::path(ZEPH_TEST_DATA) / "store" / fs::path(name));
}

// The bytes of a new store.
inline std::string DefaultStoreBytes() {
    return DataFile("default.cfg");
}

inline std::string ReplaceAll(std::string s, std::string_view from, std::string_view to) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// A fresh folder per test, removed afterwards (read-only files included). The name carries a
// random part too, so that two runs of the suite at once (native and under Wine, or two
// builds) never share a folder.
class TempFolder {
  public:
    TempFolder() {
        static std::atomic<int> counter{0};
        static const unsigned run = std::random_device{}();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() /
                ("zeph_store_" + std::string(info ? info->name() : "x") + "_" +
                 std::to_string(run) + "_" + std::to_string(counter++));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(path_, ec))
            fs::permissions(entry.path(), fs::perms::owner_all, ec);
        fs::remove_all(path_, ec);
    }
    // The folder as the host gives it: with a trailing separator.
    fs::path Folder() const { return path_ / ""; }
    fs::path File(std::string_view name) const { return path_ / fs::path(name); }
    DataFolder Host() const {
        return [this] { return Folder(); };
    }

  private:
    fs::path path_;
};

// The workbench window as the store sees it, with the real highlighters.
class FakeWindow : public IStoreWindow {
  public:
    FakeWindow() {
        editor::ApplyWorkbenchLooks(vb);
        editor::ApplyWorkbenchLooks(js);
    }

    void ClearScriptList() override {
        list.clear();
        calls.push_back("ClearScriptList");
    }
    void AddScriptNames(const std::vector<std::string>& names) override {
        list.insert(list.end(), names.begin(), names.end());
        calls.push_back("AddScriptNames");
    }
    std::string ScriptBoxText() override { return box_text; }
    void SetScriptBoxText(const std::string& text) override {
        box_text = text;
        calls.push_back("SetScriptBoxText");
    }
    // What the store's opener (set by the tests that want it) records.
    void OpenScript(const std::string& name) {
        opened.push_back(name);
        calls.push_back("OpenScript");
    }
    std::string EditorText() override { return editor_text; }
    void ReplaceEditorText(const std::string& text) override {
        editor_text = text;
        calls.push_back("ReplaceEditorText");
    }
    std::string FontName() override { return font_name; }
    int FontSize() override { return font_size; }
    void SetFontName(const std::string& family) override {
        font_name = family;
        calls.push_back("SetFontName");
    }
    void SetFontSize(int points) override {
        font_size = points;
        calls.push_back("SetFontSize");
    }
    void SetRightMargin(int column) override {
        margin = column;
        margin_visible = true;
        calls.push_back("SetRightMargin");
    }
    void SetRightMarginVisible(bool visible) override {
        margin_visible = visible;
        calls.push_back("SetRightMarginVisible");
    }
    void SetGutterWidth(int pixels) override {
        gutter = pixels;
        calls.push_back("SetGutterWidth");
    }
    void SetGutterVisible(bool visible) override {
        gutter_visible = visible;
        calls.push_back("SetGutterVisible");
    }
    editor::Highlighter& JavaScriptHighlighter() override { return js; }
    editor::Highlighter& VBScriptHighlighter() override { return vb; }
    WindowState GetWindowState() override { return state; }
    void SetWindowState(WindowState s) override {
        state = s;
        calls.push_back("SetWindowState");
    }
    WindowBounds GetWindowBounds() override { return bounds; }
    void SetWindowBounds(const WindowBounds& b) override {
        bounds = b;
        calls.push_back("SetWindowBounds");
    }

    bool Called(std::string_view what) const {
        for (const auto& c : calls)
            if (c == what) return true;
        return false;
    }

    editor::TVBScriptHighlighter vb;
    editor::TJScriptHighlighter js;
    std::vector<std::string> list, opened, calls;
    std::string box_text, editor_text = "option explicit";
    std::string font_name = "Lucida Console";
    int font_size = 11, margin = 0, gutter = 0;
    bool margin_visible = false, gutter_visible = false;
    WindowState state = WindowState::kNormal;
    WindowBounds bounds{10, 20, 400, 300};
};

}  // namespace zeph::store::testing
