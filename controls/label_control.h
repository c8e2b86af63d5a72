#pragma once
#include <windows.h>

#include <cstdint>

namespace controls {
[[nodiscard]] HWND CreateLabelControl(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                                      const wchar_t* text) noexcept;
}
