#include "completion/line_completion.h"

#include <cstdio>

#include "completion/editor_binding.h"
#include "text/cp1251.h"

namespace zeph::completion {

namespace {

void AppendString(std::string& out, std::string_view cp1251) {
    out += '"';
    for (char c : text::ToUtf8(cp1251)) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
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
