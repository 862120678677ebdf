#include "workbench/shell_adapter.h"

#include <windows.h>

#include <memory>
#include <string_view>

#include "base/unique.h"
#include "base/wide.h"
#include "base/window_class.h"

namespace zeph::win {

namespace {

BOOL CALLBACK FixViewerTitle(HWND hwnd, LPARAM lp) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    wchar_t name[32] = L"";
    ::GetClassNameW(hwnd, name, 32);
    if (process != static_cast<DWORD>(lp) || std::wstring_view(name) != L"HH Parent") return TRUE;
    wchar_t title[256] = L"";
    ::GetWindowTextW(hwnd, title, 256);
    const std::wstring fixed = ShellAdapter::GuideTitle(title, ::GetACP());
    DWORD_PTR ignored = 0;
    if (fixed != title)
        ::SendMessageTimeoutW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fixed.c_str()),
                              SMTO_ABORTIFHUNG, 1000, &ignored);
    return TRUE;
}

struct TitleWatch {
    HANDLE process;
    DWORD id;
    HMODULE module;
};

// Mends the viewer's title as long as the viewer runs: it sets the title again as it loads
// pages. Often at first, then once a second. The thread holds a reference to this module, so
// the host may release the module meanwhile.
DWORD WINAPI WatchViewerTitle(void* param) {
    HMODULE module = static_cast<TitleWatch*>(param)->module;
    {
        std::unique_ptr<TitleWatch> watch(static_cast<TitleWatch*>(param));
        UniqueHandle process(watch->process);
        for (int tries = 0;; ++tries) {
            const DWORD pause = tries < 100 ? 100 : 1000;
            if (::WaitForSingleObject(process.get(), pause) != WAIT_TIMEOUT) break;
            ::EnumWindows(&FixViewerTitle, static_cast<LPARAM>(watch->id));
        }
    }
    ::FreeLibraryAndExitThread(module, 0);
}

}  // namespace

std::wstring ShellAdapter::GuideTitle(const std::wstring& shown, unsigned code_page) {
    if (code_page == 1251 || shown.empty()) return shown;
    // Back to the bytes the viewer read (the one place where the system's code page is the
    // right one: it undoes the viewer's own decoding), then decoded as the guide's 1251.
    BOOL lost = FALSE;
    const int n = ::WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, shown.data(),
                                        static_cast<int>(shown.size()), nullptr, 0, nullptr, &lost);
    if (n <= 0 || lost) return shown;
    std::string bytes(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, shown.data(),
                          static_cast<int>(shown.size()), bytes.data(), n, nullptr, &lost);
    return Wide(bytes);
}

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
        HMODULE module = nullptr;
        if (::GetACP() == 1251 ||
            !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                  reinterpret_cast<LPCWSTR>(&WatchViewerTitle), &module))
            return;
        auto watch =
            std::make_unique<TitleWatch>(TitleWatch{process.get(), pi.dwProcessId, module});
        UniqueHandle watcher(
            ::CreateThread(nullptr, 0, &WatchViewerTitle, watch.get(), 0, nullptr));
        if (watcher) {
            watch.release();
            process.release();
        } else {
            ::FreeLibrary(module);
        }
    }
}

}  // namespace zeph::win
