// The words each language brings by itself: its keywords, and the functions, objects and
// constants a script may use without declaring them.
#pragma once

#include <span>
#include <string_view>

#include "script/lexer.h"

namespace zeph::script {

// VBScript words ignore letter case; JScript words do not.
bool IsKeyword(Language language, std::string_view word);
bool IsBuiltinName(Language language, std::string_view word);
// The keywords, as completion offers them.
std::span<const std::string_view> Keywords(Language language);

}  // namespace zeph::script
