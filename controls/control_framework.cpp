// Placeholder until the control framework is built.
#include "controls/control_framework.h"

#include "toolkit/event_codes.h"

namespace controls {
namespace {
HWND g_container = nullptr;
}
HWND SetControlContainer(HWND window) noexcept {
    HWND previous = g_container;
    if (window) g_container = window;
    return previous;
}
LRESULT ForwardToControl(HWND, HWND, UINT, WPARAM, LPARAM) noexcept { return toolkit::NotHandled; }
}  // namespace controls
