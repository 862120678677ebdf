// One completion request on an editor holding a single line, as the pop-up has it when it opens:
// the tool `zeph complete` prints it as JSON.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "completion/completion.h"

namespace zeph::completion {

struct LineCompletion {
    std::vector<std::string> items;    // code page 1251
    std::vector<std::string> inserts;  // code page 1251
    std::optional<int> width;          // none when nothing was listed
    std::string input;                 // the pop-up's current input, code page 1251
    std::vector<int> shown;            // positions in `items` of the lines the filter shows
};

// Puts `line` (code page 1251) into a script editor, the caret on line 1 at `column` (from 1,
// possibly beyond the line's end), and opens the completion pop-up there. Errors loading the
// description propagate. What is listed comes from the description alone, not from names the
// line itself assigns or declares.
LineCompletion CompleteLine(const std::filesystem::path& description, std::string_view line,
                            int column, const ITextMeasure& measure);

// {"items":[...],"inserts":[...],"width":W,"input":"...","shown":[...]} in compact UTF-8 JSON.
std::string ToJson(const LineCompletion& result);

}  // namespace zeph::completion
