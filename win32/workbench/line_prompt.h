// The Ctrl+G prompt: a small modal dialog asking for a line number.
#pragma once

#include <windows.h>

#include <optional>

namespace zeph::win {

// Asks for a line from 1 to `count` over `owner`, offering `current`. None when cancelled or
// when what was typed is no number.
std::optional<int> AskLineNumber(HWND owner, int current, int count);

}  // namespace zeph::win
