#include "workbench/shell_adapter.h"

#include <windows.h>

#include "base/unique.h"
#include "base/wide.h"
#include "base/window_class.h"

namespace zeph::win {

bool ShellAdapter::FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ShellAdapter::SystemProgram(const std::wstring& command_line) {
    const std::wstring name = command_line.substr(0, command_line.find(L' '));
    if (name.empty() || name.find_first_of(L"\\/:\"") != std::wstring::npos) return {};
    wchar_t folder[MAX_PATH];
    for (UINT(WINAPI * where)(LPWSTR, UINT) : {&::GetWindowsDirectoryW, &::GetSystemDirectoryW}) {
        const UINT n = where(folder, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) continue;
        std::wstring path = std::wstring(folder, n) + L"\\" + name;
        if (name.find(L'.') == std::wstring::npos) path += L".exe";
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return path;
    }
    return {};
}

std::vector<std::string> ShellAdapter::ModuleFolders() {
    std::wstring path = ModuleFileName(CodeModule());
    std::vector<std::string> folders;
    for (int up = 0; up < 2; ++up) {
        const std::size_t slash = path.find_last_of(L"\\/");
        if (slash == std::wstring::npos) break;
        path.resize(slash);
        folders.push_back(Narrow(path) + "\\");
    }
    return folders;
}

void ShellAdapter::StartProgram(const std::string& command_line) {
    std::wstring line = Wide(command_line);
    // The command line stays as it is; the program is named by its full path.
    const std::wstring program = SystemProgram(line);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    if (::CreateProcessW(program.empty() ? nullptr : program.c_str(), line.data(), nullptr, nullptr,
                         FALSE, 0, nullptr, nullptr, &si, &pi)) {
        UniqueHandle thread(pi.hThread);
        UniqueHandle process(pi.hProcess);
    }
}

}  // namespace zeph::win
