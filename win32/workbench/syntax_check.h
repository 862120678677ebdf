// Parsing a script without running it: a fresh engine of the language, given the text while it
// is only initialised and closed without ever being started, so that none of it runs. Nothing is
// published to it.
#pragma once

#include <optional>
#include <string_view>

#include "workbench/interfaces.h"

namespace zeph::win {

// The first syntax error of `code` in `language` ("VBScript" or "JavaScript"), or none. Throws
// HResultError when no engine can be had.
std::optional<workbench::ScriptError> CheckScriptSyntax(std::string_view language,
                                                        std::string_view code);

}  // namespace zeph::win
