// Script files and versions in the real window: a file dropped on the editor from the shell,
// and the history dialog opened by its key, its list and read-only preview, and the restore.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <gmock/gmock.h>

#include <cstring>
#include <fstream>
#include <utility>

#include "text/cp1251.h"
#include "window_fixture.h"

namespace zeph::win {
namespace {

using text::operator""_cp;
using wbtest::PumpUntil;
using wbtest::WorkbenchWindowTest;

// A drop of these files as the shell hands it to a window.
HDROP MakeDrop(const std::vector<std::wstring>& files) {
    std::size_t chars = 1;
    for (const std::wstring& f : files) chars += f.size() + 1;
    HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& f : files) {
        std::memcpy(out, f.c_str(), (f.size() + 1) * sizeof(wchar_t));
        out += f.size() + 1;
    }
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::wstring TempFile(const wchar_t* name, std::string_view bytes) {
    wchar_t temp[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + name;
    std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
    return path;
}

TEST_F(WorkbenchWindowTest, AFileDroppedOnTheEditorOpensInItsLanguage) {
    HWND editor = form->EditorHandle();
    EXPECT_TRUE(::GetWindowLongW(editor, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    const std::wstring file =
        TempFile(L"zeph_dropped.js", "\xEF\xBB\xBFvar dropped; // \xD0\x96\n");
    ::PostMessageW(editor, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({file})), 0);
    ASSERT_TRUE(PumpUntil([&] { return EditorText().starts_with("var dropped;"); }));
    EXPECT_EQ(EditorText(), "var dropped; // " + std::string(u8"Ж"_cp) + "\r\n");
    EXPECT_THAT(Caption(), ::testing::StartsWith(
                               std::string(u8"Модуль быстрого запуска скрипта (JavaScript)"_cp)));
    // The text shown before went to the store first, then the file's as the unnamed text.
    EXPECT_THAT(store.calls,
                ::testing::IsSupersetOf({"StoreScript(,VBScript)", "StoreScript(,JavaScript)"}));
    ::DeleteFileW(file.c_str());
}

struct VersionStore : wbtest::RecordingStore {
    std::vector<store::ScriptVersion> History(const std::string&) override {
        return {{"", "JavaScript", 1796677445, "var newer;\r\n"},
                {"", "VBScript", 1796600000, "older = 1\r\n"}};
    }
};

// What the history dialog showed when it came up.
struct DialogSeen {
    std::wstring title;
    LRESULT rows = 0;
    std::wstring preview;
};
DialogSeen* seen = nullptr;
HWND dialog = nullptr;

// Runs inside the dialog's own loop, once it is set up: looks, picks the second row, restores.
void CALLBACK PickSecondVersion(HWND, UINT, UINT_PTR timer, DWORD) {
    if (!dialog || !seen) return;
    ::KillTimer(nullptr, timer);
    HWND box = std::exchange(dialog, nullptr);
    wchar_t title[256] = L"";
    ::GetWindowTextW(box, title, 256);
    seen->title = title;
    seen->rows = ::SendDlgItemMessageW(box, 10, LB_GETCOUNT, 0, 0);
    ::SendDlgItemMessageW(box, 10, LB_SETCURSEL, 1, 0);
    ::SendMessageW(box, WM_COMMAND, MAKEWPARAM(10, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, 10)));
    wchar_t preview[256] = L"";
    ::GetDlgItemTextW(box, 11, preview, 256);
    seen->preview = preview;
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

LRESULT CALLBACK WatchForDialog(int code, WPARAM wparam, LPARAM lparam) {
    wchar_t cls[32] = L"";
    if (code == HCBT_ACTIVATE && seen && !dialog &&
        ::GetClassNameW(reinterpret_cast<HWND>(wparam), cls, 32) && std::wstring(cls) == L"#32770")
        dialog = reinterpret_cast<HWND>(wparam);
    return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

// The store outlives the window, which asks it once more as it goes.
class HistoryWindowTest : public WorkbenchWindowTest {
  protected:
    VersionStore versions;
};

TEST_F(HistoryWindowTest, TheHistoryKeyShowsTheVersionsAndRestoresTheChosenOne) {
    form->SetStore(&versions);
    DialogSeen shown;
    seen = &shown;
    HHOOK hook = ::SetWindowsHookExW(WH_CBT, &WatchForDialog, nullptr, ::GetCurrentThreadId());
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &PickSecondVersion);
    wbtest::Press('H', true, true);
    const bool restored = PumpUntil([&] { return EditorText() == "older = 1\r\n"; });
    ::UnhookWindowsHookEx(hook);
    ::KillTimer(nullptr, timer);
    seen = nullptr;
    dialog = nullptr;
    ASSERT_TRUE(restored) << EditorText();
    EXPECT_EQ(Narrow(shown.title), std::string(u8"История версий: текст без имени"_cp));
    EXPECT_EQ(shown.rows, 2);
    EXPECT_EQ(shown.preview, L"older = 1\r\n");
    // Stored as Enter stores: the text shown first, then the restored one with its language.
    EXPECT_THAT(versions.calls,
                ::testing::ElementsAre("StoreScript(,VBScript)", "StoreScript(,VBScript)",
                                       "SaveWorkbenchState", "ApplyStore"));
}

}  // namespace
}  // namespace zeph::win
