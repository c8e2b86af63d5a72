// The static label: one line of text, shown as it is (no mnemonic prefix).
#include "controls/label_control.h"

#include "controls/colour_replies.h"
#include "controls/control_creation.h"
#include "controls/control_fields.h"
#include "toolkit/event_codes.h"

namespace controls {
namespace {

constexpr int32_t LabelKindCode = 3;
// SS_NOPREFIX: an ampersand is shown, not taken as a mnemonic.
constexpr uint32_t LabelStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_NOPREFIX;
static_assert(LabelStyle == 0x50020080);
constexpr uint32_t LabelFlags = 0;  // the labels of this system take no flags

LRESULT LabelNotify(ControlRecord* record, HWND, UINT message, WPARAM wParam, LPARAM) noexcept {
    if (message == WM_CTLCOLORSTATIC) return ColourReply(record, wParam, COLOR_BTNFACE);
    return toolkit::NotHandled;
}

// Colour replies and the back brush's release; the rest is the generic
// operations' (window text, SetFocus).
const ControlKind& LabelKind() noexcept {
    static const ControlKind kind{.kindCode = LabelKindCode, .notify = LabelNotify, .destroyHook = ReleaseBackBrush};
    return kind;
}

}  // namespace

HWND CreateLabelControl(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                        const wchar_t* text) noexcept {
    const DWORD exStyle = (LabelFlags >> 8) & WS_EX_CLIENTEDGE;
    const DWORD style = LabelFlags | LabelStyle;
    const CreatedControl made = CreateControlWindow(number, exStyle, L"Static", text, style, x, y, width, height);
    if (!made.window) return nullptr;
    BackColor(*made.record) = -1;
    FrontColor(*made.record) = -1;
    return RegisterControl(number, made.record, made.window, &LabelKind());
}

}  // namespace controls
