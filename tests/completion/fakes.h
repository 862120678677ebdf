// A one-line editor and a pop-up that records what the handlers do, for completion tests.
#pragma once

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "completion/completion.h"
#include "text/cp1251.h"

namespace zeph::completion::testing {

class LineEditor final : public ICompletionEditor {
  public:
    std::string line;
    int x = 1;

    LineEditor() = default;
    // The caret at the end of the line unless a column is given.
    explicit LineEditor(std::string text, int column = 0)
        : line(std::move(text)), x(column ? column : static_cast<int>(line.size()) + 1) {}

    std::string CaretLineText() const override { return line; }
    int CaretX() const override { return x; }
    int CaretY() const override { return 1; }
    std::string WordAt(int c) const override {
        const int len = static_cast<int>(line.size());
        if (c < 1 || c > len + 1) return {};
        auto ident = [&](int col) {
            return col >= 1 && col <= len && text::IsIdentChar(line[col - 1]);
        };
        if (!ident(c) && !ident(c - 1)) return {};
        int begin = c, end = c;  // columns [begin, end)
        while (ident(end)) ++end;
        while (ident(begin - 1)) --begin;
        return line.substr(begin - 1, end - begin);
    }
    std::string WordAroundCaret() const override { return WordAt(x); }
};

class RecordingPopup final : public ICompletionPopup {
  public:
    std::vector<std::string> items, inserts, shown;
    int width = 262;

    void ClearLists() override {
        items.clear();
        inserts.clear();
    }
    void AddEntry(std::string_view item, std::string_view insert) override {
        items.emplace_back(item);
        inserts.emplace_back(insert);
    }
    const std::vector<std::string>& ItemList() const override { return items; }
    void ResetFilter() override { shown = items; }
    void SetWidth(int pixels) override { width = pixels; }

    // The bold column (the member's name) of every item.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& item : items) {
            auto a = item.find('\t');
            auto b = item.find('\t', a + 1);
            names.push_back(item.substr(a + 1, b - a - 1));
        }
        return names;
    }
    bool Lists(std::string_view name) const {
        auto names = Names();
        return std::find(names.begin(), names.end(), name) != names.end();
    }
};

inline std::filesystem::path DataFile(const char* relative) {
    return std::filesystem::path(ZEPH_TEST_DATA) / "completion" / relative;
}

// A description file with the given entries (code page 1251) in a fresh temporary folder.
class TempDescription {
  public:
    explicit TempDescription(std::string_view entries) {
        static int counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = std::filesystem::temp_directory_path() /
               ("zeph_completion_" + std::to_string(stamp) + "_" + std::to_string(++counter));
        std::filesystem::create_directories(dir_);
        std::ofstream out(Path(), std::ios::binary);
        out << "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Lib>" << entries << "</Lib>";
    }
    ~TempDescription() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::filesystem::path Path() const { return dir_ / "TellurTlb.xml"; }

  private:
    std::filesystem::path dir_;
};

}  // namespace zeph::completion::testing
