#pragma once
#include <windows.h>

#include <cstdint>

namespace controls {
// flags: edit styles passed into the control's style (0x800 read-only, 0x4 multi-line, ...).
[[nodiscard]] HWND CreateTextControl(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                                     const wchar_t* text, uint32_t flags) noexcept;
}
