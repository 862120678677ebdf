#include "completion/editor_binding.h"

namespace zeph::completion {

script::Language EditorModelView::ScriptLanguage() const {
    const editor::Highlighter* h = editor_.GetHighlighter();
    return h && h->ComponentName() == "JavaScriptHighlighter" ? script::Language::kJScript
                                                              : script::Language::kVBScript;
}

EditorCompletion::EditorCompletion(editor::EditorModel& editor, editor::CompletionModel& popup,
                                   IDescriptionSource& source, const ITextMeasure& measure)
    : popup_model_(popup),
      view_(editor),
      popup_(popup),
      completion_(view_, popup_, source, measure) {
    popup.on_execute = [this](editor::CompletionModel&, editor::ProposalExecuteArgs& args) {
        completion_.ScriptTextProposalExecute(args.can_open);
    };
    popup.on_code_completion = [this](editor::CompletionModel&, editor::ProposalAcceptArgs& args) {
        completion_.ScriptTextProposalCodeCompletion(args.value);
    };
    popup.on_cancelled = [this](editor::CompletionModel&) {
        completion_.ScriptTextProposalCancelled();
    };
}

EditorCompletion::~EditorCompletion() {
    popup_model_.on_execute = nullptr;
    popup_model_.on_code_completion = nullptr;
    popup_model_.on_cancelled = nullptr;
}

}  // namespace zeph::completion
