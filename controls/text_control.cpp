// The text control: an edit window that also reports gaining and losing the
// keyboard focus as control events.
#include "controls/text_control.h"

#include "controls/colour_replies.h"
#include "controls/control_creation.h"
#include "controls/control_fields.h"
#include "controls/controls_state.h"
#include "toolkit/event_codes.h"

namespace controls {
namespace {

constexpr int32_t TextKindCode = 2;
// ES_AUTOHSCROLL: lines scroll sideways rather than wrap.
constexpr uint32_t TextStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL;
static_assert(TextStyle == 0x50030080);
// Flag that turns the sunken client edge off.
constexpr uint32_t NoClientEdgeFlag = 0x20000;

LRESULT CALLBACK TextControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_SETFOCUS) RaiseControlEvent(window, ControlFocused);
    if (message == WM_KILLFOCUS) RaiseControlEvent(window, ControlUnfocused);
    return CallWindowProcW(Controls().editClassProc, window, message, wParam, lParam);
}

LRESULT TextNotify(ControlRecord* record, HWND, UINT message, WPARAM wParam, LPARAM) noexcept {
    if (message == WM_CTLCOLOREDIT) return ColourReply(record, wParam, COLOR_WINDOW);
    // The platform sends this for a read-only text control; a disabled one
    // keeps the platform's greyed look.
    if (message == WM_CTLCOLORSTATIC && IsWindowEnabled(record->window))
        return ColourReply(record, wParam, COLOR_BTNFACE);
    // Edit notifications go back to the parent, which raises them as
    // ControlEvents carrying the notification code.
    return toolkit::NotHandled;
}

// Colour replies and the back brush's release; the rest is the generic
// operations' (window text: the whole content; SetFocus).
const ControlKind& TextKind() noexcept {
    static const ControlKind kind{.kindCode = TextKindCode, .notify = TextNotify, .destroyHook = ReleaseBackBrush};
    return kind;
}

}  // namespace

HWND CreateTextControl(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* text,
                       uint32_t flags) noexcept {
    // 0x20000 >> 8 is WS_EX_CLIENTEDGE: the flag clears the edge the control
    // otherwise has.
    const DWORD exStyle = (~(flags >> 8)) & WS_EX_CLIENTEDGE;
    static_assert((NoClientEdgeFlag >> 8) == WS_EX_CLIENTEDGE);
    const DWORD style = flags | TextStyle;
    const CreatedControl made = CreateControlWindow(number, exStyle, L"Edit", text, style, x, y, width, height);
    if (!made.window) return nullptr;
    // Saved at every creation; every text control saves the same value.
    Controls().editClassProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(made.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TextControlProc)));
    BackColor(*made.record) = -1;
    FrontColor(*made.record) = -1;
    return RegisterControl(number, made.record, made.window, &TextKind());
}

}  // namespace controls
