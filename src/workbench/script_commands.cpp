// The presenter's commands on the script's outline: the procedure list, the status text, going
// to a line, commenting lines out and back, and the check without running.
#include <algorithm>
#include <unordered_set>

#include "completion/description_walk.h"
#include "script/line_comments.h"
#include "store/description.h"
#include "text/cp1251.h"
#include "workbench/presenter.h"

namespace zeph::workbench {

using text::operator""_cp;

script::Language ScriptLanguage(Language language) {
    return language == Language::VBScript ? script::Language::kVBScript
                                          : script::Language::kJScript;
}

std::string CaretStatusText(CaretPos pos) {
    std::string text(u8"Строка "_cp);
    text.append(std::to_string(pos.line)).append(u8", столбец "_cp);
    return text.append(std::to_string(pos.column));
}

std::string ProcedureEntryText(const script::Procedure& procedure) {
    std::string text = procedure.kind + " " + procedure.name + "(";
    for (std::size_t i = 0; i < procedure.params.size(); ++i)
        text.append(i ? ", " : "").append(procedure.params[i]);
    return text + ")";
}

std::string UndeclaredNameText(const script::UndeclaredName& name) {
    std::string text(u8"Не объявлено имя "_cp);
    text.append(name.name).append(name.lines.size() > 1 ? u8" (строки "_cp : u8" (строка "_cp);
    for (std::size_t i = 0; i < name.lines.size(); ++i)
        text.append(i ? ", " : "").append(std::to_string(name.lines[i]));
    return text + ")";
}

std::string CheckSummaryText(std::size_t undeclared) {
    if (undeclared == 0) return std::string(u8"Проверка: ошибок не найдено"_cp);
    return std::string(u8"Проверка: необъявленных имён: "_cp) + std::to_string(undeclared);
}

bool WorkbenchPresenter::IsScriptKey(KeyStroke key) {
    return key == Ctrl('G') || key == Ctrl(vk::kSlash) || key == F(7);
}

void WorkbenchPresenter::ScriptChanged() {
    procedures_ = script::NamedProcedures(
        script::Analyze(ScriptLanguage(view_.EditorLanguage()), view_.EditorText()));
    std::vector<std::string> entries;
    entries.reserve(procedures_.size());
    for (const script::Procedure& p : procedures_) entries.push_back(ProcedureEntryText(p));
    if (entries == procedure_entries_) return;
    procedure_entries_ = std::move(entries);
    view_.SetProcedureList(procedure_entries_);
}

void WorkbenchPresenter::CaretMoved() {
    view_.SetStatusText(CaretStatusText(view_.Caret()));
}

void WorkbenchPresenter::ProcedureChosen(int index) {
    if (index < 0 || index >= static_cast<int>(procedures_.size())) return;
    const script::Procedure& p = procedures_[static_cast<std::size_t>(index)];
    view_.SetCaret({p.line, p.column});
    view_.FocusEditor();
}

void WorkbenchPresenter::GoToLineExecute() {
    const int count = std::max(view_.LineCount(), 1);
    const std::optional<int> line = view_.AskLineNumber(view_.Caret().line, count);
    if (line) view_.SetCaret({std::clamp(*line, 1, count), 1});
    view_.FocusEditor();
}

void WorkbenchPresenter::ToggleCommentExecute() {
    const auto [first, last] = view_.SelectedLineRange();
    if (first < 1 || last < first || first > view_.LineCount()) return;
    std::vector<std::string> lines;
    for (int i = first; i <= std::min(last, view_.LineCount()); ++i)
        lines.push_back(view_.Line(i - 1));
    std::vector<std::string> toggled =
        script::ToggleLineComments(ScriptLanguage(view_.EditorLanguage()), lines);
    if (toggled != lines) view_.ReplaceLines(first, toggled);
}

std::function<bool(std::string_view)> WorkbenchPresenter::HostNames() {
    auto names = std::make_shared<std::unordered_set<std::string>>();
    for (std::string_view name : {"Application", "WScript"}) names->insert(text::ToUpper(name));
    completion::Description description(description_.LoadDescription());
    const int app = description.FindEntry(store::kApplicationInterface);
    if (app >= 0) {
        std::vector<int> entries{app};
        for (int base : description.BaseChain(app)) entries.push_back(base);
        for (int e : entries)
            description.ForEachMember(
                e, [&](const completion::MemberInfo& m) { names->insert(text::ToUpper(m.name)); });
    }
    for (const std::string& name : description.ConstantNames()) names->insert(text::ToUpper(name));
    return [names](std::string_view name) { return names->count(text::ToUpper(name)) > 0; };
}

void WorkbenchPresenter::CheckScriptExecute() {
    if (!host_ || !engines_) return;
    const std::string text = view_.EditorText();
    const Language language = view_.EditorLanguage();
    if (output_view_) output_view_->MarkErrorLine(0);
    if (std::optional<ScriptError> error = engines_->CheckSyntax(LanguageName(language), text)) {
        error->stopped = false;
        ShowScriptError(*error);
        return;
    }
    const script::Outline outline = script::Analyze(ScriptLanguage(language), text);
    std::vector<script::UndeclaredName> undeclared;
    if (outline.option_explicit) undeclared = script::UndeclaredNames(outline, HostNames());
    for (const script::UndeclaredName& name : undeclared)
        AppendOutput(UndeclaredNameText(name), CaretPos{name.line, name.column});
    AppendOutput(CheckSummaryText(undeclared.size()));
    if (!undeclared.empty()) view_.SetCaret({undeclared.front().line, undeclared.front().column});
    view_.FocusEditor();
}

}  // namespace zeph::workbench
