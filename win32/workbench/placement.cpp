#include "workbench/placement.h"

namespace zeph::win {

namespace {

// The placement's restored rectangle is in work-area coordinates; the store keeps screen ones.
// The offset between them is where a top or left task bar pushes the work area.
POINT WorkAreaOffset(HWND hwnd) {
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (!::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &mi)) return {};
    return {mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top};
}

bool ShownNormally(HWND hwnd) {
    return !::IsIconic(hwnd) && !::IsZoomed(hwnd);
}

}  // namespace

int ShowCommand(store::WindowState state, bool first) {
    switch (state) {
        case store::WindowState::kMaximized:
            return first ? SW_SHOWMAXIMIZED : SW_MAXIMIZE;
        case store::WindowState::kMinimized:
            return first ? SW_SHOWMINNOACTIVE : SW_MINIMIZE;
        default:
            return first ? SW_SHOW : SW_RESTORE;
    }
}

store::WindowState ShownState(HWND hwnd) {
    if (::IsIconic(hwnd)) return store::WindowState::kMinimized;
    if (::IsZoomed(hwnd)) return store::WindowState::kMaximized;
    return store::WindowState::kNormal;
}

store::WindowBounds NormalBounds(HWND hwnd) {
    RECT r{};
    if (ShownNormally(hwnd)) {
        ::GetWindowRect(hwnd, &r);
    } else {
        WINDOWPLACEMENT wp{};
        wp.length = sizeof(wp);
        ::GetWindowPlacement(hwnd, &wp);
        r = wp.rcNormalPosition;
        const POINT offset = WorkAreaOffset(hwnd);
        ::OffsetRect(&r, offset.x, offset.y);
    }
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void SetNormalBounds(HWND hwnd, const store::WindowBounds& bounds) {
    if (ShownNormally(hwnd)) {
        // A later maximize or minimize restores to this place.
        ::SetWindowPos(hwnd, nullptr, bounds.left, bounds.top, bounds.width, bounds.height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    ::GetWindowPlacement(hwnd, &wp);
    const POINT offset = WorkAreaOffset(hwnd);
    wp.rcNormalPosition = {bounds.left - offset.x, bounds.top - offset.y,
                           bounds.left - offset.x + bounds.width,
                           bounds.top - offset.y + bounds.height};
    wp.flags = 0;
    ::SetWindowPlacement(hwnd, &wp);
}

}  // namespace zeph::win
