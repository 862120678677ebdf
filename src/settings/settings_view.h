// What the settings presenter needs from the dialog window: its two pages, the colour page's
// list, colour boxes and style check boxes, the preview editor, and the display page's
// controls. The Win32 dialog implements it over real controls; tests use a fake. All texts are
// code page 1251.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "editor/highlighter.h"
#include "editor/token_class.h"

namespace zeph::settings {

enum class Page { kColour, kDisplay };

class ISettingsView {
  public:
    virtual ~ISettingsView() = default;

    virtual void SetActivePage(Page page) = 0;

    // --- colour page ---
    virtual void ClearElementList() = 0;
    virtual void AddElement(const std::string& caption) = 0;
    virtual void SelectElement(int index) = 0;
    // The caption of the selected entry; empty when nothing is selected.
    virtual std::string SelectedElement() const = 0;
    // Clears both boxes' selection, then selects the two colours (a value the list lacks shows
    // as the custom entry).
    virtual void ShowColours(editor::ColourValue foreground, editor::ColourValue background) = 0;
    virtual void ShowStyle(bool bold, bool italic, bool underline) = 0;

    // --- the preview editor ---
    // Painting is held between these two; the end repaints whatever changed.
    virtual void BeginPreviewUpdate() = 0;
    virtual void EndPreviewUpdate() = 0;
    virtual void SetPreviewHighlighter(const editor::Highlighter& highlighter) = 0;
    virtual void SetPreviewRightMargin(int column) = 0;  // -1: no margin line
    virtual int PreviewRightMargin() const = 0;
    virtual void SetPreviewGutterWidth(int pixels) = 0;
    virtual int PreviewGutterWidth() const = 0;
    virtual void SetPreviewGutterVisible(bool visible) = 0;
    virtual bool PreviewGutterVisible() const = 0;
    virtual void SetPreviewFont(const std::string& name, int points) = 0;
    // Replaces the whole text, broken into lines at its line breaks.
    virtual void SetPreviewText(const std::string& text) = 0;

    // --- display page ---
    virtual bool MarginChecked() const = 0;
    virtual void SetMarginChecked(bool checked) = 0;
    virtual std::string MarginSizeText() const = 0;
    virtual void SetMarginSizeText(const std::string& text) = 0;
    // The margin's size label and edit.
    virtual void EnableMarginSize(bool enabled) = 0;
    virtual bool GutterChecked() const = 0;
    virtual void SetGutterChecked(bool checked) = 0;
    virtual std::string GutterSizeText() const = 0;
    virtual void SetGutterSizeText(const std::string& text) = 0;
    virtual void EnableGutterSize(bool enabled) = 0;
    // Keeps the focus in the size edit whose text was refused.
    virtual void FocusMarginSize() = 0;
    virtual void FocusGutterSize() = 0;
    virtual void FocusFontSize() = 0;

    // The families of the fonts installed for the screen, in any order, possibly repeated.
    virtual std::vector<std::string> SystemFontFamilies() = 0;
    virtual void SetFontNames(const std::vector<std::string>& names) = 0;
    // Selects the entry equal to the name exactly, or none.
    virtual void SelectFontName(const std::string& name) = 0;
    // The selected entry's text; empty when none is selected.
    virtual std::string FontNameText() const = 0;
    virtual void SetFontSizes(const std::vector<std::string>& sizes) = 0;
    virtual std::string FontSizeText() const = 0;
    virtual void SetFontSizeText(const std::string& text) = 0;
    // The sample panel: its caption is the name, drawn in that font.
    virtual void SetFontSample(const std::string& name, int points) = 0;

    // A message box owned by the dialog, with an error icon and an OK button.
    virtual void ShowError(std::string_view text, std::string_view caption) = 0;
};

}  // namespace zeph::settings
