#pragma once
// Numbered top-level windows: opening, client size, closing, and the
// window number that a window or any of its children leads to.

#include <windows.h>

#include <cstdint>

namespace toolkit {

void InitWindowLibrary() noexcept;
void EndWindowLibrary() noexcept;

[[nodiscard]] HWND OpenMainWindow(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                                  const wchar_t* title, uint32_t flags) noexcept;
[[nodiscard]] int64_t WindowInnerWidth(int64_t number) noexcept;
[[nodiscard]] int64_t WindowInnerHeight(int64_t number) noexcept;
void CloseNumberedWindow(int64_t number) noexcept;

// The window that holds the keyboard focus inside the top-level `window`:
// the thread's focus while `window` is the active window, otherwise the one
// it gives the focus back to when it is activated again (null if none).
[[nodiscard]] HWND FocusInside(HWND window) noexcept;

// The number a window carries in "KX_WindowID" (number + 1), or -1.
[[nodiscard]] int64_t WindowNumberOf(HWND window) noexcept;

// The nearest window, from `window` up through its parents, that carries a
// number, and that number; {-1, null} when none does.
struct NumberedWindow {
    int64_t number;
    HWND window;
};
[[nodiscard]] NumberedWindow FindNumberedWindow(HWND window) noexcept;

}  // namespace toolkit
