#include "workbench/file_dialogs.h"

#include <commdlg.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/wide.h"
#include "text/cp1251.h"

namespace zeph::win {

namespace {

using text::operator""_cp;

// Long paths are allowed for.
constexpr std::size_t kPathRoom = 32768;

// The dialog's form of the filter: pairs separated by NULs, ended by two.
std::wstring FilterText(std::string_view filter) {
    std::wstring text = Wide(filter);
    for (wchar_t& c : text)
        if (c == L'|') c = L'\0';
    text.push_back(L'\0');
    return text;  // the string's own terminator is the second NUL
}

std::optional<std::filesystem::path> Run(OPENFILENAMEW& ofn, bool save,
                                         std::vector<wchar_t>& path) {
    const BOOL chosen = save ? ::GetSaveFileNameW(&ofn) : ::GetOpenFileNameW(&ofn);
    if (chosen) return std::filesystem::path(std::wstring(path.data()));
    if (const DWORD error = ::CommDlgExtendedError(); error != 0)
        throw std::runtime_error(std::string(u8"Не удалось показать окно выбора файла (код "_cp) +
                                 std::to_string(error) + ")");
    return std::nullopt;
}

OPENFILENAMEW Common(HWND owner, const std::wstring& filter, std::vector<wchar_t>& path,
                     const std::wstring& title) {
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path.data();
    ofn.nMaxFile = static_cast<DWORD>(path.size());
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    return ofn;
}

}  // namespace

std::optional<std::filesystem::path> ChooseFileToOpen(HWND owner, std::string_view filter) {
    const std::wstring filters = FilterText(filter);
    const std::wstring title = Wide(u8"Открыть файл скрипта"_cp);
    std::vector<wchar_t> path(kPathRoom, L'\0');
    OPENFILENAMEW ofn = Common(owner, filters, path, title);
    ofn.Flags |= OFN_FILEMUSTEXIST;
    return Run(ofn, false, path);
}

std::optional<std::filesystem::path> ChooseFileToSave(HWND owner, std::string_view filter,
                                                      int filter_index, std::string_view extension,
                                                      std::string_view name) {
    const std::wstring filters = FilterText(filter);
    const std::wstring title = Wide(u8"Сохранить текст в файл"_cp);
    const std::wstring default_extension = Wide(extension);
    std::vector<wchar_t> path(kPathRoom, L'\0');
    const std::wstring offered = Wide(name);
    offered.copy(path.data(), std::min(offered.size(), path.size() - 1));
    OPENFILENAMEW ofn = Common(owner, filters, path, title);
    ofn.nFilterIndex = static_cast<DWORD>(filter_index);
    ofn.lpstrDefExt = default_extension.c_str();
    ofn.Flags |= OFN_OVERWRITEPROMPT;
    return Run(ofn, true, path);
}

}  // namespace zeph::win
