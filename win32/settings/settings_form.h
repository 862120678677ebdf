// The settings dialog: the colour page (token classes, their colours and styles, a preview
// editor) and the display page (right margin, gutter, font), over the workbench window. Its
// behaviour lives in the settings presenter; this class draws the controls and forwards their
// events.
//
// Lifecycle: CreateOwned(owner) makes the window hidden, owned by the workbench window;
// Prepare(app, highlighter) opens it on the store of the host's data folder (throws when the
// store does not load; the dialog must not be shown then); ShowModal() runs it modally over its
// owner and returns IDOK only when it was closed by saving. The caller deletes it afterwards.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/unique.h"
#include "editor/highlighter.h"
#include "editor/script_editor_window.h"
#include "forms/forms.h"
#include "settings/colour_box.h"
#include "settings/presenter.h"
#include "settings/settings_view.h"
#include "tellur.h"
#include "workbench/interfaces.h"

namespace zeph::win {

class TZephraSetupDialogForm : public TNonModalForm, private settings::ISettingsView {
  public:
    // Control identifiers, also for tests that drive the dialog.
    enum ControlId : int {
        kOptionsPageControl = 100,
        kColorTabSheet,
        kDisplayTabSheet,
        kHighlighterElementsListBox,
        kForegroundColorBox,
        kBackgroundColorBox,
        kFontAttributeBoldCheckBox,
        kFontAttributeItalicCheckBox,
        kFontAttributeUnderlineCheckBox,
        kSampleMemo,
        kRightMarginVisibleCheckBox,
        kRightMarginSizeEdit,
        kLeftGutterVisibleCheckBox,
        kLeftGutterSizeEdit,
        kFontNameComboBox,
        kFontSizeComboBox,
        kFontSamplePanel,
        kDefaultButton,
        kSaveAndExitButton = IDOK,
        kCloseButton = IDCANCEL,
    };

    static std::unique_ptr<TZephraSetupDialogForm> CreateOwned(HWND owner);
    ~TZephraSetupDialogForm() override;

    void Prepare(ITellurApplication* app, std::string_view highlighter_name);
    int ShowModal();

    // The control with that identifier on either page, or nullptr.
    HWND Item(ControlId id) const noexcept;
    settings::SettingsPresenter& Presenter() noexcept { return presenter_; }
    int Scaled(int length) const noexcept;

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

  private:
    explicit TZephraSetupDialogForm(HWND owner);
    std::filesystem::path DataFolderPath();
    void CreateControls();
    void CreateColourPage(HWND page, HFONT font);
    void CreateDisplayPage(HWND page, HFONT font);
    HWND AddControl(HWND parent, const wchar_t* cls, std::string_view text, DWORD style, int id,
                    int x, int y, int w, int h, DWORD ex_style = 0);
    void ShowPageWindow(settings::Page page);
    // Moves the focus for a Tab key stroke; false leaves the stroke to the focused control.
    bool TabToNextControl(const MSG& msg);
    // The other page, through the same page-change step as a click on its tab.
    void TurnPage();
    void OnCommand(int id, int code, HWND control);
    LRESULT OnNotify(const NMHDR& header);
    void EndModal(int result);
    // A size edit lost the focus: its text is stored unless the dialog is being left.
    void SizeEditExit(ControlId edit);

    // ISettingsView
    void SetActivePage(settings::Page page) override;
    void ClearElementList() override;
    void AddElement(const std::string& caption) override;
    void SelectElement(int index) override;
    std::string SelectedElement() const override;
    void ShowColours(editor::ColourValue foreground, editor::ColourValue background) override;
    void ShowStyle(bool bold, bool italic, bool underline) override;
    void BeginPreviewUpdate() override;
    void EndPreviewUpdate() override;
    void SetPreviewHighlighter(const editor::Highlighter& highlighter) override;
    void SetPreviewRightMargin(int column) override;
    int PreviewRightMargin() const override;
    void SetPreviewGutterWidth(int pixels) override;
    int PreviewGutterWidth() const override;
    void SetPreviewGutterVisible(bool visible) override;
    bool PreviewGutterVisible() const override;
    void SetPreviewFont(const std::string& name, int points) override;
    void SetPreviewText(const std::string& text) override;
    bool MarginChecked() const override;
    void SetMarginChecked(bool checked) override;
    std::string MarginSizeText() const override;
    void SetMarginSizeText(const std::string& text) override;
    void EnableMarginSize(bool enabled) override;
    bool GutterChecked() const override;
    void SetGutterChecked(bool checked) override;
    std::string GutterSizeText() const override;
    void SetGutterSizeText(const std::string& text) override;
    void EnableGutterSize(bool enabled) override;
    void FocusMarginSize() override;
    void FocusGutterSize() override;
    void FocusFontSize() override;
    std::vector<std::string> SystemFontFamilies() override;
    void SetFontNames(const std::vector<std::string>& names) override;
    void SelectFontName(const std::string& name) override;
    std::string FontNameText() const override;
    void SetFontSizes(const std::vector<std::string>& sizes) override;
    std::string FontSizeText() const override;
    void SetFontSizeText(const std::string& text) override;
    void SetFontSample(const std::string& name, int points) override;
    void ShowError(std::string_view text, std::string_view caption) override;

    int dpi_ = 96;
    ComPtr<ITellurApplication> application_;
    settings::SettingsPresenter presenter_;
    std::unique_ptr<ScriptEditorWindow> sample_memo_;
    std::unique_ptr<ColourBox> foreground_;
    std::unique_ptr<ColourBox> background_;
    UniqueFont form_font_;
    UniqueFont sample_font_;
    UniqueBrush face_brush_;
    HWND tabs_ = nullptr;
    HWND colour_page_ = nullptr;
    HWND display_page_ = nullptr;
    std::vector<HWND> group_boxes_;
    std::vector<HWND> margin_size_controls_;
    std::vector<HWND> gutter_size_controls_;
    int modal_result_ = 0;
    bool running_ = false;
    int update_depth_ = 0;
    HWND last_focus_ = nullptr;  // while another window is active
};

// The workbench's settings command: makes the dialog over the workbench window, prepares it,
// runs it modally and frees it, whatever the result.
class SettingsDialogRunner : public workbench::ISettingsDialog {
  public:
    SettingsDialogRunner(HWND owner, ITellurApplication* app) : owner_(owner), app_(app) {}
    bool Run(const std::string& highlighter_name) override;

  private:
    HWND owner_;
    ITellurApplication* app_;  // kept alive by the workbench window
};

}  // namespace zeph::win
