#include "desktop.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

#include "base/unique.h"
#include "wait.h"

namespace zeph::win::test {

std::wstring ClipboardText() {
    std::wstring text;
    if (!::OpenClipboard(nullptr)) return text;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = p;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

bool SetClipboardText(const std::wstring& text) {
    if (!::OpenClipboard(nullptr)) return false;
    ::EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    UniqueGlobal mem(::GlobalAlloc(GMEM_MOVEABLE, bytes));
    bool ok = false;
    if (void* p = mem ? ::GlobalLock(mem.get()) : nullptr) {
        std::memcpy(p, text.c_str(), bytes);
        ::GlobalUnlock(mem.get());
        // The clipboard owns the memory once it took it.
        ok = ::SetClipboardData(CF_UNICODETEXT, mem.get()) != nullptr;
        if (ok) mem.release();
    }
    ::CloseClipboard();
    return ok;
}

bool SaveBitmapFile(HDC source, int w, int h, const std::string& path) {
    if (w <= 0 || h <= 0) return false;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;  // bottom-up, as the file stores it
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap dib(::CreateDIBSection(source, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDc dc(::CreateCompatibleDC(source));
    if (!dib || !dc) return false;
    {
        SelectedObject keep(dc.get(), dib.get());
        if (!::BitBlt(dc.get(), 0, 0, w, h, source, 0, 0, SRCCOPY)) return false;
        ::GdiFlush();
    }
    const std::size_t slash = path.find_last_of("/\\");
    if (slash != std::string::npos) ::CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const int stride = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(stride * h);
    const bool ok = std::fwrite(&fh, sizeof(fh), 1, f) == 1 &&
                    std::fwrite(&bi.bmiHeader, sizeof(bi.bmiHeader), 1, f) == 1 &&
                    std::fwrite(bits, static_cast<size_t>(stride * h), 1, f) == 1;
    return std::fclose(f) == 0 && ok;
}

bool SaveScreenBitmap(const RECT& area, const std::string& path) {
    const int w = area.right - area.left, h = area.bottom - area.top;
    WindowDc screen(nullptr);
    UniqueMemoryDc dc(::CreateCompatibleDC(screen.get()));
    UniqueBitmap bmp(::CreateCompatibleBitmap(screen.get(), std::max(w, 1), std::max(h, 1)));
    if (!dc || !bmp) return false;
    SelectedObject keep(dc.get(), bmp.get());
    ::BitBlt(dc.get(), 0, 0, w, h, screen.get(), area.left, area.top, SRCCOPY);
    return SaveBitmapFile(dc.get(), w, h, path);
}

bool SaveWindowBitmap(HWND hwnd, const std::string& path) {
    RECT client{};
    ::GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ::ClientToScreen(hwnd, &origin);
    const int caption = ::GetSystemMetrics(SM_CYCAPTION);
    const int w = client.right, h = client.bottom + caption;
    WindowDc screen(nullptr);
    UniqueMemoryDc mem(::CreateCompatibleDC(screen.get()));
    UniqueBitmap bmp(::CreateCompatibleBitmap(screen.get(), std::max(w, 1), std::max(h, 1)));
    if (!mem || !bmp) return false;
    SelectedObject keep(mem.get(), bmp.get());
    RECT bar{0, 0, w, caption};
    ::DrawCaption(hwnd, mem.get(), &bar, DC_ACTIVE | DC_TEXT | DC_ICON | DC_GRADIENT);
    ::BitBlt(mem.get(), 0, caption, w, client.bottom, screen.get(), origin.x, origin.y, SRCCOPY);
    return SaveBitmapFile(mem.get(), w, h, path);
}

namespace {

struct WindowSearch {
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK VisitForSearch(HWND w, LPARAM p) {
    auto* search = reinterpret_cast<WindowSearch*>(p);
    wchar_t cls[128] = L"";
    ::GetClassNameW(w, cls, 128);
    if (std::wcscmp(cls, search->className) != 0 || !::IsWindowVisible(w)) return TRUE;
    search->found = w;
    return FALSE;
}

std::function<bool(MSG&)>& LoopFilter() {
    static std::function<bool(MSG&)> filter;
    return filter;
}

}  // namespace

HWND FindVisibleWindow(const wchar_t* className) {
    WindowSearch search{className, nullptr};
    ::EnumWindows(&VisitForSearch, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void SetLoopFilter(std::function<bool(MSG&)> filter) {
    LoopFilter() = std::move(filter);
}

bool RunLoopFilter(MSG& msg) {
    return LoopFilter() && LoopFilter()(msg);
}

void Pump(UINT ms) {
    const UINT_PTR timer = ::SetTimer(nullptr, 0, ms, nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == timer) break;
        if (RunLoopFilter(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    ::KillTimer(nullptr, timer);
}

INPUT KeyInput(WORD vk, bool up) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = vk;
    i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return i;
}

void Press(WORD key, bool ctrl, bool shift) {
    std::vector<INPUT> in;
    if (ctrl) in.push_back(KeyInput(VK_CONTROL, false));
    if (shift) in.push_back(KeyInput(VK_SHIFT, false));
    in.push_back(KeyInput(key, false));
    in.push_back(KeyInput(key, true));
    if (shift) in.push_back(KeyInput(VK_SHIFT, true));
    if (ctrl) in.push_back(KeyInput(VK_CONTROL, true));
    ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
    EXPECT_TRUE(InputHandled());
}

std::wstring WindowsPath(const std::string& unix_path) {
    std::wstring path(unix_path.begin(), unix_path.end());
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (!path.empty() && path[0] == L'\\') path = L"Z:" + path;
    return path;
}

}  // namespace zeph::win::test
