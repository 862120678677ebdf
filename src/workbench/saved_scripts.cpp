// The presenter's saved scripts and language: the box's list, picking, storing, removing, a new
// script, and switching the language.
#include <algorithm>

#include "text/cp1251.h"
#include "workbench/presenter.h"
#include "workbench/store_action.h"

namespace zeph::workbench {

using text::operator""_cp;

namespace {

constexpr std::string_view kNewScriptText = "option explicit\r\n\r\n";

}  // namespace

// --- saved scripts ------------------------------------------------------------------------

void WorkbenchPresenter::NewActionExecute() {
    if (!store_) return;
    store_->StoreScript(view_.ScriptBoxText(), CurrentLanguage(), view_.EditorText());
    store_->StoreScript("", "VBScript", std::string(kNewScriptText));
    // Both are written here, once: a write that fails leaves the user's text in the editor.
    MarkCaptionSaved();
    active_script_name_.clear();
    view_.SetScriptBoxText("");
    view_.ReplaceEditorText(std::string(kNewScriptText));
    view_.SetCaret({2, view_.Caret().column});
    view_.FocusEditor();
}

void WorkbenchPresenter::OpenScript(const std::string& name) {
    view_.SelectScript(name);
    SaveScriptComboBoxFulling();
}

void WorkbenchPresenter::SaveScriptComboBoxFulling() {
    if (!store_) return;
    std::optional<StoredScript> script = store_->FindScript(view_.ScriptBoxText());
    if (!script) return;
    // The editor's text gives way to the script's: what the action saved of it is written
    // first, so a write that fails leaves the text where the user sees it.
    store_->CommitAction();
    view_.ReplaceEditorText(script->text);
    // The switch stores the script again under its language, normalising the record.
    if (script->language == "VBScript")
        SetVBScriptMenuItemClick();
    else
        SetJavaScriptMenuItemClick();
}

bool WorkbenchPresenter::InScriptList(const std::string& name) {
    const std::vector<std::string> names = view_.ScriptNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

void WorkbenchPresenter::SaveScriptComboBoxSelect() {
    view_.SetSavedScriptHintShown(true);
    if (!store_) return;
    const std::string previous = active_script_name_;
    const std::string language = CurrentLanguage();
    const std::string text = view_.EditorText();
    if (previous.empty()) {
        // The unnamed text goes to the scratch script and "LastText"; the picked name becomes
        // the default, which the store then opens.
        store_->StoreScript("", language, text);
        store_->SaveWorkbenchState();
        store_->ApplyStore();
    } else if (InScriptList(previous)) {
        std::optional<StoredScript> stored = store_->FindScript(previous);
        if ((stored ? stored->text : std::string()) != text) {
            store_->StoreScript(previous, language, text);
            SaveScriptComboBoxFulling();
            MarkCaptionSaved();
        } else {
            SaveScriptComboBoxFulling();
        }
    } else {
        // A name never stored (or removed since): its text is kept in the scratch script,
        // and the picked script's own record is left as it is.
        store_->StoreScript("", language, text);
        SaveScriptComboBoxFulling();
    }
    active_script_name_ = view_.ScriptBoxText();
}

void WorkbenchPresenter::RemoveToolButtonClick() {
    if (!store_) return;
    const std::string name = view_.ScriptBoxText();
    // The store is loaded first: a missing or damaged one stops here, before the user is
    // asked and before the list changes.
    store_->FindScript(name);
    if (name.empty() || !InScriptList(name)) {
        view_.ShowMessage(u8"Выделите в списке сохранений удаляемый объект"_cp, u8"Ошибка"_cp,
                          MessageIcon::Warning, MessageButtons::Ok);
        return;
    }
    const std::string question = std::string(u8"Удаление записи"_cp) + " \"" + name + "\"\n\r" +
                                 std::string(u8"Вы уверены?"_cp);
    if (view_.ShowMessage(question, u8"Подверждение..."_cp, MessageIcon::Question,
                          MessageButtons::YesNo) != MessageResult::Yes)
        return;

    std::vector<std::string> names = view_.ScriptNames();
    const auto it = std::find(names.begin(), names.end(), name);
    view_.DeleteScriptName(static_cast<int>(it - names.begin()));
    store_->RemoveScript(name);

    names = view_.ScriptNames();
    if (names.empty()) return;
    int index = static_cast<int>(names.size()) - 1;
    if (names[index] == active_script_name_) --index;
    if (index < 0) return;
    active_script_name_ = names[index];
    view_.SetScriptBoxText(names[index]);
    store_->SaveWorkbenchState();
    store_->ApplyStore();
}

void WorkbenchPresenter::EnterActionExecute() {
    if (!store_) return;
    const std::string language = CurrentLanguage();
    const std::string name = view_.ScriptBoxText();
    const std::string text = view_.EditorText();
    const CaretPos caret = view_.Caret();
    store_->StoreScript(name, language, text);
    store_->SaveWorkbenchState();
    store_->ApplyStore();
    // The stored name is now the open script: a later pick must compare against it, not
    // against a name from before, whose record it would otherwise overwrite.
    active_script_name_ = name;
    view_.SetCaret(caret);
    MarkCaptionSaved();
}

// --- language -----------------------------------------------------------------------------

void WorkbenchPresenter::SwitchLanguage(Language language) {
    view_.SetLanguageButtonHint(u8"Изменить язык программирования скрипта"_cp);
    view_.SetCaption(LanguageCaption(language));
    view_.SetHighlighter(language);
    if (store_) store_->StoreScript(view_.ScriptBoxText(), CurrentLanguage(), view_.EditorText());
    MarkCaptionSaved();
}

void WorkbenchPresenter::SetVBScriptMenuItemClick() {
    SwitchLanguage(Language::VBScript);
}

void WorkbenchPresenter::SetJavaScriptMenuItemClick() {
    SwitchLanguage(Language::JavaScript);
}

void WorkbenchPresenter::SetLanguageClick() {
    if (view_.EditorLanguage() == Language::VBScript)
        SetJavaScriptMenuItemClick();
    else
        SetVBScriptMenuItemClick();
}

}  // namespace zeph::workbench
