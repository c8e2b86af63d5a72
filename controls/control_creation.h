#pragma once
// The pieces every control creation shares: the per-thread control list
// state, the record allocation in the control registry, the identity scale
// step and the registration tail.

#include "controls/control_framework.h"

#include <windows.h>

#include <cstdint>

namespace toolkit {
class ObjectRegistry;
}

namespace controls {

// Properties of a control window.
inline constexpr wchar_t ControlIdProperty[] = L"KX_ID";             // the control number
inline constexpr wchar_t DropAcceptProperty[] = L"KX_DropAccept";    // only on a registered drop target

// Per-thread state of the framework: where new controls go and which font
// they get. Created zero-filled on a thread's first use, then initialised.
struct ControlListState {
    HWND container;       // window new controls go into; null until one is opened
    HFONT font;           // font every new control receives
    HWND* containerStack; // capacity entries, zero-filled; stays empty in this system
    int32_t depth;
    int32_t capacity;
};

// The calling thread's state (initialised on first use).
[[nodiscard]] ControlListState& ControlList() noexcept;

// The process-wide table of ControlRecords; null before InitControls.
[[nodiscard]] toolkit::ObjectRegistry* ControlRegistry() noexcept;
// Made once by InitControls.
void CreateControlRegistry() noexcept;
// Formats the container property name into the state block; by InitControls.
void NameContainerProperty() noexcept;

// The zero-filled record for `number`, destroying a control that holds the
// number first. Null when the registry cannot provide one.
[[nodiscard]] ControlRecord* AllocateControlRecord(int64_t number) noexcept;

// Geometry scale step. The process declares no DPI awareness and the factor is
// fixed at 96/96, so this is the identity; kept as a step so every creation
// passes its geometry through one place.
[[nodiscard]] int32_t ScaleToPixels(int32_t value) noexcept;

// The identifier a control window is created with, before it has a number.
inline HMENU UnnumberedControlId() noexcept { return reinterpret_cast<HMENU>(static_cast<intptr_t>(-1)); }

struct CreatedControl {
    HWND window;            // null: nothing was created and no record touched
    ControlRecord* record;  // the number's zero-filled record
};

// The creation steps every kind shares: geometry through the scale step, the
// window in the thread's container, then the number's record (destroying a
// control that held the number). When either fails nothing is left behind
// and a control that held the number stays.
[[nodiscard]] CreatedControl CreateControlWindow(int64_t number, DWORD exStyle, const wchar_t* className,
                                                 const wchar_t* text, DWORD style, int32_t x, int32_t y,
                                                 int32_t width, int32_t height) noexcept;

// The common tail of every creation: record fields, ControlWindowProc in
// front, GWLP_ID and "KX_ID" set to the number, the thread's font. Returns
// the window.
HWND RegisterControl(int64_t number, ControlRecord* record, HWND window, const ControlKind* kind) noexcept;

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// The window's whole text (GetWindowTextLengthW, then GetWindowTextW), cut at
// the first NUL; "" for a window that is gone.
[[nodiscard]] std::wstring ReadWindowText(HWND window);

}  // namespace controls
