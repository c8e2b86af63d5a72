// Colour replies of label and text controls to the WM_CTLCOLOR* messages
// their parent forwards.
#include "controls/colour_replies.h"

#include "controls/control_fields.h"
#include "toolkit/event_codes.h"

namespace controls {

LRESULT ColourReply(ControlRecord* record, WPARAM wParam, int defaultColorIndex) noexcept {
    auto dc = reinterpret_cast<HDC>(wParam);
    const intptr_t back = BackColor(*record);
    const intptr_t front = FrontColor(*record);
    if (front != -1) {
        SetTextColor(dc, static_cast<COLORREF>(front));
        if (back == -1) {
            // Replying with a brush bypasses default processing, so the
            // default background has to be set here as well.
            SetBkColor(dc, GetSysColor(defaultColorIndex));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(defaultColorIndex));
        }
    }
    if (back != -1) {
        SetBkColor(dc, static_cast<COLORREF>(back));
        return BackBrush(*record);
    }
    return toolkit::NotHandled;
}

void ReleaseBackBrush(ControlRecord* record) noexcept {
    if (auto brush = reinterpret_cast<HBRUSH>(BackBrush(*record))) {
        (void)DeleteObject(brush);  // nothing more to do if it was already gone
        BackBrush(*record) = 0;
    }
}

}  // namespace controls
