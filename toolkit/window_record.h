#pragma once
// The record behind each numbered top-level window, its registry, and the
// helpers that the window, the event wait and the shortcuts share.

#include "toolkit/main_window.h"
#include "toolkit/object_registry.h"

#include <windows.h>

#include <cstdint>

namespace toolkit {

inline constexpr wchar_t WindowIdProperty[] = L"KX_WindowID";  // window number + 1
inline constexpr wchar_t FocusProperty[] = L"KX_Focus";        // focus when last deactivated

struct WindowRecord {
    HWND handle;  // null: the number has no window
    ACCEL* shortcuts;
    HACCEL acceleratorTable;
    int32_t shortcutCount;
    int32_t minMaxState;    // 1 while minimized or maximized
    int32_t openCompleted;  // 1 once OpenMainWindow has finished
};

// Null before InitWindowLibrary.
[[nodiscard]] ObjectRegistry* WindowRegistry() noexcept;
// The live record of a window number, or null.
[[nodiscard]] WindowRecord* FindWindowRecord(int64_t number) noexcept;

// The class name of a window number: "WindowClass_<number>".
struct WindowClassName {
    wchar_t text[40];
};
[[nodiscard]] WindowClassName ClassNameFor(int64_t number) noexcept;

// Gives a freshly opened window its Tab and Shift+Tab entries and builds its
// accelerator table.
void InstallDefaultShortcuts(WindowRecord& record) noexcept;
// Frees the shortcut entries and destroys the accelerator table.
void FreeShortcuts(WindowRecord& record) noexcept;

// The class window procedure of every numbered window.
LRESULT CALLBACK ClassWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

}  // namespace toolkit
