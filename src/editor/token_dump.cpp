#include "editor/token_dump.h"

#include <vector>

#include "editor/editor_model.h"
#include "text/json.h"

namespace zeph::editor {

std::string TokensAsJson(const Highlighter& highlighter, std::string_view text) {
    EditorModel model;
    model.SetText(text);
    model.SetHighlighter(&highlighter);
    std::vector<TokenRun> tokens;
    std::string out;
    for (int i = 0; i < model.LineCount(); ++i) {
        model.LineTokens(i, tokens);
        out += '[';
        for (std::size_t k = 0; k < tokens.size(); ++k) {
            if (k) out += ',';
            out += '[';
            out += std::to_string(tokens[k].start + 1);
            out += ',';
            out += std::to_string(tokens[k].length);
            out += ',';
            if (tokens[k].cls)
                text::AppendJsonString(out, tokens[k].cls->name);
            else
                out += "null";
            out += ']';
        }
        out += "]\n";
    }
    return out;
}

}  // namespace zeph::editor
