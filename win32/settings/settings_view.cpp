// The settings dialog as its presenter sees it: the controls' contents.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "base/wide.h"
#include "base/window_text.h"
#include "editor/font_set.h"
#include "settings/settings_form.h"

namespace zeph::win {

namespace {

void SetChecked(HWND box, bool checked) {
    ::SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsChecked(HWND box) {
    return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int CALLBACK CollectFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM data) {
    // "@" names are the vertical variants of the same families.
    if (font->lfFaceName[0] != L'@')
        reinterpret_cast<std::vector<std::string>*>(data)->push_back(Narrow(font->lfFaceName));
    return 1;
}

}  // namespace

void TZephraSetupDialogForm::SetActivePage(settings::Page page) {
    ShowPageWindow(page);
}

void TZephraSetupDialogForm::ClearElementList() {
    ::SendMessageW(Item(kHighlighterElementsListBox), LB_RESETCONTENT, 0, 0);
}

void TZephraSetupDialogForm::AddElement(const std::string& caption) {
    ::SendMessageW(Item(kHighlighterElementsListBox), LB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(Wide(caption).c_str()));
}

void TZephraSetupDialogForm::SelectElement(int index) {
    ::SendMessageW(Item(kHighlighterElementsListBox), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string TZephraSetupDialogForm::SelectedElement() const {
    HWND list = Item(kHighlighterElementsListBox);
    const LRESULT index = ::SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (index < 0) return {};
    const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, index, 0);
    std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    ::SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(length, 0)));
    return Narrow(text);
}

void TZephraSetupDialogForm::ShowColours(editor::ColourValue foreground,
                                         editor::ColourValue background) {
    foreground_->ClearSelection();
    background_->ClearSelection();
    foreground_->Select(foreground);
    background_->Select(background);
}

void TZephraSetupDialogForm::ShowStyle(bool bold, bool italic, bool underline) {
    SetChecked(Item(kFontAttributeBoldCheckBox), bold);
    SetChecked(Item(kFontAttributeItalicCheckBox), italic);
    SetChecked(Item(kFontAttributeUnderlineCheckBox), underline);
}

// --- preview ----------------------------------------------------------------------------------

void TZephraSetupDialogForm::BeginPreviewUpdate() {
    if (update_depth_++ == 0) ::SendMessageW(sample_memo_->hwnd(), WM_SETREDRAW, FALSE, 0);
}

void TZephraSetupDialogForm::EndPreviewUpdate() {
    if (--update_depth_ > 0) return;
    ::SendMessageW(sample_memo_->hwnd(), WM_SETREDRAW, TRUE, 0);
    sample_memo_->RefreshLooks();
}

void TZephraSetupDialogForm::SetPreviewHighlighter(const editor::Highlighter& highlighter) {
    sample_memo_->SetHighlighter(&highlighter);
}

void TZephraSetupDialogForm::SetPreviewRightMargin(int column) {
    sample_memo_->SetRightMargin(column);
}

int TZephraSetupDialogForm::PreviewRightMargin() const {
    return sample_memo_->RightMargin();
}

void TZephraSetupDialogForm::SetPreviewGutterWidth(int pixels) {
    sample_memo_->SetGutterWidth(pixels);
}

int TZephraSetupDialogForm::PreviewGutterWidth() const {
    return sample_memo_->GutterWidth();
}

void TZephraSetupDialogForm::SetPreviewGutterVisible(bool visible) {
    sample_memo_->SetGutterVisible(visible);
}

bool TZephraSetupDialogForm::PreviewGutterVisible() const {
    return sample_memo_->GutterVisible();
}

void TZephraSetupDialogForm::SetPreviewFont(const std::string& name, int points) {
    sample_memo_->SetFont(FontSpec{name, ::MulDiv(std::clamp(points, 1, 400), dpi_, 72)});
}

void TZephraSetupDialogForm::SetPreviewText(const std::string& text) {
    sample_memo_->SetText(text);
}

// --- display page -----------------------------------------------------------------------------

bool TZephraSetupDialogForm::MarginChecked() const {
    return IsChecked(Item(kRightMarginVisibleCheckBox));
}

void TZephraSetupDialogForm::SetMarginChecked(bool checked) {
    SetChecked(Item(kRightMarginVisibleCheckBox), checked);
}

std::string TZephraSetupDialogForm::MarginSizeText() const {
    return Narrow(WindowText(Item(kRightMarginSizeEdit)));
}

void TZephraSetupDialogForm::SetMarginSizeText(const std::string& text) {
    ::SetWindowTextW(Item(kRightMarginSizeEdit), Wide(text).c_str());
}

void TZephraSetupDialogForm::EnableMarginSize(bool enabled) {
    for (HWND control : margin_size_controls_) ::EnableWindow(control, enabled);
}

bool TZephraSetupDialogForm::GutterChecked() const {
    return IsChecked(Item(kLeftGutterVisibleCheckBox));
}

void TZephraSetupDialogForm::SetGutterChecked(bool checked) {
    SetChecked(Item(kLeftGutterVisibleCheckBox), checked);
}

std::string TZephraSetupDialogForm::GutterSizeText() const {
    return Narrow(WindowText(Item(kLeftGutterSizeEdit)));
}

void TZephraSetupDialogForm::SetGutterSizeText(const std::string& text) {
    ::SetWindowTextW(Item(kLeftGutterSizeEdit), Wide(text).c_str());
}

void TZephraSetupDialogForm::EnableGutterSize(bool enabled) {
    for (HWND control : gutter_size_controls_) ::EnableWindow(control, enabled);
}

void TZephraSetupDialogForm::FocusMarginSize() {
    ::SetFocus(Item(kRightMarginSizeEdit));
    ::SendMessageW(Item(kRightMarginSizeEdit), EM_SETSEL, 0, -1);
}

void TZephraSetupDialogForm::FocusGutterSize() {
    ::SetFocus(Item(kLeftGutterSizeEdit));
    ::SendMessageW(Item(kLeftGutterSizeEdit), EM_SETSEL, 0, -1);
}

void TZephraSetupDialogForm::FocusFontSize() {
    HWND box = Item(kFontSizeComboBox);
    ::SetFocus(box);
    ::SendMessageW(box, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
}

std::vector<std::string> TZephraSetupDialogForm::SystemFontFamilies() {
    std::vector<std::string> families;
    WindowDc dc(nullptr);
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    ::EnumFontFamiliesExW(dc.get(), &query, &CollectFamily, reinterpret_cast<LPARAM>(&families), 0);
    return families;
}

void TZephraSetupDialogForm::SetFontNames(const std::vector<std::string>& names) {
    SetComboEntries(Item(kFontNameComboBox), names);
}

void TZephraSetupDialogForm::SelectFontName(const std::string& name) {
    // Exact names: the box's own search ignores case and takes prefixes.
    HWND box = Item(kFontNameComboBox);
    const std::wstring wanted = Wide(name);
    const int count = static_cast<int>(::SendMessageW(box, CB_GETCOUNT, 0, 0));
    int found = -1;
    for (int i = 0; i < count && found < 0; ++i) {
        const LRESULT length = ::SendMessageW(box, CB_GETLBTEXTLEN, i, 0);
        if (length < 0) continue;
        std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
        ::SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        item.resize(static_cast<std::size_t>(length));
        if (item == wanted) found = i;
    }
    ::SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
}

std::string TZephraSetupDialogForm::FontNameText() const {
    HWND box = Item(kFontNameComboBox);
    if (::SendMessageW(box, CB_GETCURSEL, 0, 0) < 0) return {};
    return Narrow(WindowText(box));
}

void TZephraSetupDialogForm::SetFontSizes(const std::vector<std::string>& sizes) {
    HWND box = Item(kFontSizeComboBox);
    const std::wstring text = WindowText(box);
    ::SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const std::string& size : sizes)
        ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(size).c_str()));
    ::SetWindowTextW(box, text.c_str());
}

std::string TZephraSetupDialogForm::FontSizeText() const {
    return Narrow(WindowText(Item(kFontSizeComboBox)));
}

void TZephraSetupDialogForm::SetFontSizeText(const std::string& text) {
    ::SetWindowTextW(Item(kFontSizeComboBox), Wide(text).c_str());
}

void TZephraSetupDialogForm::SetFontSample(const std::string& name, int points) {
    HWND panel = Item(kFontSamplePanel);
    UniqueFont font = CreateCyrillicFont(name, ::MulDiv(std::clamp(points, 1, 400), dpi_, 72));
    ::SendMessageW(panel, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    sample_font_ = std::move(font);  // the panel no longer uses the previous one
    ::SetWindowTextW(panel, Wide(name).c_str());
}

void TZephraSetupDialogForm::ShowError(std::string_view text, std::string_view caption) {
    ::MessageBoxW(Handle(), Wide(text).c_str(), Wide(caption).c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace zeph::win
