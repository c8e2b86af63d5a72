#pragma once
// Keyboard shortcuts (per-window accelerator tables), focus movement and
// keyboard cues.

#include <windows.h>

#include <cstdint>

namespace toolkit {

// key: virtual-key code in bits 0-15; 0x10000 Shift, 0x20000 Control, 0x40000 Alt.
HACCEL AddShortcut(int64_t window, uint32_t key, uint32_t item) noexcept;
void MoveFocus(bool backward) noexcept;
void SetKeyboardCues(HWND window, bool show) noexcept;

}  // namespace toolkit
