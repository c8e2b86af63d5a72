#pragma once
// Numbered child controls: their registry and records, the per-kind
// operation tables, the common creation path, and the generic operations
// that address a control by number.

#include <windows.h>

#include <cstdint>
#include <string>

namespace controls {

// Data values of the ControlEvents that controls raise.
inline constexpr int64_t ControlChanged = 768;
inline constexpr int64_t ControlFocused = 14000;
inline constexpr int64_t ControlUnfocused = 14001;

struct ControlKind;

struct ControlRecord {
    HWND window;           // null: the number holds no control
    const ControlKind* kind;
    WNDPROC previousProc;  // the procedure ControlWindowProc replaced
    // Kind-specific fields: label and text use backColor, frontColor,
    // backBrush; the combo box uses extended, imageList, inSelectionChange.
    intptr_t field1;
    intptr_t field2;
    intptr_t field3;
};

// A kind's table. An empty slot takes the generic operations' fallback
// (window text, SetFocus, no state, no items), so a table names only the
// slots its kind fills.
struct ControlKind {
    int32_t kindCode = 0;  // 3 label, 2 text, 8 combo box
    LRESULT (*notify)(ControlRecord* record, HWND parent, UINT message, WPARAM wParam, LPARAM lParam) noexcept =
        nullptr;
    void (*destroyHook)(ControlRecord* record) noexcept = nullptr;
    int64_t (*getState)(ControlRecord* record) noexcept = nullptr;
    void (*setState)(ControlRecord* record, int64_t state) noexcept = nullptr;
    std::wstring (*getText)(ControlRecord* record) = nullptr;
    void (*setText)(ControlRecord* record, const wchar_t* text) noexcept = nullptr;
    int64_t (*addItem)(ControlRecord* record, int64_t position, const wchar_t* text, int64_t image) noexcept =
        nullptr;
    int64_t (*addItemEx)(ControlRecord* record, int64_t position, const wchar_t* text, int64_t image,
                         uint32_t flags) noexcept = nullptr;
    void (*focus)(ControlRecord* record) noexcept = nullptr;
};

void InitControls() noexcept;
void EndControls() noexcept;

// Makes `window` the container of new controls on this thread; returns the
// previous container (a null argument only returns it).
HWND SetControlContainer(HWND window) noexcept;
// Frees what SetControlContainer attached to a window that is being
// destroyed; a thread whose container it was has none afterwards.
void ReleaseContainer(HWND window) noexcept;
[[nodiscard]] ControlRecord* FindControl(int64_t number) noexcept;
[[nodiscard]] ControlRecord* ControlFromWindow(HWND window) noexcept;
[[nodiscard]] int64_t ControlSlotCount() noexcept;
void DestroyControl(int64_t number) noexcept;
// A parent window's message from or about a control, offered to its kind;
// NotHandled when the window is no control or its kind has no notify slot.
// InitControls installs it, SetControlContainer and ReleaseContainer as the
// toolkit's window hooks.
LRESULT ForwardToControl(HWND control, HWND parent, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
// Raises a ControlEvent for the control on the calling thread's queue, at
// once (not posted): object = its number, window = the number of the window
// it belongs to (-1 when none), data. Discarded while the thread suppresses
// events; nothing for a window without a control number.
void RaiseControlEvent(HWND control, int64_t data) noexcept;

// Generic operations by number (a number without a control: "", 0, nothing).
[[nodiscard]] std::wstring GetControlText(int64_t number);
void SetControlText(int64_t number, const wchar_t* text) noexcept;
int64_t AddControlItem(int64_t number, int64_t position, const wchar_t* text) noexcept;
void SetControlState(int64_t number, int64_t state) noexcept;
void FocusControl(int64_t number) noexcept;

// The system message font every new control receives.
[[nodiscard]] HFONT DefaultControlFont() noexcept;

}  // namespace controls
