// The tokens of a whole text, one compact JSON array per line: [[start, length, class], ...]
// with start counted from 1 and class the class name or null (the editor's own colours).
#pragma once

#include <string>
#include <string_view>

#include "editor/highlighter.h"

namespace zeph::editor {

// Lines are broken at CR LF, LF or CR; the JScript block-comment state carries across them.
std::string TokensAsJson(const Highlighter& highlighter, std::string_view text);

}  // namespace zeph::editor
