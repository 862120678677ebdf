#include "completion/line_completion.h"

#include "completion/editor_binding.h"
#include "text/cp1251.h"
#include "text/json.h"

namespace zeph::completion {

namespace {

void AppendString(std::string& out, std::string_view cp1251) {
    text::AppendJsonString(out, text::ToUtf8(cp1251));
}

void AppendStrings(std::string& out, const std::vector<std::string>& list) {
    out += '[';
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i) out += ',';
        AppendString(out, list[i]);
    }
    out += ']';
}

}  // namespace

LineCompletion CompleteLine(const std::filesystem::path& description, std::string_view line,
                            int column, const ITextMeasure& measure) {
    editor::EditorModel editor(editor::EditorOptions::ScriptEditor());
    editor.SetText(line);
    editor.SetCaretXY(column, 1);
    editor::CompletionModel popup(editor);
    FileDescriptionSource source(description);
    EditorCompletion binding(editor, popup, source, measure);
    binding.Completion().SetScriptNames(false);
    popup.Execute();

    LineCompletion result;
    result.items = popup.ItemList();
    result.inserts = popup.InsertList();
    if (!result.items.empty()) result.width = popup.width;
    result.input = popup.CurrentInput();
    result.shown = popup.ShownItems();
    return result;
}

std::string ToJson(const LineCompletion& result) {
    std::string out = "{\"items\":";
    AppendStrings(out, result.items);
    out += ",\"inserts\":";
    AppendStrings(out, result.inserts);
    out += ",\"width\":";
    out += result.width ? std::to_string(*result.width) : "null";
    out += ",\"input\":";
    AppendString(out, result.input);
    out += ",\"shown\":[";
    for (std::size_t i = 0; i < result.shown.size(); ++i) {
        if (i) out += ',';
        out += std::to_string(result.shown[i]);
    }
    out += "]}";
    return out;
}

}  // namespace zeph::completion
