// The programs the workbench starts come from the system's folders, never from the host's
// folder or the current one.
#include "workbench/shell_adapter.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace zeph::win {
namespace {

std::wstring Folder(UINT(WINAPI* where)(LPWSTR, UINT)) {
    wchar_t folder[MAX_PATH];
    const UINT n = where(folder, MAX_PATH);
    return std::wstring(folder, n);
}

TEST(ShellAdapter, BareProgramNamesAreTheSystemsOwnEvenWithPlantedCopies) {
    // Copies named hh.exe in the program's folder and in the current folder.
    wchar_t self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_GT(n, 0u);
    std::wstring own_folder(self, n);
    own_folder.resize(own_folder.find_last_of(L'\\'));
    wchar_t current[MAX_PATH];
    ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, current), 0u);
    const std::wstring planted[] = {own_folder + L"\\hh.exe", std::wstring(current) + L"\\hh.exe"};
    for (const std::wstring& p : planted) ASSERT_TRUE(::CopyFileW(self, p.c_str(), FALSE));

    const std::wstring windows = Folder(&::GetWindowsDirectoryW);
    const std::wstring system = Folder(&::GetSystemDirectoryW);
    const struct {
        const wchar_t* line;
        std::wstring program;
    } cases[] = {
        {L"hh C:\\Data\\Zeph_Help.chm", windows + L"\\hh.exe"},
        {L"hh", windows + L"\\hh.exe"},
        {L"regsvr32.exe /s x.dll", system + L"\\regsvr32.exe"},
        {L"C:\\Tools\\hh.exe file", L""},  // a path is the caller's choice
        {L"zeph_no_such_program x", L""},
    };
    for (const auto& c : cases) {
        const std::wstring got = ShellAdapter::SystemProgram(c.line);
        EXPECT_EQ(_wcsicmp(got.c_str(), c.program.c_str()), 0) << c.line;
    }
    for (const std::wstring& p : planted) ::DeleteFileW(p.c_str());
}

}  // namespace
}  // namespace zeph::win
