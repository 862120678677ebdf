// A recording stand-in for the workbench window.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "editor/highlighter.h"
#include "workbench/interfaces.h"

namespace zeph::workbench::testing {

struct ShownMessage {
    std::string text, caption;
    MessageIcon icon;
    MessageButtons buttons;
};

class FakeView : public IWorkbenchView {
  public:
    std::string caption;
    bool timer_on = false;
    int timer_starts = 0;
    std::string focus = "editor";
    bool dropped_down = false;
    int menu_popups = 0;
    int close_requests = 0;
    std::string button_hint;
    std::vector<std::string> lines{"option explicit"};
    CaretPos caret{1, 1};
    std::string highlighter = "VBScriptHighlighter";
    std::string box_text;
    std::vector<ShownMessage> messages;
    MessageResult answer = MessageResult::Ok;
    std::vector<std::string> list;
    std::string font = "Courier New";
    int font_size = 10;
    int margin = 80;
    bool margin_visible = true;
    int gutter = 30;
    bool gutter_visible = true;
    editor::TJScriptHighlighter js;
    editor::TVBScriptHighlighter vb;
    store::WindowState state = store::WindowState::kNormal;
    store::WindowBounds bounds{10, 20, 300, 200};

    std::string Caption() const override { return caption; }
    void SetCaption(std::string_view c) override { caption = c; }
    void StartTimer() override {
        timer_on = true;
        ++timer_starts;
    }
    void StopTimer() override { timer_on = false; }
    void FocusEditor() override { focus = "editor"; }
    void FocusSavedScriptsAndDropDown() override {
        focus = "box";
        dropped_down = true;
    }
    void PopupLanguageMenu() override { ++menu_popups; }
    void SetLanguageButtonHint(std::string_view h) override { button_hint = h; }
    void RequestClose() override { ++close_requests; }
    std::string EditorText() override {
        std::string t;
        for (const std::string& l : lines) t += l + "\r\n";
        return t;
    }
    void ReplaceEditorText(const std::string& text) override {
        lines.clear();
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find("\r\n", start);
            if (end == std::string_view::npos) end = text.size();
            lines.emplace_back(text.substr(start, end - start));
            start = end + 2;
        }
    }
    int LineCount() const override { return static_cast<int>(lines.size()); }
    std::string Line(int i) const override { return lines.at(i); }
    void ReplaceLine(int i, std::string_view l) override {
        if (static_cast<int>(lines.size()) <= i) lines.resize(i + 1);
        lines[i] = l;
    }
    CaretPos Caret() const override { return caret; }
    void SetCaret(CaretPos p) override { caret = p; }
    // The editor's highlighter, by its component name.
    Language EditorLanguage() const override {
        return highlighter == "VBScriptHighlighter" ? Language::VBScript : Language::JavaScript;
    }
    void SetHighlighter(Language l) override {
        highlighter = l == Language::VBScript ? "VBScriptHighlighter" : "JavaScriptHighlighter";
    }
    std::string ScriptBoxText() override { return box_text; }
    void SetScriptBoxText(const std::string& t) override { box_text = t; }
    void ClearScriptList() override { list.clear(); }
    void AddScriptNames(const std::vector<std::string>& names) override {
        list.insert(list.end(), names.begin(), names.end());
    }
    void SelectScript(const std::string& name) override { box_text = name; }
    std::vector<std::string> ScriptNames() override { return list; }
    void DeleteScriptName(int index) override { list.erase(list.begin() + index); }
    void SetSavedScriptHintShown(bool shown) override { hint_shown = shown; }
    bool hint_shown = true;
    std::string FontName() override { return font; }
    int FontSize() override { return font_size; }
    void SetFontName(const std::string& f) override { font = f; }
    void SetFontSize(int points) override { font_size = points; }
    // The editor shows a margin put at a column.
    void SetRightMargin(int column) override {
        margin = column;
        margin_visible = true;
    }
    void SetRightMarginVisible(bool v) override { margin_visible = v; }
    void SetGutterWidth(int pixels) override { gutter = pixels; }
    void SetGutterVisible(bool v) override { gutter_visible = v; }
    editor::Highlighter& JavaScriptHighlighter() override { return js; }
    editor::Highlighter& VBScriptHighlighter() override { return vb; }
    store::WindowState GetWindowState() override { return state; }
    void SetWindowState(store::WindowState s) override { state = s; }
    store::WindowBounds GetWindowBounds() override { return bounds; }
    void SetWindowBounds(const store::WindowBounds& b) override { bounds = b; }
    // The dialogs: what they were offered, and what the user answers.
    std::vector<std::string> dialogs;
    std::optional<std::filesystem::path> file_answer;
    std::optional<std::size_t> version_answer;
    std::vector<store::ScriptVersion> versions_shown;
    std::optional<std::filesystem::path> ChooseFileToOpen(std::string_view filter) override {
        dialogs.push_back("open " + std::string(filter));
        return file_answer;
    }
    std::optional<std::filesystem::path> ChooseFileToSave(std::string_view filter, int index,
                                                          std::string_view extension,
                                                          std::string_view name) override {
        dialogs.push_back("save " + std::to_string(index) + " " + std::string(extension) + " " +
                          std::string(name));
        (void)filter;
        return file_answer;
    }
    std::optional<std::size_t> ChooseVersion(
        std::string_view title, const std::vector<store::ScriptVersion>& versions) override {
        dialogs.push_back("versions " + std::string(title));
        versions_shown = versions;
        return version_answer;
    }
    MessageResult ShowMessage(std::string_view text, std::string_view cap, MessageIcon icon,
                              MessageButtons buttons) override {
        messages.push_back({std::string(text), std::string(cap), icon, buttons});
        return answer;
    }
    std::vector<std::string> procedure_list;
    int procedure_list_sets = 0;
    std::string status;
    std::pair<int, int> selected{1, 1};
    std::optional<int> line_answer;                 // what the line prompt answers
    std::vector<std::pair<int, int>> line_prompts;  // (current, count) of each prompt
    int replace_lines_calls = 0;
    void SetProcedureList(const std::vector<std::string>& entries) override {
        procedure_list = entries;
        ++procedure_list_sets;
    }
    void SetStatusText(std::string_view text) override { status = text; }
    std::pair<int, int> SelectedLineRange() const override { return selected; }
    void ReplaceLines(int first, const std::vector<std::string>& replaced) override {
        ++replace_lines_calls;
        for (std::size_t i = 0; i < replaced.size(); ++i)
            ReplaceLine(first - 1 + static_cast<int>(i), replaced[i]);
    }
    std::optional<int> AskLineNumber(int current, int count) override {
        line_prompts.emplace_back(current, count);
        return line_answer;
    }
};

}  // namespace zeph::workbench::testing
