// Binds code completion to the editor's model and its completion pop-up model: the workbench
// (and the command-line tool) construct one EditorCompletion per editor; it connects the
// pop-up's three events to the handlers of a CodeCompletion for as long as it lives.
#pragma once

#include "completion/completion.h"
#include "editor/completion_popup_model.h"
#include "editor/editor_model.h"

namespace zeph::completion {

// The editor's caret line and word queries.
class EditorModelView final : public ICompletionEditor {
  public:
    explicit EditorModelView(const editor::EditorModel& editor) : editor_(editor) {}
    std::string CaretLineText() const override { return editor_.CaretLineText(); }
    int CaretX() const override { return editor_.CaretX(); }
    int CaretY() const override { return editor_.CaretY(); }
    std::string WordAt(int column) const override { return editor_.WordAtColumn(column); }
    std::string WordAroundCaret() const override { return editor_.WordAtCaret(); }
    std::string ScriptText() const override { return editor_.Text(); }
    script::Language ScriptLanguage() const override;

  private:
    const editor::EditorModel& editor_;
};

// The pop-up model's lists.
class CompletionModelPopup final : public ICompletionPopup {
  public:
    explicit CompletionModelPopup(editor::CompletionModel& popup) : popup_(popup) {}
    void ClearLists() override { popup_.ClearList(); }
    void AddEntry(std::string_view item, std::string_view insert) override {
        popup_.AddItem(item, insert);
    }
    const std::vector<std::string>& ItemList() const override { return popup_.ItemList(); }
    void ResetFilter() override { popup_.ResetFilteredToItems(); }
    void SetWidth(int pixels) override { popup_.SetWidth(pixels); }

  private:
    editor::CompletionModel& popup_;
};

// Sets the pop-up's on_execute, on_code_completion and on_cancelled to the handlers, and clears
// them again on destruction. An error loading the description leaves on_execute (and so
// CompletionModel::Execute) as an exception, for the window's general error handler.
class EditorCompletion {
  public:
    EditorCompletion(editor::EditorModel& editor, editor::CompletionModel& popup,
                     IDescriptionSource& source, const ITextMeasure& measure);
    ~EditorCompletion();
    EditorCompletion(const EditorCompletion&) = delete;
    EditorCompletion& operator=(const EditorCompletion&) = delete;

    CodeCompletion& Completion() { return completion_; }

  private:
    editor::CompletionModel& popup_model_;
    EditorModelView view_;
    CompletionModelPopup popup_;
    CodeCompletion completion_;
};

}  // namespace zeph::completion
