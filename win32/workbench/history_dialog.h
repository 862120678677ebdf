// The version history of a script: a modal dialog over the workbench that lists the versions
// with their time and size, shows the selected one read-only, and returns the one to restore.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "store/script_history.h"

namespace zeph::win {

// The index of the version to restore ("Восстановить"); none for "Закрыть", Esc or the
// caption's close box.
std::optional<std::size_t> RunHistoryDialog(HWND owner, std::string_view title,
                                            const std::vector<store::ScriptVersion>& versions);

}  // namespace zeph::win
