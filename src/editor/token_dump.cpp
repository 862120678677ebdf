#include "editor/token_dump.h"

#include <cstdio>
#include <vector>

#include "editor/editor_model.h"

namespace zeph::editor {

namespace {

void AppendJsonString(std::string& out, std::string_view s) {
    out += '"';
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
}

}  // namespace

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
                AppendJsonString(out, tokens[k].cls->name);
            else
                out += "null";
            out += ']';
        }
        out += "]\n";
    }
    return out;
}

}  // namespace zeph::editor
