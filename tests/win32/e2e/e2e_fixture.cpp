#include "e2e_fixture.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/wide.h"
#include "desktop.h"
#include "host/options.h"

namespace zeph::e2e {
namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

using win::test::ClipboardText;
using win::test::KeyInput;
using win::test::SetClipboardText;
using win::test::WindowsPath;

void ClearClipboard() {
    if (!::OpenClipboard(nullptr)) return;
    ::EmptyClipboard();
    ::CloseClipboard();
}

}  // namespace

namespace {
std::vector<WORD> menu_keys;

void CALLBACK MenuTick(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND menu = ::FindWindowW(L"#32768", nullptr);
    if (!menu || !::IsWindowVisible(menu)) return;
    ::KillTimer(nullptr, timer);
    std::vector<INPUT> in;
    for (WORD key : menu_keys) {
        in.push_back(KeyInput(key, false));
        in.push_back(KeyInput(key, true));
    }
    ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}
}  // namespace

void PressInMenu(std::vector<WORD> keys) {
    menu_keys = std::move(keys);
    ::SetTimer(nullptr, 0, 50, &MenuTick);
}

void Type(const std::wstring& text) {
    std::vector<INPUT> in;
    for (wchar_t c : text) {
        for (bool up : {false, true}) {
            INPUT i{};
            i.type = INPUT_KEYBOARD;
            i.ki.wScan = c;
            i.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            in.push_back(i);
        }
    }
    ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
    EXPECT_TRUE(win::test::InputHandled());
}

void Click(POINT screen) {
    const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3]{};
    in[0].type = INPUT_MOUSE;
    in[0].mi.dx = static_cast<LONG>((screen.x * 65536 + w / 2) / w);
    in[0].mi.dy = static_cast<LONG>((screen.y * 65536 + h / 2) / h);
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1] = in[0];
    in[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    in[2] = in[0];
    in[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    ::SendInput(3, in, sizeof(INPUT));
    EXPECT_TRUE(win::test::InputHandled());
}

std::wstring WindowText(HWND hwnd) {
    wchar_t buffer[1024] = L"";
    ::GetWindowTextW(hwnd, buffer, 1024);
    return buffer;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t buffer[128] = L"";
    ::GetClassNameW(hwnd, buffer, 128);
    return buffer;
}

HWND FindChild(HWND parent, const wchar_t* className) {
    struct Search {
        const wchar_t* name;
        HWND found;
        static BOOL CALLBACK Visit(HWND hwnd, LPARAM lp) {
            auto* s = reinterpret_cast<Search*>(lp);
            if (_wcsicmp(ClassOf(hwnd).c_str(), s->name) != 0) return TRUE;
            s->found = hwnd;
            return FALSE;
        }
    } search{className, nullptr};
    ::EnumChildWindows(parent, &Search::Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// --- message boxes ----------------------------------------------------------------------------

BoxWatcher::BoxWatcher(int answer) : answer_(answer) {
    current_ = this;
    timer_ = ::SetTimer(nullptr, 0, 50, &Tick);
}

BoxWatcher::~BoxWatcher() {
    ::KillTimer(nullptr, timer_);
    current_ = nullptr;
}

void CALLBACK BoxWatcher::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (current_) ::EnumThreadWindows(::GetCurrentThreadId(), &Visit, 0);
}

BOOL CALLBACK BoxWatcher::Visit(HWND hwnd, LPARAM) {
    if (ClassOf(hwnd) != L"#32770" || !::IsWindowVisible(hwnd)) return TRUE;
    BoxWatcher* self = current_;
    // The box's own static with the message; the icon is the static showing an icon.
    SeenBox box;
    box.caption = WindowText(hwnd);
    box.owner = ::GetWindow(hwnd, GW_OWNER);
    wchar_t text[1024] = L"";
    ::GetDlgItemTextW(hwnd, 0xFFFF, text, 1024);
    box.text = text;
    for (HWND child = ::GetWindow(hwnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) != L"Static") continue;
        HICON icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        if (icon && icon == ::LoadIconW(nullptr, IDI_HAND)) box.errorIcon = true;
    }
    self->boxes.push_back(box);
    HWND button = ::GetDlgItem(hwnd, self->answer_);
    if (button)
        ::SendMessageW(button, BM_CLICK, 0, 0);
    else
        ::SendMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
    return FALSE;
}

std::string ReadFileBytes(const std::wstring& path) {
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return {};
    std::string bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

// --- the fixture ------------------------------------------------------------------------------

void EndToEndTest::SetUpTestSuite() {
    ASSERT_EQ(::OleInitialize(nullptr), S_OK);
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_BAR_CLASSES | ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&icc);
    // The module's type library imports the host's; the host registers it, as Tellur.exe does.
    ASSERT_EQ(tellur::RegisterHostTypeLibrary(), S_OK);
    dll_ = ::LoadLibraryW(WindowsPath(ZEPH_MODULE_DLL).c_str());
    ASSERT_TRUE(dll_) << "cannot load zeph.dll, error " << ::GetLastError();

    host_ = std::make_shared<tellur::Host>();
    host_->map.Read(kSmallMap, L"small.tmap");
    window_ = new tellur::MainWindow(host_);
    frame_ = window_->Create();
    ::SetWindowPos(frame_, nullptr, 0, 0, 800, 560, SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(frame_, SW_SHOW);
    window_->ZoomAll();
    Pump();
}

void EndToEndTest::TearDownTestSuite() {
    delete window_;
    window_ = nullptr;
    EXPECT_TRUE(PumpPosted());
    host_.reset();
    if (dll_) ::FreeLibrary(dll_);
    ::OleUninitialize();
}

void EndToEndTest::SetUp() {
    ASSERT_TRUE(dll_ && window_);
    // A fresh data folder per test, with the description the host installs there.
    wchar_t temp[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"zeph_e2e_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
              std::to_wstring(++sequence_) + L"\\";
    folder_ = tellur::PrepareDataFolder(folder_);
    tellur::InstallDescription(folder_);
    ASSERT_FALSE(ReadFileBytes(folder_ + L"TellurTlb.xml").empty());
    host_->dataFolder = folder_;
    host_->map.Read(kSmallMap, L"small.tmap");
    window_->ZoomAll();
}

void EndToEndTest::TearDown() {
    module_.reset();  // frees an open window
    EXPECT_TRUE(PumpPosted());
    // The store with its backup and what a save may leave: a backup left alone would be
    // restored, and said so, at the next opening in this folder.
    for (const wchar_t* name :
         {L"zpconfig.cfg", L"zpconfig.cfg.bak", L"zpconfig.cfg.tmp", L"zpconfig.cfg.bak.new",
          L"zpconfig.rescue", L"zpconfig.cfg.lock", L"zpconfig.cfg.lock.next", L"TellurTlb.xml"})
        ::DeleteFileW((folder_ + name).c_str());
    ::RemoveDirectoryW(folder_.c_str());
}

HWND EndToEndTest::FindWorkbench() const {
    struct Search {
        HWND owner;
        HWND found;
        static BOOL CALLBACK Visit(HWND hwnd, LPARAM lp) {
            auto* s = reinterpret_cast<Search*>(lp);
            if (ClassOf(hwnd) != L"TMainModelessDialogForm" || !::IsWindowVisible(hwnd))
                return TRUE;
            if (::GetWindow(hwnd, GW_OWNER) != s->owner) return TRUE;
            s->found = hwnd;
            return FALSE;
        }
    } search{frame_, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), &Search::Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void EndToEndTest::OpenWorkbench() {
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(::GetProcAddress(dll_, "DllGetClassObject")));
    ASSERT_TRUE(getClassObject);
    win::ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_ComModule, IID_IClassFactory, factory.put_void()), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IComModule, module_.put_void()), S_OK);
    ASSERT_EQ(module_->Init(window_->application()), S_OK);
    ReopenWorkbench();
}

void EndToEndTest::ReopenWorkbench() {
    ASSERT_EQ(module_->OpenMainModelessDialog(), S_OK);
    Pump();
    wb_ = FindWorkbench();
    ASSERT_TRUE(wb_) << "no workbench window over the host";
    editor_ = FindChild(wb_, L"TScriptEditor");
    combo_ = FindChild(wb_, L"ComboBox");
    toolbar_ = FindChild(wb_, TOOLBARCLASSNAMEW);
    ASSERT_TRUE(editor_ && combo_ && toolbar_);
    ::SetForegroundWindow(wb_);
    Pump();
}

void EndToEndTest::FocusEditor() {
    ::SetForegroundWindow(wb_);
    Press(VK_ESCAPE);  // the window's own move to the editor
}

std::wstring EndToEndTest::EditorText() {
    FocusEditor();
    ClearClipboard();
    Press('A', true);
    Press('C', true);
    return ClipboardText();
}

void EndToEndTest::PasteIntoEditor(const std::wstring& text) {
    FocusEditor();
    Press('A', true);
    if (text.empty()) {
        Press(VK_DELETE);
        return;
    }
    ASSERT_TRUE(SetClipboardText(text));
    Press('V', true);
}

POINT EndToEndTest::CaretByMarker() {
    Type(L"\x00A4");
    const std::wstring text = markedText_ = EditorText();
    const size_t at = text.find(L'\x00A4');
    if (at == std::wstring::npos) return {0, 0};
    POINT pos{1, 1};
    size_t lineStart = 0;
    for (size_t i = 0; i < at; ++i)
        if (text[i] == L'\n') {
            ++pos.y;
            lineStart = i + 1;
        }
    pos.x = static_cast<LONG>(at - lineStart + 1);
    return pos;
}

std::vector<std::wstring> EndToEndTest::ListEntries() const {
    std::vector<std::wstring> entries;
    const int count = static_cast<int>(::SendMessageW(combo_, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t item[256] = L"";
        ::SendMessageW(combo_, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        entries.push_back(item);
    }
    return entries;
}

void EndToEndTest::ClickToolButton(int index) {
    RECT r{};
    ASSERT_TRUE(::SendMessageW(toolbar_, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r)));
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ::ClientToScreen(toolbar_, &p);
    Click(p);
}

void EndToEndTest::PickFromList(const std::wstring& name) {
    Press(VK_F4);
    ASSERT_TRUE(::SendMessageW(combo_, CB_GETDROPPEDSTATE, 0, 0));
    const int index = static_cast<int>(
        ::SendMessageW(combo_, CB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(name.c_str())));
    ASSERT_GE(index, 0);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(::GetComboBoxInfo(combo_, &info));
    RECT r{};
    ::SendMessageW(info.hwndList, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ::ClientToScreen(info.hwndList, &p);
    ASSERT_TRUE(PumpUntil([&] { return ::WindowFromPoint(p) == info.hwndList; }, win::test::kWaitMs,
                          "the list under the item's point"));
    const auto dropped = [&] { return ::SendMessageW(combo_, CB_GETDROPPEDSTATE, 0, 0) != 0; };
    Click(p);
    // Wine on a bare X server can lose a click on a list that has only just dropped: the list
    // is still open then, and a second click is safe.
    if (dropped()) Click(p);
    EXPECT_TRUE(PumpUntil([&] { return !dropped(); }, win::test::kWaitMs, "the list to close"));
}

std::vector<std::string> EndToEndTest::ScriptLines() const {
    std::vector<std::string> lines;
    const std::string bytes = StoreBytes();
    size_t at = 0;
    while ((at = bytes.find("<Script ", at)) != std::string::npos) {
        const size_t end = bytes.find("/>", at);
        lines.push_back(bytes.substr(at, end == std::string::npos ? end : end + 2 - at));
        at = end == std::string::npos ? bytes.size() : end;
    }
    return lines;
}

std::string EndToEndTest::ConfigurationLine() const {
    const std::string bytes = StoreBytes();
    const size_t at = bytes.find("<Configuration ");
    if (at == std::string::npos) return {};
    return bytes.substr(at, bytes.find('>', at) + 1 - at);
}

void EndToEndTest::SaveScreenshot(const std::string& name) const {
    ::RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::RedrawWindow(wb_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    EXPECT_TRUE(PumpPosted());
    RECT host{}, bench{};
    ::GetWindowRect(frame_, &host);
    ::GetWindowRect(wb_, &bench);
    RECT all{};
    ::UnionRect(&all, &host, &bench);
    all.left = std::max(all.left, 0L);
    all.top = std::max(all.top, 0L);
    win::test::SaveScreenBitmap(all, std::string(ZEPH_SCREENS_DIR) + "/" + name);
}

}  // namespace zeph::e2e
