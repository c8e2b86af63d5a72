#pragma once
// What a numbered window leaves to the library that owns its child controls.
// The toolkit knows nothing of controls: that library fills this table when
// it starts (controls::InitControls). An empty slot means "nothing there":
// a control's message is then not handled (default processing, and for a
// command a ControlEvent), and a new window takes no controls.

#include <windows.h>

namespace toolkit {

struct WindowHooks {
    // Offers a parent's message from or about one of its controls (WM_COMMAND,
    // WM_NOTIFY, WM_HSCROLL, WM_VSCROLL, WM_CTLCOLOR*) to that control's own
    // handler; NotHandled leaves it to the window procedure.
    LRESULT (*forwardToControl)(HWND control, HWND parent, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // Called by OpenMainWindow for a window opened without NoControlContainer:
    // makes it the window new controls go into; returns the previous one.
    HWND (*setControlContainer)(HWND window) noexcept;
    // Called at the start of a numbered window's WM_NCDESTROY step, while
    // its properties are still there: frees what the library attached.
    void (*windowDestroyed)(HWND window) noexcept;
};

// Replaces the whole table; called once at start-up, before any window opens.
void SetWindowHooks(const WindowHooks& hooks) noexcept;
[[nodiscard]] const WindowHooks& InstalledWindowHooks() noexcept;

}  // namespace toolkit
