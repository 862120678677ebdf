#include "host/host_loop.h"

namespace tellur {

namespace {

// Commands of the palette and the accelerators: the main window ignores them, the loop counts.
constexpr WORD kAcceleratorBase = 1900;
constexpr wchar_t kPaletteClass[] = L"TTellurPalette";

}  // namespace

const std::vector<ACCEL>& ForeignLoop::Table() {
    static const std::vector<ACCEL> table = [] {
        const struct {
            BYTE mods;
            WORD key;
        } keys[] = {
            {FVIRTKEY, VK_F5},                 // run
            {FVIRTKEY | FCONTROL, VK_RETURN},  // run
            {FVIRTKEY | FCONTROL, 'S'},        // save the script
            {FVIRTKEY | FCONTROL, 'N'},        // new script
            {FVIRTKEY | FCONTROL, 'L'},        // switch the language
            {FVIRTKEY | FCONTROL, VK_SPACE},   // completion
            {FVIRTKEY | FCONTROL, 'A'},        // editor: select all
            {FVIRTKEY | FCONTROL, 'C'},        // editor: copy
            {FVIRTKEY | FCONTROL, 'V'},        // editor: paste
            {FVIRTKEY | FCONTROL, 'Z'},        // editor: undo
            {FVIRTKEY, VK_DELETE},             // editor: delete
            {FVIRTKEY, VK_F1},                 // help
        };
        std::vector<ACCEL> t;
        WORD cmd = kAcceleratorBase;
        for (const auto& k : keys) t.push_back(ACCEL{static_cast<BYTE>(k.mods), k.key, cmd++});
        return t;
    }();
    return table;
}

ForeignLoop::ForeignLoop(HWND frame) : frame_(frame) {
    std::vector<ACCEL> table = Table();
    accel_ = ::CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));
    // A small tool palette: an edit field and a button, kept by IsDialogMessage.
    WNDCLASSW wc{};
    wc.lpfnWndProc = &::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPaletteClass;
    ::RegisterClassW(&wc);  // already there from an earlier loop is as good
    palette_ = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT, kPaletteClass, L"Палитра",
                                 WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 200, 90, frame, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (palette_) {
        ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 8, 8,
                          176, 22, palette_, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ::CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 8, 36, 80, 22,
                          palette_, reinterpret_cast<HMENU>(IDOK), ::GetModuleHandleW(nullptr),
                          nullptr);
    }
}

ForeignLoop::~ForeignLoop() {
    if (palette_) ::DestroyWindow(palette_);
    if (accel_) ::DestroyAcceleratorTable(accel_);
}

bool ForeignLoop::PreTranslate(MSG& msg) {
    if (accel_ && ::TranslateAcceleratorW(frame_, accel_, &msg)) {
        keys_.push_back(static_cast<WORD>(msg.wParam));
        return true;
    }
    return palette_ && ::IsDialogMessageW(palette_, &msg);
}

int RunMessageLoop(ForeignLoop* loop) {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (loop && loop->PreTranslate(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace tellur
