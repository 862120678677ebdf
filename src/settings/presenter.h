// The settings dialog's behaviour: a working copy of the store's "Configuration" element (its
// font, margin and gutter attributes and its colour records), edited through the colour and
// display pages, shown at once in the preview editor, and written to the store only by
// "Сохранить". The dialog window forwards its events here.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "editor/highlighter.h"
#include "settings/settings_view.h"
#include "store/script_store.h"
#include "xml/xml.h"

namespace zeph::settings {

// Caption <-> class name over the token-class table, ignoring case; a text that matches no row
// comes back unchanged.
std::string ElementNameOf(std::string_view caption);
std::string ElementCaptionOf(std::string_view class_name);

enum class StyleFlag { kBold, kItalic, kUnderline };
enum class ColourSlot { kForeground, kBackground };

// Texts of the refusals of the two size edits.
std::string_view MarginSizeRefusal();
std::string_view GutterSizeRefusal();
inline constexpr int kMaxMarginColumn = 1000;
inline constexpr int kMaxGutterWidth = 300;

class SettingsPresenter {
  public:
    SettingsPresenter(ISettingsView& view, store::DataFolder folder);
    SettingsPresenter(const SettingsPresenter&) = delete;
    SettingsPresenter& operator=(const SettingsPresenter&) = delete;

    // Loads the store, builds the working copy and shows the colour page with the preview in
    // the named highlighter. Throws when the store cannot be loaded or has no "Configuration";
    // the dialog is then not shown.
    void Prepare(std::string_view highlighter_name);

    // --- events of the colour page (errors are shown, the dialog stays open) ---
    void HighlighterElementsListBoxClick();
    void ForegroundColorBoxSelect(editor::ColourValue colour);
    void BackgroundColorBoxSelect(editor::ColourValue colour);
    void FontAttributeBoldCheckBoxClick(bool checked);
    void FontAttributeItalicCheckBoxClick(bool checked);
    void FontAttributeUnderlineCheckBoxClick(bool checked);
    void DefaultButtonClick();
    // Writes the working copy into the store. True when it was saved and the dialog may close
    // with OK; otherwise the error has been shown and the dialog stays open.
    bool SaveAndExitButtonClick();

    // --- events of the display page ---
    // Runs before the page changes; false keeps the current page (a size edit holds a text
    // that cannot be stored).
    bool OptionsPageControlChanging();
    void FontNameComboBoxSelect();
    void FontSizeComboBoxSelect();
    void RightMarginVisibleCheckBoxClick(bool checked);
    void LeftGutterVisibleCheckBoxClick(bool checked);
    void RightMarginSizeEditExit();
    void LeftGutterSizeEditExit();

    // --- operations, as the handlers use them (they throw; the handlers report) ---
    void BuildWorkingCopy(xml::IXmlElement& source);
    void ShowColorPage();
    void FillElementList();
    void ShowElementColors(const std::string& caption);
    void ApplyToSample(editor::Highlighter& highlighter);
    void LoadSampleText(const editor::Highlighter& highlighter);
    void SetFontAttribute(StyleFlag flag, bool value);
    void StoreElementValue(const std::string& caption, int value, std::string_view attr);
    void LoadDisplayPage();
    void StoreFont();
    // Validate the edit's text first: false (with the message shown and the focus kept in the
    // edit) when it is not a whole number in range, and nothing is written.
    bool StoreRightMargin(bool visible);
    bool StoreGutter(bool visible);

    Page ActivePage() const { return page_; }
    xml::IXmlElement& WorkingRoot() const { return *root_; }
    editor::TVBScriptHighlighter& VBScriptHighlighter() { return vb_; }
    editor::TJScriptHighlighter& JavaScriptHighlighter() { return js_; }

  private:
    // Runs an event handler; an error it raises is shown and ends only that handler.
    void Guarded(const std::function<void()>& handler);
    void ShowPage(Page page);
    void ChooseColour(ColourSlot slot, editor::ColourValue colour);
    // The store's "Configuration", loaded afresh; a store without one is refused.
    xml::XmlRef<xml::IXmlElement> LoadConfiguration(
        xml::XmlRef<xml::IXmlDocument>* loaded = nullptr);
    editor::THighlighterAttributes* PreviewClassOf(const std::string& caption);
    // StoreFont for a size typed into the size box, which counts without a choice in either
    // font box: false (with the message shown and the focus in the box) when it is no whole
    // number, and nothing is written.
    bool StoreTypedFont();
    bool StoreSize(std::string_view size_attr, std::string_view flag_attr, bool visible,
                   const std::string& text, int max, bool margin);

    ISettingsView& view_;
    store::ScriptStore store_;
    editor::TVBScriptHighlighter vb_;
    editor::TJScriptHighlighter js_;
    editor::Highlighter* preview_ = &vb_;
    xml::XmlRef<xml::IXmlDocument> working_;
    xml::XmlRef<xml::IXmlElement> root_;
    Page page_ = Page::kColour;
};

}  // namespace zeph::settings
