#include "editor/scroll_hint.h"

#include "base/window_class.h"

namespace zeph::win {

namespace {

constexpr wchar_t kClassName[] = L"TScrollHint";

void RegisterOnce(WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.style = CS_SAVEBITS | CS_DROPSHADOW;
    wc.lpfnWndProc = proc;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = ::GetSysColorBrush(COLOR_INFOBK);
    wc.lpszClassName = kClassName;
    try {
        RegisterModuleClass(wc);
    } catch (...) {
        // No class, no hint: the window below is not made and Show does nothing.
    }
}

}  // namespace

LRESULT CALLBACK ScrollHintWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<ScrollHintWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_NCCREATE: {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
            break;
        }
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        case WM_PAINT: {
            PaintDc dc(hwnd);
            if (!self) return 0;
            RECT rc;
            ::GetClientRect(hwnd, &rc);
            ::FillRect(dc.get(), &rc, ::GetSysColorBrush(COLOR_INFOBK));
            SelectedObject font(dc.get(), self->font_.get());
            ::SetBkMode(dc.get(), TRANSPARENT);
            ::SetTextColor(dc.get(), ::GetSysColor(COLOR_INFOTEXT));
            ::DrawTextW(dc.get(), self->text_.c_str(), static_cast<int>(self->text_.size()), &rc,
                        DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            return 0;
        }
        case WM_NCDESTROY:
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            if (self) self->hwnd_.release();
            break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void ScrollHintWindow::Show(HWND owner, POINT anchor, const std::wstring& text) {
    if (!hwnd_) {
        RegisterOnce(&WindowProc);
        NONCLIENTMETRICSW ncm{};
        ncm.cbSize = sizeof(ncm);
        ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
        ncm.lfStatusFont.lfCharSet = RUSSIAN_CHARSET;
        font_.reset(::CreateFontIndirectW(&ncm.lfStatusFont));
        hwnd_.reset(::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE,
                                      kClassName, L"", WS_POPUP | WS_BORDER, 0, 0, 10, 10, owner,
                                      nullptr, CodeModule(), this));
        if (!hwnd_) return;
    }
    text_ = text;
    ::SetWindowTextW(hwnd_.get(), text_.c_str());  // for screen readers and tests
    SIZE size{};
    {
        WindowDc dc(hwnd_.get());
        SelectedObject font(dc.get(), font_.get());
        ::GetTextExtentPoint32W(dc.get(), text_.c_str(), static_cast<int>(text_.size()), &size);
    }
    int w = size.cx + 10, h = size.cy + 6;
    ::SetWindowPos(hwnd_.get(), HWND_TOPMOST, anchor.x - w, anchor.y - h / 2, w, h,
                   SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::InvalidateRect(hwnd_.get(), nullptr, TRUE);
    ::UpdateWindow(hwnd_.get());
}

void ScrollHintWindow::Hide() {
    if (hwnd_) ::ShowWindow(hwnd_.get(), SW_HIDE);
}

bool ScrollHintWindow::Visible() const {
    return hwnd_ && ::IsWindowVisible(hwnd_.get());
}

}  // namespace zeph::win
