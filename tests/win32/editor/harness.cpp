#include "win32/editor/harness.h"

#include <cstdio>
#include <vector>

namespace zeph::win::test {

namespace {

constexpr wchar_t kFrameClass[] = L"ZephEditorTestFrame";
constexpr DWORD kFrameStyle = WS_POPUP | WS_BORDER;

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterFrame() {
    static bool done = false;
    if (done) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &FrameProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kFrameClass;
    ::RegisterClassExW(&wc);
    done = true;
}

LPARAM KeyParam(int vk, bool up, bool alt) {
    UINT scan = ::MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
    LPARAM lp = 1 | (static_cast<LPARAM>(scan) << 16);
    if (alt) lp |= 1 << 29;
    if (up) lp |= (1u << 30) | (1u << 31);
    return lp;
}

}  // namespace

HWND CreateTestFrame(SIZE client) {
    RegisterFrame();
    RECT rc{0, 0, client.cx, client.cy};
    ::AdjustWindowRectEx(&rc, kFrameStyle, FALSE, 0);
    return ::CreateWindowExW(0, kFrameClass, L"Editor test", kFrameStyle, 40, 40,
                             rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

// Destroying a top-level window costs Wine about two seconds under Xvfb, so the tests share
// one frame and only their editors come and go.
static HWND SharedFrame(SIZE client) {
    static HWND frame = nullptr;
    if (!frame || !::IsWindow(frame)) frame = CreateTestFrame(client);
    RECT rc{0, 0, client.cx, client.cy};
    ::AdjustWindowRectEx(&rc, kFrameStyle, FALSE, 0);
    ::SetWindowPos(frame, nullptr, 40, 40, rc.right - rc.left, rc.bottom - rc.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    return frame;
}

EditorHost::EditorHost(ScriptEditorWindow::Settings settings, SIZE client, HWND frame)
    : frame_(frame ? frame : SharedFrame(client)) {
    RECT bounds{0, 0, client.cx, client.cy};
    editor_ = std::make_unique<ScriptEditorWindow>(frame_, 100, bounds, settings);
    ::ShowWindow(frame_, SW_SHOW);
    ::SetForegroundWindow(frame_);
    ::SetActiveWindow(frame_);
    editor_->Focus();
    ::UpdateWindow(frame_);
    Pump();
}

EditorHost::~EditorHost() {
    SetModifiers(0);
    editor_.reset();
    Pump();
}

void EditorHost::Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void EditorHost::SetModifiers(unsigned modifiers) {
    BYTE state[256];
    ::GetKeyboardState(state);
    auto set = [&](int vk, bool down) { state[vk] = down ? 0x80 : 0; };
    set(VK_SHIFT, modifiers & kShift);
    set(VK_LSHIFT, modifiers & kShift);
    set(VK_CONTROL, modifiers & kCtrl);
    set(VK_LCONTROL, modifiers & kCtrl);
    set(VK_MENU, modifiers & kAlt);
    set(VK_LMENU, modifiers & kAlt);
    ::SetKeyboardState(state);
}

void EditorHost::Key(int vk, unsigned modifiers) {
    HWND target = ::GetFocus() ? ::GetFocus() : hwnd();
    SetModifiers(modifiers);
    bool alt = modifiers & kAlt;
    bool sys = alt && !(modifiers & kCtrl);
    ::PostMessageW(target, sys ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<WPARAM>(vk),
                   KeyParam(vk, false, alt));
    Pump();
    ::PostMessageW(target, sys ? WM_SYSKEYUP : WM_KEYUP, static_cast<WPARAM>(vk),
                   KeyParam(vk, true, alt));
    Pump();
    SetModifiers(0);
}

void EditorHost::Type(const std::wstring& text) {
    HWND target = ::GetFocus() ? ::GetFocus() : hwnd();
    for (wchar_t ch : text) {
        ::PostMessageW(target, WM_CHAR, ch, 1);
        Pump();
    }
}

void EditorHost::Click(POINT pt, unsigned modifiers) {
    SetModifiers(modifiers);
    WPARAM keys =
        MK_LBUTTON | ((modifiers & kShift) ? MK_SHIFT : 0) | ((modifiers & kCtrl) ? MK_CONTROL : 0);
    ::SendMessageW(hwnd(), WM_LBUTTONDOWN, keys, MAKELPARAM(pt.x, pt.y));
    ::SendMessageW(hwnd(), WM_LBUTTONUP, keys & ~MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    Pump();
    SetModifiers(0);
}

void EditorHost::DoubleClick(POINT pt) {
    Click(pt);
    ::SendMessageW(hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    ::SendMessageW(hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    Pump();
}

void EditorHost::Drag(POINT from, POINT to) {
    ::SendMessageW(hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
    const int steps = 4;
    for (int i = 1; i <= steps; ++i) {
        int x = from.x + (to.x - from.x) * i / steps;
        int y = from.y + (to.y - from.y) * i / steps;
        ::SendMessageW(hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
    }
    ::SendMessageW(hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    Pump();
}

POINT EditorHost::CaretPoint(int line, int column) const {
    POINT p = editor_->PointOf({line, column});
    return {p.x + 1, p.y + editor_->LineHeight() / 2};
}

std::string ScreensDir() {
    return ZEPH_SCREENS_DIR;
}

bool SaveShownWindow(HWND hwnd, const std::string& path) {
    RECT wr{};
    ::GetWindowRect(hwnd, &wr);
    // What is on the screen, scroll bars included (Wine's PrintWindow leaves them out).
    ::RedrawWindow(hwnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC window_dc = ::GetWindowDC(hwnd);
    if (!window_dc) return false;
    bool ok = SaveBitmapFile(window_dc, wr.right - wr.left, wr.bottom - wr.top, path);
    ::ReleaseDC(hwnd, window_dc);
    return ok;
}

COLORREF ScreenPixel(HWND hwnd, int x, int y) {
    ::UpdateWindow(hwnd);
    WindowDc dc(hwnd);
    return ::GetPixel(dc.get(), x, y);
}

COLORREF ClientPixel(HWND hwnd, int x, int y) {
    RECT rc{};
    ::GetClientRect(hwnd, &rc);
    WindowDc screen(nullptr);
    UniqueMemoryDc dc(::CreateCompatibleDC(screen.get()));
    UniqueBitmap bmp(::CreateCompatibleBitmap(screen.get(), rc.right, rc.bottom));
    SelectedObject keep(dc.get(), bmp.get());
    ::SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    return ::GetPixel(dc.get(), x, y);
}

}  // namespace zeph::win::test
