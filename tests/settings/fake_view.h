// A recording stand-in for the settings dialog, with the state its controls would keep.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "settings/settings_view.h"

namespace zeph::settings::testing {

struct ShownError {
    std::string text, caption;
};

class FakeSettingsView : public ISettingsView {
  public:
    Page page = Page::kDisplay;  // the presenter must choose
    std::vector<std::string> elements;
    int selected = -1;
    editor::ColourValue foreground = 0, background = 0;
    bool bold = false, italic = false, underline = false;
    int update_depth = 0;
    int updates = 0;
    const editor::Highlighter* highlighter = nullptr;
    int margin = 80;
    int gutter = 30;
    bool gutter_visible = true;
    std::string font = "Courier New";
    int font_points = 10;
    std::string preview_text;
    bool margin_checked = false, gutter_checked = false;
    std::string margin_text, gutter_text;
    bool margin_enabled = true, gutter_enabled = true;
    std::string focus;
    std::vector<std::string> system_fonts{"Courier New", "Arial", "Tahoma", "arial"};
    std::vector<std::string> font_names, font_sizes;
    int font_name_index = -1;
    std::string font_size_text;
    std::string sample_name;
    int sample_points = 0;
    std::vector<ShownError> errors;

    void SetActivePage(Page p) override { page = p; }
    void ClearElementList() override {
        elements.clear();
        selected = -1;
    }
    void AddElement(const std::string& caption) override { elements.push_back(caption); }
    void SelectElement(int index) override { selected = index; }
    std::string SelectedElement() const override {
        return selected >= 0 && selected < static_cast<int>(elements.size()) ? elements[selected]
                                                                             : std::string();
    }
    void ShowColours(editor::ColourValue fg, editor::ColourValue bg) override {
        foreground = fg;
        background = bg;
    }
    void ShowStyle(bool b, bool i, bool u) override {
        bold = b;
        italic = i;
        underline = u;
    }
    void BeginPreviewUpdate() override { ++update_depth; }
    void EndPreviewUpdate() override {
        --update_depth;
        ++updates;
    }
    void SetPreviewHighlighter(const editor::Highlighter& h) override { highlighter = &h; }
    void SetPreviewRightMargin(int column) override { margin = column; }
    int PreviewRightMargin() const override { return margin; }
    void SetPreviewGutterWidth(int pixels) override { gutter = pixels; }
    int PreviewGutterWidth() const override { return gutter; }
    void SetPreviewGutterVisible(bool visible) override { gutter_visible = visible; }
    bool PreviewGutterVisible() const override { return gutter_visible; }
    void SetPreviewFont(const std::string& name, int points) override {
        font = name;
        font_points = points;
    }
    void SetPreviewText(const std::string& text) override { preview_text = text; }
    bool MarginChecked() const override { return margin_checked; }
    void SetMarginChecked(bool checked) override { margin_checked = checked; }
    std::string MarginSizeText() const override { return margin_text; }
    void SetMarginSizeText(const std::string& text) override { margin_text = text; }
    void EnableMarginSize(bool enabled) override { margin_enabled = enabled; }
    bool GutterChecked() const override { return gutter_checked; }
    void SetGutterChecked(bool checked) override { gutter_checked = checked; }
    std::string GutterSizeText() const override { return gutter_text; }
    void SetGutterSizeText(const std::string& text) override { gutter_text = text; }
    void EnableGutterSize(bool enabled) override { gutter_enabled = enabled; }
    void FocusMarginSize() override { focus = "margin"; }
    void FocusGutterSize() override { focus = "gutter"; }
    void FocusFontSize() override { focus = "font size"; }
    std::vector<std::string> SystemFontFamilies() override { return system_fonts; }
    // Like a sorted combo box that is refilled: the old entries go.
    void SetFontNames(const std::vector<std::string>& names) override {
        font_names = names;
        font_name_index = -1;
    }
    void SelectFontName(const std::string& name) override {
        auto it = std::find(font_names.begin(), font_names.end(), name);
        font_name_index = it == font_names.end() ? -1 : static_cast<int>(it - font_names.begin());
    }
    std::string FontNameText() const override {
        return font_name_index >= 0 ? font_names[font_name_index] : std::string();
    }
    void SetFontSizes(const std::vector<std::string>& sizes) override { font_sizes = sizes; }
    std::string FontSizeText() const override { return font_size_text; }
    void SetFontSizeText(const std::string& text) override { font_size_text = text; }
    void SetFontSample(const std::string& name, int points) override {
        sample_name = name;
        sample_points = points;
    }
    void ShowError(std::string_view text, std::string_view caption) override {
        errors.push_back({std::string(text), std::string(caption)});
    }
};

}  // namespace zeph::settings::testing
