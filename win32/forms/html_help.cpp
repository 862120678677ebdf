#include "forms/html_help.h"

#include "base/result.h"
#include "base/wide.h"
#include "text/cp1251.h"

namespace zeph::win {

using text::operator""_cp;

namespace {

// The viewer's answer to kHelpGetLastError.
struct HelpLastError {
    int cbStruct = sizeof(HelpLastError);
    HRESULT hr = S_OK;
    BSTR description = nullptr;
};

}  // namespace

#if !defined(_WIN64)
static_assert(sizeof(HelpPopup) == 52, "the viewer reads a 52-byte popup record");
static_assert(sizeof(HelpLastError) == 12, "the viewer fills a 12-byte error record");
#endif

std::string HelpErrorMessage(const std::wstring& description) {
    return std::string(u8"Ошибка справочной системы: "_cp) + Narrow(description);
}

HtmlHelp::~HtmlHelp() {
    if (!entry_) return;
    entry_(nullptr, nullptr, kHelpCloseAll, 0);
    entry_(nullptr, nullptr, kHelpUninitialize, cookie_);
}

void HtmlHelp::Load() {
    // From the system folder by its full path: by bare name the host's folder and the current
    // one are searched first, and a planted copy there would be loaded into the host.
    wchar_t folder[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) ThrowLastError("GetSystemDirectoryW");
    const std::wstring path = std::wstring(folder, n) + L"\\HHCtrl.ocx";
    UniqueModule library(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library) ThrowLastError("LoadLibrary(HHCtrl.ocx)");
    auto entry = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(::GetProcAddress(library.get(), MAKEINTRESOURCEA(15))));
    if (!entry) ThrowLastError("GetProcAddress(HHCtrl.ocx, 15)");
    entry(nullptr, nullptr, kHelpInitialize, reinterpret_cast<DWORD_PTR>(&cookie_));
    library_ = std::move(library);
    entry_ = entry;
}

void HtmlHelp::Request(const std::string& file, UINT command, DWORD_PTR data) {
    if (!entry_) Load();
    // The wide entry: our own conversion of the path, whatever the system's code page.
    const std::wstring path = Wide(file);
    if (!entry_(nullptr, path.c_str(), command, data)) ReportLastError();
}

void HtmlHelp::ReportLastError() noexcept {
    try {
        HelpLastError error;
        if (!entry_(nullptr, nullptr, kHelpGetLastError, reinterpret_cast<DWORD_PTR>(&error)))
            return;
        UniqueBstr description(error.description);
        if (SUCCEEDED(error.hr) || !description || ::SysStringLen(description.get()) == 0) return;
        const std::wstring text = Wide(HelpErrorMessage(description.get()));
        ::MessageBoxW(::GetActiveWindow(), text.c_str(), L"Zeph", MB_OK | MB_ICONERROR);
    } catch (...) {
        // Reporting is all that is left to do; a failure to report goes unseen.
    }
}

}  // namespace zeph::win
