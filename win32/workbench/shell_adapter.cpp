#include "workbench/shell_adapter.h"

#include <windows.h>

#include "base/unique.h"
#include "base/wide.h"

namespace zeph::win {

bool ShellAdapter::FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void ShellAdapter::StartProgram(const std::string& command_line) {
    std::wstring line = Wide(command_line);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                         &pi)) {
        UniqueHandle thread(pi.hThread);
        UniqueHandle process(pi.hProcess);
    }
}

}  // namespace zeph::win
