// The script workbench window: tool bar, saved-script box and script editor over the host's
// main window. Its behaviour lives in the workbench presenter; this class draws the controls,
// forwards their events and routes keys to the action list.
//
// Lifecycle (as the module uses it):
//  - CreateOwned(owner) makes the window hidden, owned by the host's main window.
//  - AttachApplication(app) keeps a counted reference to the host, applies the stored
//    configuration and makes the window visible. Throws on failure; the window then stays
//    hidden and may be shown later without a further set-up.
//  - Show() makes it visible and brings it to the front.
//  - Closing the window (its close box, Ctrl+Q) stores the work and frees the object: the free
//    notifications of TExForm fire. `delete form` destroys it without any close handling.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/unique.h"
#include "completion/completion.h"
#include "editor/highlighter.h"
#include "editor/script_editor_window.h"
#include "forms/application_form.h"
#include "tellur.h"
#include "workbench/find_bar.h"
#include "workbench/host_adapter.h"
#include "workbench/interfaces.h"
#include "workbench/output_pane.h"
#include "workbench/parameter_tip.h"
#include "workbench/presenter.h"
#include "workbench/script_box.h"
#include "workbench/script_strip.h"
#include "workbench/shell_adapter.h"
#include "workbench/store_link.h"
#include "workbench/tool_bar.h"

namespace zeph::win {

class TMainModelessDialogForm : public TApplicationForm, private workbench::IWorkbenchView {
  public:
    static TMainModelessDialogForm* CreateOwned(HWND owner);
    ~TMainModelessDialogForm() override;

    void AttachApplication(ITellurApplication* app) override;
    void Show() override;

    // The store behind the window: by default the configuration file in the host's data
    // folder, from AttachApplication on. Tests may put their own in its place.
    void SetStore(workbench::IWorkbenchStore* store) {
        own_store_ = false;
        presenter_.SetStore(store);
    }

    // For tests and the module.
    workbench::WorkbenchPresenter& Presenter() noexcept { return presenter_; }
    workbench::IWorkbenchView& View() noexcept { return *this; }
    HWND EditorHandle() const noexcept { return editor_; }
    ScriptEditorWindow& Editor() noexcept { return *editor_window_; }
    HWND SavedScriptsHandle() const noexcept { return script_box_ ? script_box_->hwnd() : nullptr; }
    HWND OutputHandle() const noexcept { return output_ ? output_->hwnd() : nullptr; }
    ScriptStrip* Strip() noexcept { return strip_.get(); }
    FindBar* Finder() noexcept { return find_bar_.get(); }
    ParameterTip* ParameterHint() noexcept { return parameter_tip_.get(); }
    HWND ToolBarHandle() const noexcept { return tool_bar_ ? tool_bar_->hwnd() : nullptr; }
    ITellurApplication* Application() const noexcept { return application_.get(); }
    // Pixels of a length designed at 120 dots per inch, at the screen's resolution.
    int Scaled(int length) const noexcept;

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
    void WindowDestroyed() override;

  private:
    explicit TMainModelessDialogForm(HWND owner);
    void CreateControls();
    void CreateEditor();
    void Layout();
    void BindToApplication(ITellurApplication* app);

    // What the window's messages do.
    void RunCommand(WORD id, WORD code, HWND control);
    void SavedScriptBoxChanged(WORD code);
    LRESULT ToolBarNotice(NMHDR* header);
    void ChooseLanguageFromMenu();
    void RememberOrRestoreFocus(bool active);
    void RunAction(workbench::ActionId id);
    void RunSelectedLines();
    void CloseStoringWork();
    void RescueTextIfUnstored();
    // Repaints the editor when the store changed the looks of its token classes.
    void RepaintIfLooksChanged();

    // Key routing inside the host's plain message loop.
    static LRESULT CALLBACK GetMessageHook(int code, WPARAM wparam, LPARAM lparam) noexcept;
    bool RouteKey(MSG& msg) noexcept;
    // Takes a key message for one of the window's controls out of the host's loop and hands it to
    // its control at once, with its character unless one is queued already (see the hook).
    bool TakeKey(const MSG& msg) noexcept;
    bool OwnsWindow(HWND hwnd) const noexcept;
    bool ClickOnOwner(const MSG& msg) const noexcept;
    void KeepAboveOwner();

    // IWorkbenchView
    std::string Caption() const override;
    void SetCaption(std::string_view caption) override;
    void StartTimer() override;
    void StopTimer() override;
    void FocusEditor() override;
    void FocusSavedScriptsAndDropDown() override;
    void PopupLanguageMenu() override { ChooseLanguageFromMenu(); }
    void SetLanguageButtonHint(std::string_view hint) override { tool_bar_->SetLanguageHint(hint); }
    void RequestClose() override;
    int LineCount() const override;
    std::string Line(int index) const override;
    void ReplaceLine(int index, std::string_view line) override;
    workbench::CaretPos Caret() const override;
    void SetCaret(workbench::CaretPos pos) override;
    workbench::Language EditorLanguage() const override;
    void SetHighlighter(workbench::Language language) override;
    void SelectScript(const std::string& name) override { script_box_->Select(name); }
    std::vector<std::string> ScriptNames() override { return script_box_->Names(); }
    void DeleteScriptName(int index) override { script_box_->DeleteName(index); }
    void SetSavedScriptHintShown(bool shown) override { script_box_->SetHintShown(shown); }
    workbench::MessageResult ShowMessage(std::string_view text, std::string_view caption,
                                         workbench::MessageIcon icon,
                                         workbench::MessageButtons buttons) override;
    void SetProcedureList(const std::vector<std::string>& entries) override {
        strip_->SetProcedures(entries);
    }
    void SetStatusText(std::string_view text) override { strip_->SetStatus(text); }
    std::pair<int, int> SelectedLineRange() const override;
    void ReplaceLines(int first, const std::vector<std::string>& lines) override;
    std::optional<int> AskLineNumber(int current, int count) override;
    std::optional<std::filesystem::path> ChooseFileToOpen(std::string_view filter) override;
    std::optional<std::filesystem::path> ChooseFileToSave(std::string_view filter, int filter_index,
                                                          std::string_view extension,
                                                          std::string_view name) override;
    std::optional<std::size_t> ChooseVersion(
        std::string_view title, const std::vector<store::ScriptVersion>& versions) override;
    // store::IStoreWindow
    void ClearScriptList() override { script_box_->ClearList(); }
    void AddScriptNames(const std::vector<std::string>& names) override {
        script_box_->AddNames(names);
    }
    std::string ScriptBoxText() override { return script_box_->Text(); }
    void SetScriptBoxText(const std::string& text) override { script_box_->SetText(text); }
    std::string EditorText() override { return editor_window_->Text(); }
    void ReplaceEditorText(const std::string& text) override { editor_window_->SetText(text); }
    std::string FontName() override { return editor_window_->font().face; }
    int FontSize() override;
    void SetFontName(const std::string& family) override;
    void SetFontSize(int points) override;
    void SetRightMargin(int column) override;
    void SetRightMarginVisible(bool visible) override;
    void SetGutterWidth(int pixels) override { editor_window_->SetGutterWidth(pixels); }
    void SetGutterVisible(bool visible) override { editor_window_->SetGutterVisible(visible); }
    editor::Highlighter& JavaScriptHighlighter() override { return js_; }
    editor::Highlighter& VBScriptHighlighter() override { return vb_; }
    store::WindowState GetWindowState() override;
    void SetWindowState(store::WindowState state) override;
    store::WindowBounds GetWindowBounds() override;
    void SetWindowBounds(const store::WindowBounds& bounds) override;

    editor::TVBScriptHighlighter vb_;
    editor::TJScriptHighlighter js_;
    workbench::WorkbenchPresenter presenter_;
    ComPtr<ITellurApplication> application_;
    std::unique_ptr<HostAdapter> host_;
    ShellAdapter shell_;
    std::unique_ptr<workbench::ScriptStoreLink> store_;
    bool own_store_ = true;
    std::unique_ptr<workbench::IScriptEngineFactory> engines_;
    std::unique_ptr<workbench::ISettingsDialog> settings_;
    std::unique_ptr<ScriptEditorWindow> editor_window_;
    std::unique_ptr<OutputPane> output_;
    std::unique_ptr<FindBar> find_bar_;
    completion::FixedPitchMeasure measure_;
    std::unique_ptr<ParameterTip> parameter_tip_;
    std::uint32_t looks_seen_ = 0;
    // The state the store asked for while the window was still hidden.
    store::WindowState pending_state_ = store::WindowState::kNormal;
    int right_margin_ = 80;
    int dpi_ = 96;
    std::unique_ptr<WorkbenchToolBar> tool_bar_;
    std::unique_ptr<SavedScriptBox> script_box_;
    std::unique_ptr<ScriptStrip> strip_;
    HWND editor_ = nullptr;
    UniqueFont form_font_;
    UniqueIcon icon_;
    UniqueIcon small_icon_;
    HWND last_focus_ = nullptr;
    bool in_menu_ = false;
    bool attached_ = false;  // set up: its text is the user's
    bool closed_ = false;    // the closing stored the work (or the user let it go)
};

}  // namespace zeph::win
