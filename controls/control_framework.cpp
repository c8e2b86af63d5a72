// Start-up of the controls, the registration every creation ends with, the
// window procedure put in front of every control, and the routes from a
// control to its kind (parent messages) and to the event queue.
#include "controls/control_framework.h"

#include "controls/control_creation.h"
#include "controls/controls_state.h"
#include "toolkit/event_codes.h"
#include "toolkit/event_queue.h"
#include "toolkit/main_window.h"
#include "toolkit/object_registry.h"
#include "toolkit/scoped.h"
#include "toolkit/window_hooks.h"

#include <commctrl.h>
#include <ole2.h>

namespace controls {
namespace {

// The metrics block without the padded-border field, which older systems do
// not know and reject.
constexpr UINT NonClientMetricsSizeWithoutPadding = 500;

HFONT ChooseDefaultFont() noexcept {
    auto font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = NonClientMetricsSizeWithoutPadding;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, NonClientMetricsSizeWithoutPadding, &metrics, 0)) {
        if (HFONT message = CreateFontIndirectW(&metrics.lfMessageFont)) font = message;
    }
    return font;
}

// The number a control window carries; -1 when it has none (not registered
// yet, or already cleaned up).
int64_t ControlNumberOf(HWND window) noexcept { return GetWindowLongPtrW(window, GWLP_ID); }

void CleanUpControl(HWND window, int64_t number, ControlRecord* record) noexcept {
    if (record->kind && record->kind->destroyHook) record->kind->destroyHook(record);
    (void)RemovePropW(window, ControlIdProperty);  // absent already is fine
    if (RemovePropW(window, DropAcceptProperty)) (void)RevokeDragDrop(window);  // nothing to do if never registered
    SetWindowLongPtrW(window, GWLP_ID, -1);
    toolkit::DropEvents(toolkit::ControlEvent, number, -1, -1);
    toolkit::Guard guard(ControlRegistry()->Lock());
    // Only this window's record is cleared, never one that already serves
    // another window.
    if (record->window == window) ControlRegistry()->Release(number);
}

}  // namespace

ControlsState& Controls() noexcept { return toolkit::ProcessWide<ControlsState>(); }

void InitControls() noexcept {
    ControlsState& state = Controls();
    if (state.registry) return;  // once per process
    state.defaultFont = ChooseDefaultFont();
    CreateControlRegistry();
    NameContainerProperty();
    (void)ControlList();  // the calling thread's state, with the font just chosen
    // The toolkit's windows offer control messages to the controls' kinds,
    // make each new window the container of new controls, and say when a
    // window goes.
    toolkit::SetWindowHooks(toolkit::WindowHooks{
        .forwardToControl = ForwardToControl,
        .setControlContainer = SetControlContainer,
        .windowDestroyed = ReleaseContainer,
    });
    INITCOMMONCONTROLSEX init{};
    init.dwSize = sizeof(init);
    init.dwICC = ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES;
    (void)InitCommonControlsEx(&init);  // the classes used here are registered by the library anyway
}

void EndControls() noexcept {
    // The registry and the font stay: the window, and with it every control,
    // is destroyed after this step (EndWindowLibrary), and the controls'
    // clean-up still needs the table.
}

HFONT DefaultControlFont() noexcept { return Controls().defaultFont; }

int32_t ScaleToPixels(int32_t value) noexcept {
    // The scale factor is fixed at the platform's base of 96 dots per inch
    // over itself: the process declares no DPI awareness.
    constexpr int BaseDpi = 96;
    return MulDiv(value, BaseDpi, BaseDpi);
}

CreatedControl CreateControlWindow(int64_t number, DWORD exStyle, const wchar_t* className, const wchar_t* text,
                                   DWORD style, int32_t x, int32_t y, int32_t width, int32_t height) noexcept {
    HWND window = CreateWindowExW(exStyle, className, text ? text : L"", style, ScaleToPixels(x), ScaleToPixels(y),
                                  ScaleToPixels(width), ScaleToPixels(height), ControlList().container,
                                  UnnumberedControlId(), GetModuleHandleW(nullptr), nullptr);
    if (!window) return {nullptr, nullptr};
    ControlRecord* record = AllocateControlRecord(number);
    if (!record) {
        (void)DestroyWindow(window);  // no number to hold it; the old control (if any) stays
        return {nullptr, nullptr};
    }
    return {window, record};
}

HWND RegisterControl(int64_t number, ControlRecord* record, HWND window, const ControlKind* kind) noexcept {
    record->window = window;
    record->kind = kind;
    record->previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlWindowProc)));
    SetWindowLongPtrW(window, GWLP_ID, static_cast<LONG_PTR>(number));
    (void)SetPropW(window, ControlIdProperty, reinterpret_cast<HANDLE>(static_cast<intptr_t>(number)));  // 0 reads as absent anyway
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(ControlList().font), TRUE);
    return window;
}

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    const int64_t number = ControlNumberOf(window);
    if (number == -1) return DefWindowProcW(window, message, wParam, lParam);
    ControlRecord* record = FindControl(number);
    if (!record || record->window != window || !record->previousProc)
        return DefWindowProcW(window, message, wParam, lParam);
    const LRESULT result = CallWindowProcW(record->previousProc, window, message, wParam, lParam);
    if (message == WM_NCDESTROY) CleanUpControl(window, number, record);
    return result;
}

LRESULT ForwardToControl(HWND control, HWND parent, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    ControlRecord* record = ControlFromWindow(control);
    if (!record || !record->kind || !record->kind->notify) return toolkit::NotHandled;
    return record->kind->notify(record, parent, message, wParam, lParam);
}

void RaiseControlEvent(HWND control, int64_t data) noexcept {
    const int64_t number = ControlNumberOf(control);
    if (number == -1) return;
    // The owning window is the nearest one, from the control upwards, that
    // carries a window number; without one the number reads as -1.
    const int64_t windowNumber = toolkit::FindNumberedWindow(control).number;
    toolkit::RaiseEvent(toolkit::ControlEvent, number, windowNumber, data, 0);
}

}  // namespace controls
