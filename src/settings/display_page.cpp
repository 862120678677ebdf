// The display page: font, right margin and gutter of the working copy.
#include <algorithm>
#include <charconv>
#include <exception>
#include <string>
#include <vector>

#include "settings/presenter.h"
#include "text/cp1251.h"

namespace zeph::settings {

using text::operator""_cp;

namespace {

constexpr int kFirstFontSize = 7;
constexpr int kLastFontSize = 30;

// A whole number as a size box takes it: optional blanks around an optionally signed decimal.
bool ParseInteger(std::string_view text, int& value) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return false;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

// Digits only, without blanks or sign, within 0..max: the text is stored as typed, and every
// reader of the store takes it as an integer.
bool IsSizeText(const std::string& text, int max) {
    if (text.empty() || text.size() > 9) return false;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    return std::stoi(text) <= max;
}

}  // namespace

std::string_view MarginSizeRefusal() {
    return u8"Расстояние до ограничителя должно быть целым числом от 0 до 1000."_cp;
}

std::string_view GutterSizeRefusal() {
    return u8"Ширина поля для заметок должна быть целым числом от 0 до 300."_cp;
}

bool SettingsPresenter::OptionsPageControlChanging() {
    bool allowed = false;
    try {
        if (page_ == Page::kDisplay) {
            if (!StoreRightMargin(view_.MarginChecked()) || !StoreGutter(view_.GutterChecked()) ||
                !StoreTypedFont())
                return false;
            page_ = Page::kColour;
            ShowColorPage();
        } else {
            LoadDisplayPage();
            page_ = Page::kDisplay;
        }
        allowed = true;
    } catch (const std::exception& e) {
        view_.ShowError(e.what(), u8"Ошибка"_cp);
    }
    return allowed;
}

void SettingsPresenter::LoadDisplayPage() {
    const std::string font_name = root_->GetAttr("FontName", "Courier New");
    const int font_size = root_->GetIntAttr("FontSize", 8);
    const bool gutter_on = root_->GetBoolAttr("GutterBool", view_.PreviewGutterVisible());
    const std::string gutter =
        root_->GetAttr("GutterSize", std::to_string(view_.PreviewGutterWidth()));
    const bool margin_on = root_->GetBoolAttr("MarginBool", true);
    const std::string margin =
        root_->GetAttr("MarginSize", std::to_string(view_.PreviewRightMargin()));

    view_.SetGutterSizeText(gutter);
    view_.SetMarginSizeText(margin);
    view_.SetGutterChecked(gutter_on);
    view_.SetMarginChecked(margin_on);
    view_.EnableGutterSize(gutter_on);
    view_.EnableMarginSize(margin_on);

    std::vector<std::string> names = view_.SystemFontFamilies();
    names.emplace_back("Default");
    // A stored family this system lacks (the file may come from another machine) is offered
    // too, so that it stays chosen and is written back unless the user picks another.
    if (!font_name.empty() && std::find(names.begin(), names.end(), font_name) == names.end())
        names.push_back(font_name);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int order = text::CompareNoCase(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    names.erase(std::unique(names.begin(), names.end()), names.end());
    view_.SetFontNames(names);
    std::vector<std::string> sizes;
    for (int size = kFirstFontSize; size <= kLastFontSize; ++size)
        sizes.push_back(std::to_string(size));
    view_.SetFontSizes(sizes);

    view_.SelectFontName(font_name);
    view_.SetFontSizeText(std::to_string(font_size));
    StoreFont();
}

void SettingsPresenter::StoreFont() {
    const std::string size_text = view_.FontSizeText();
    const std::string name = view_.FontNameText();
    if (size_text.empty()) return;
    int size = 0;
    if (!ParseInteger(size_text, size))
        throw std::runtime_error("'" + size_text + "' is not a valid integer value");
    root_->SetIntAttr("FontSize", size);
    root_->SetAttr("FontName", name);
    view_.SetFontSample(name, size);
}

bool SettingsPresenter::StoreTypedFont() {
    const std::string size_text = view_.FontSizeText();
    int size = 0;
    if (!size_text.empty() && !ParseInteger(size_text, size)) {
        view_.ShowError("'" + size_text + "' is not a valid integer value", u8"Ошибка"_cp);
        view_.FocusFontSize();
        return false;
    }
    StoreFont();
    return true;
}

bool SettingsPresenter::StoreSize(std::string_view size_attr, std::string_view flag_attr,
                                  bool visible, const std::string& text, int max, bool margin) {
    if (!IsSizeText(text, max)) {
        view_.ShowError(std::string(margin ? MarginSizeRefusal() : GutterSizeRefusal()),
                        u8"Ошибка"_cp);
        if (margin)
            view_.FocusMarginSize();
        else
            view_.FocusGutterSize();
        return false;
    }
    root_->SetBoolAttr(flag_attr, visible);
    root_->SetAttr(size_attr, text);
    return true;
}

bool SettingsPresenter::StoreRightMargin(bool visible) {
    return StoreSize("MarginSize", "MarginBool", visible, view_.MarginSizeText(), kMaxMarginColumn,
                     true);
}

bool SettingsPresenter::StoreGutter(bool visible) {
    return StoreSize("GutterSize", "GutterBool", visible, view_.GutterSizeText(), kMaxGutterWidth,
                     false);
}

void SettingsPresenter::FontNameComboBoxSelect() {
    Guarded([&] {
        StoreFont();
        ApplyToSample(*preview_);
    });
}

void SettingsPresenter::FontSizeComboBoxSelect() {
    FontNameComboBoxSelect();
}

void SettingsPresenter::RightMarginVisibleCheckBoxClick(bool checked) {
    Guarded([&] {
        if (!StoreRightMargin(checked)) {
            view_.SetMarginChecked(!checked);  // the click is undone with the refused text
            return;
        }
        view_.EnableMarginSize(checked);
        ApplyToSample(*preview_);
    });
}

void SettingsPresenter::LeftGutterVisibleCheckBoxClick(bool checked) {
    Guarded([&] {
        if (!StoreGutter(checked)) {
            view_.SetGutterChecked(!checked);
            return;
        }
        view_.EnableGutterSize(checked);
        ApplyToSample(*preview_);
    });
}

void SettingsPresenter::RightMarginSizeEditExit() {
    Guarded([&] { StoreRightMargin(view_.MarginChecked()); });
}

void SettingsPresenter::LeftGutterSizeEditExit() {
    Guarded([&] { StoreGutter(view_.GutterChecked()); });
}

}  // namespace zeph::settings
