// The system's dialogs for choosing a script file to open or to save the editor's text to.
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string_view>

namespace zeph::win {

// `filter` is code page 1251 "description|pattern" pairs joined by "|". None when the user
// cancels; throws when the dialog cannot be shown.
std::optional<std::filesystem::path> ChooseFileToOpen(HWND owner, std::string_view filter);
// `filter_index` counts the pairs from 1; `extension` is added to a name typed without one; an
// existing file is replaced only after the dialog's own question.
std::optional<std::filesystem::path> ChooseFileToSave(HWND owner, std::string_view filter,
                                                      int filter_index, std::string_view extension,
                                                      std::string_view name);

}  // namespace zeph::win
