// Tab and Shift+Tab: focus movement among the active window's tab stops, in
// the platform's enumeration order, with wrap-around.
#include "toolkit/shortcuts.h"

namespace toolkit {

namespace {

struct FocusWalk {
    HWND current;  // the focus window, if it lies inside the container
    HWND first;
    HWND last;
    HWND before;  // the candidate preceding `current`
    HWND after;   // the candidate following `current`
    bool currentIsCandidate;
};

bool IsCandidate(HWND window) noexcept {
    return IsWindowEnabled(window) && IsWindowVisible(window) &&
           (GetWindowLongPtrW(window, GWL_STYLE) & WS_TABSTOP) != 0;
}

BOOL CALLBACK VisitChild(HWND window, LPARAM lParam) noexcept {
    auto& walk = *reinterpret_cast<FocusWalk*>(lParam);
    if (!IsCandidate(window)) return TRUE;
    if (!walk.first) walk.first = window;
    if (walk.currentIsCandidate && !walk.after) walk.after = window;
    if (window == walk.current) {
        walk.currentIsCandidate = true;
        walk.before = walk.last;
    }
    walk.last = window;
    return TRUE;
}

}  // namespace

void MoveFocus(bool backward) noexcept {
    const HWND container = GetActiveWindow();
    if (!container) return;
    const HWND focus = GetFocus();
    FocusWalk walk{};
    walk.current = focus && IsChild(container, focus) ? focus : nullptr;
    EnumChildWindows(container, VisitChild, reinterpret_cast<LPARAM>(&walk));
    if (!walk.first) return;

    HWND target = nullptr;
    if (backward) {
        target = walk.currentIsCandidate && walk.before ? walk.before : walk.last;
    } else if (!walk.current) {
        target = walk.first;
    } else if (walk.currentIsCandidate) {
        target = walk.after ? walk.after : walk.first;
    }
    if (target) SetFocus(target);
}

}  // namespace toolkit
