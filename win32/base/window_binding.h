// The link from a window to the C++ object that owns its handle.
#pragma once

#include <windows.h>

namespace zeph::win {

// For a window created with its owning object as the creation parameter, the object holding
// the handle in the member `handle` (a UniqueWindow). At WM_NCCREATE the object is stored in
// the window's user data and takes the handle. At WM_NCDESTROY both links are dropped, so that
// an owner whose window its parent destroyed first does not destroy it again. Returns the
// object for every message in between; nullptr before, at and after WM_NCDESTROY, for the
// caller to pass to DefWindowProcW.
template <class T, class Handle>
T* BoundObject(HWND hwnd, UINT msg, LPARAM lp, Handle T::*handle) noexcept {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self) (self->*handle).reset(hwnd);
        return self;
    }
    auto* self = reinterpret_cast<T*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        (self->*handle).release();
        return nullptr;
    }
    return self;
}

}  // namespace zeph::win
