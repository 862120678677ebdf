// What the user-path test reads off the Wine desktop that the X server cannot tell it: the
// windows with their classes and titles, and a control's text. Output is UTF-8.
//   user_probe windows           one line per visible top-level window: class, title, rectangle
//   user_probe text CLASS        the text of the first window of that class (at any depth)
//   user_probe keys              the stop keys' asynchronous state, as the desktop keeps it
//   user_probe centre HEX        the screen point in the middle of the first visible control
//                                whose text is the UTF-8 text given in hexadecimal (a button to
//                                click; hexadecimal, as Wine reads a program's arguments in the
//                                terminal's encoding, which a test run may not have)
//   user_probe box HEX           the static texts of the visible top-level window titled with
//                                the UTF-8 text given in hexadecimal (a message box's message)
//   user_probe clip FILE         puts the file's UTF-8 text on the clipboard, for a paste by keys
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr,
                                        0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    ::GetClassNameW(hwnd, name, 256);
    return name;
}

// The window's text, asked with a time limit: a busy window must not hang the probe.
std::wstring TextOf(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        return L"<busy>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, 2000, &got))
        return L"<busy>";
    text.resize(got);
    return text;
}

BOOL CALLBACK PrintWindow(HWND hwnd, LPARAM) {
    if (!::IsWindowVisible(hwnd)) return TRUE;
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    // Titles straight from the window manager's copy: no message to a thread that may be busy.
    wchar_t title[512] = {};
    ::InternalGetWindowText(hwnd, title, 512);
    std::printf("%s\t%s\t%ld %ld %ld %ld\n", Utf8(ClassOf(hwnd)).c_str(), Utf8(title).c_str(),
                r.left, r.top, r.right, r.bottom);
    return TRUE;
}

struct Search {
    std::wstring cls;
    HWND found = nullptr;
};

BOOL CALLBACK FindChild(HWND hwnd, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    if (ClassOf(hwnd) == s->cls) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct TextSearch {
    std::wstring text;
    HWND found = nullptr;
};

BOOL CALLBACK FindTextChild(HWND hwnd, LPARAM p) {
    auto* s = reinterpret_cast<TextSearch*>(p);
    wchar_t text[256] = {};
    ::InternalGetWindowText(hwnd, text, 256);
    if (::IsWindowVisible(hwnd) && s->text == text) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindTextIn(HWND hwnd, LPARAM p) {
    auto* s = reinterpret_cast<TextSearch*>(p);
    if (::IsWindowVisible(hwnd)) ::EnumChildWindows(hwnd, &FindTextChild, p);
    return s->found ? FALSE : TRUE;
}

BOOL CALLBACK FindIn(HWND hwnd, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    if (!::IsWindowVisible(hwnd)) return TRUE;
    FindChild(hwnd, p);
    if (!s->found) ::EnumChildWindows(hwnd, &FindChild, p);
    return s->found ? FALSE : TRUE;
}

std::wstring FromHex(const wchar_t* hex) {
    std::string utf8;
    for (const wchar_t* h = hex; h[0] && h[1]; h += 2)
        utf8.push_back(static_cast<char>(std::wcstol(std::wstring(h, 2).c_str(), nullptr, 16)));
    std::wstring text(utf8.size(), L'\0');
    text.resize(static_cast<std::size_t>(
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(),
                              static_cast<int>(text.size()))));
    return text;
}

BOOL CALLBACK PrintStatic(HWND hwnd, LPARAM) {
    wchar_t text[1024] = {};
    ::InternalGetWindowText(hwnd, text, 1024);
    if (ClassOf(hwnd) == L"Static" && text[0]) std::printf("%s\n", Utf8(text).c_str());
    return TRUE;
}

int BoxText(const wchar_t* hex) {
    const std::wstring title = FromHex(hex);
    HWND box = nullptr;
    while ((box = ::FindWindowExW(nullptr, box, nullptr, title.c_str())) != nullptr)
        if (::IsWindowVisible(box)) break;
    if (!box) return 2;
    ::EnumChildWindows(box, &PrintStatic, 0);
    return 0;
}

int Clip(const wchar_t* path) {
    std::ifstream in(path, std::ios::binary);
    const std::string utf8{std::istreambuf_iterator<char>(in), {}};
    if (!in.good() && !in.eof()) return 2;
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, (static_cast<SIZE_T>(n) + 1) * sizeof(wchar_t));
    if (!mem) return 2;
    auto* w = static_cast<wchar_t*>(::GlobalLock(mem));
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w, n);
    w[n] = 0;
    ::GlobalUnlock(mem);
    if (!::OpenClipboard(nullptr)) return 2;
    ::EmptyClipboard();
    const bool set = ::SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
    ::CloseClipboard();
    if (!set) ::GlobalFree(mem);
    return set ? 0 : 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && std::wcscmp(argv[1], L"windows") == 0) {
        ::EnumWindows(&PrintWindow, 0);
        return 0;
    }
    if (argc >= 3 && std::wcscmp(argv[1], L"text") == 0) {
        Search s{argv[2]};
        ::EnumWindows(&FindIn, reinterpret_cast<LPARAM>(&s));
        if (!s.found) return 2;
        std::fputs(Utf8(TextOf(s.found)).c_str(), stdout);
        return 0;
    }
    if (argc >= 3 && std::wcscmp(argv[1], L"centre") == 0) {
        const std::wstring text = FromHex(argv[2]);
        TextSearch s{text};
        ::EnumWindows(&FindTextIn, reinterpret_cast<LPARAM>(&s));
        if (!s.found) return 2;
        RECT r{};
        ::GetWindowRect(s.found, &r);
        std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return 0;
    }
    if (argc >= 2 && std::wcscmp(argv[1], L"keys") == 0) {
        for (int vk : {VK_CANCEL, VK_CONTROL, VK_ESCAPE, VK_PAUSE, VK_RETURN})
            std::printf("%02x %04x\n", vk, static_cast<unsigned>(::GetAsyncKeyState(vk)) & 0xffff);
        return 0;
    }
    if (argc >= 3 && std::wcscmp(argv[1], L"clip") == 0) return Clip(argv[2]);
    if (argc >= 3 && std::wcscmp(argv[1], L"box") == 0) return BoxText(argv[2]);
    std::fputs("usage: user_probe windows | text CLASS | keys | centre HEX | box HEX | clip FILE\n",
               stderr);
    return 1;
}
