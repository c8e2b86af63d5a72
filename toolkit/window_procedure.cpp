// The class window procedure of numbered windows: platform messages become
// toolkit events; what a handler leaves alone goes to DefWindowProcW.
#include "toolkit/event_codes.h"
#include "toolkit/event_queue.h"
#include "toolkit/shortcuts.h"
#include "toolkit/window_hooks.h"
#include "toolkit/window_record.h"

namespace toolkit {

namespace {

// The window a message is about: its number (found on the window or the
// nearest parent that carries one), the window that carries it, the record.
struct Target {
    int64_t number;
    HWND numbered;
    WindowRecord* record;
};

Target FindTarget(HWND window) noexcept {
    const NumberedWindow numbered = FindNumberedWindow(window);
    return Target{numbered.number, numbered.window, numbered.number >= 0 ? FindWindowRecord(numbered.number) : nullptr};
}

// A message from or about a control goes to the control's own handler first,
// through the hook its library installed.
LRESULT OfferToControl(HWND control, HWND parent, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    const auto forward = InstalledWindowHooks().forwardToControl;
    return forward ? forward(control, parent, message, wParam, lParam) : NotHandled;
}

void Raise(int32_t code, const Target& t, int64_t object = 0) noexcept { RaiseEvent(code, object, t.number, 0, 0); }

bool IsOwnWindow(const Target& t, HWND window) noexcept { return t.record && t.record->handle == window; }

LRESULT OnClose(const Target& t, HWND window) noexcept {
    if (IsOwnWindow(t, window)) Raise(CloseEvent, t, t.number);
    // Never the default, which would destroy the window: the program decides.
    return 0;
}

LRESULT OnCommand(const Target& t, HWND window, WPARAM wParam, LPARAM lParam) noexcept {
    if (lParam != 0) {
        const auto control = reinterpret_cast<HWND>(lParam);
        if (OfferToControl(control, window, WM_COMMAND, wParam, lParam) != NotHandled) return 0;
        RaiseEvent(ControlEvent, GetWindowLongPtrW(control, GWLP_ID), t.number, HIWORD(wParam), 0);
        return 0;
    }
    if (HIWORD(wParam) != 0) {  // a shortcut, sent by TranslateAcceleratorW
        const uint32_t item = LOWORD(wParam);
        if (item == NextFocusItem) {
            MoveFocus(false);
        } else if (item == PreviousFocusItem) {
            MoveFocus(true);
        } else {
            Raise(MenuEvent, t, item);
        }
        return 0;
    }
    Raise(MenuEvent, t, static_cast<int64_t>(wParam));  // a menu item
    return 0;
}

LRESULT OnSize(const Target& t, HWND window, WPARAM wParam) noexcept {
    if (t.numbered != window) return 1;
    if (!t.record || t.record->openCompleted == 0) return NotHandled;
    WindowRecord& record = *t.record;
    switch (wParam) {
    case SIZE_MINIMIZED:
        record.minMaxState = 1;
        Raise(MinimizeEvent, t);
        break;
    case SIZE_MAXIMIZED:
        record.minMaxState = 1;
        Raise(MaximizeEvent, t);
        Raise(SizeEvent, t);
        break;
    case SIZE_RESTORED:
        if (record.minMaxState == 1) {
            record.minMaxState = 0;
            Raise(RestoreEvent, t);
        }
        [[fallthrough]];
    default:
        // Only the newest size matters.
        DropEvents(SizeEvent, 0, t.number, 0);
        Raise(SizeEvent, t);
        break;
    }
    return 0;
}

LRESULT OnMove(const Target& t, HWND window) noexcept {
    if (IsOwnWindow(t, window) && t.record->openCompleted == 1) Raise(MoveEvent, t, t.number);
    return 0;
}

LRESULT OnActivate(const Target& t, HWND window, WPARAM wParam) noexcept {
    if (LOWORD(wParam) != WA_INACTIVE) {
        // Back to the control that had the focus, not to the window itself.
        if (const HWND focus = static_cast<HWND>(GetPropW(window, FocusProperty))) SetFocus(focus);
        Raise(ActivateEvent, t);
    } else {
        SetPropW(window, FocusProperty, GetFocus());
        SetKeyboardCues(window, false);
        Raise(DeactivateEvent, t);
    }
    return 1;
}

LRESULT OnEraseBackground(const Target& t) noexcept {
    Raise(RepaintEvent, t);
    return NotHandled;  // the class brush erases
}

BOOL CALLBACK SendSysColorChange(HWND child, LPARAM) noexcept {
    SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

LRESULT OnSysColorChange(const Target& t, HWND window) noexcept {
    if (t.record) EnumChildWindows(window, SendSysColorChange, 0);
    return NotHandled;
}

LRESULT OnGetMinMaxInfo(const Target& t) noexcept { return t.record ? 0 : NotHandled; }

LRESULT OnNotify(HWND window, WPARAM wParam, LPARAM lParam) noexcept {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header) return NotHandled;
    return OfferToControl(header->hwndFrom, window, WM_NOTIFY, wParam, lParam);
}

// Scroll and colour messages name their control in lParam.
LRESULT OnControlMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (lParam == 0) return NotHandled;
    return OfferToControl(reinterpret_cast<HWND>(lParam), window, message, wParam, lParam);
}

LRESULT OnMouse(const Target& t, int32_t code) noexcept {
    Raise(code, t);
    return 0;
}

LRESULT OnNcDestroy(HWND window) noexcept {
    if (const auto destroyed = InstalledWindowHooks().windowDestroyed) destroyed(window);
    const int64_t number = WindowNumberOf(window);
    if (number < 0) return 1;
    RemovePropW(window, FocusProperty);
    RemovePropW(window, WindowIdProperty);
    // The record may already serve a newer window of the same number; only
    // this window's own record is cleared.
    WindowRecord* record = FindWindowRecord(number);
    if (record && record->handle == window) FreeShortcuts(*record);
    const WindowClassName className = ClassNameFor(number);
    (void)UnregisterClassW(className.text, GetModuleHandleW(nullptr));  // fails while other windows use it
    if (record && record->handle == window) WindowRegistry()->Release(number);
    DropWindowEvents(number);
    return 1;
}

LRESULT CoreWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    const Target t = FindTarget(window);
    switch (message) {
    case WM_CLOSE:              return OnClose(t, window);
    case WM_COMMAND:            return OnCommand(t, window, wParam, lParam);
    case WM_SIZE:               return OnSize(t, window, wParam);
    case WM_MOVE:               return OnMove(t, window);
    case WM_ACTIVATE:           return OnActivate(t, window, wParam);
    case WM_ERASEBKGND:         return OnEraseBackground(t);
    case WM_SYSCOLORCHANGE:     return OnSysColorChange(t, window);
    case WM_GETMINMAXINFO:      return OnGetMinMaxInfo(t);
    case WM_NOTIFY:             return OnNotify(window, wParam, lParam);
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:     return OnControlMessage(window, message, wParam, lParam);
    case WM_LBUTTONUP:          return OnMouse(t, LeftClickEvent);
    case WM_LBUTTONDBLCLK:      return OnMouse(t, LeftDoubleClickEvent);
    case WM_RBUTTONUP:          return OnMouse(t, RightClickEvent);
    case WM_NCDESTROY:          return OnNcDestroy(window);
    default:                    return NotHandled;
    }
}

}  // namespace

LRESULT CALLBACK ClassWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    const LRESULT result = CoreWindowProc(window, message, wParam, lParam);
    SetLastError(0);
    return result == NotHandled ? DefWindowProcW(window, message, wParam, lParam) : result;
}

}  // namespace toolkit
