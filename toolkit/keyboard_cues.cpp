// Focus rectangles and accelerator underlines: shown once the keyboard is
// used, hidden again when the window is deactivated.
#include "toolkit/shortcuts.h"

namespace toolkit {

void SetKeyboardCues(HWND window, bool show) noexcept {
    const auto state = static_cast<UINT>(SendMessageW(window, WM_QUERYUISTATE, 0, 0));
    constexpr UINT both = UISF_HIDEFOCUS | UISF_HIDEACCEL;
    if (show) {
        if (state & both) SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, both), 0);
    } else if ((state & both) != both) {
        SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, both), 0);
    }
}

}  // namespace toolkit
