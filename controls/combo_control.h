#pragma once
#include <windows.h>

#include <cstdint>

namespace controls {
// flags: 0x2 editable, 0x10000000 extended image variant; all bits pass into the style.
[[nodiscard]] HWND CreateComboControl(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                                      uint32_t flags) noexcept;
}
