#pragma once
// Numbered top-level windows: opening, client size, closing.

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

}  // namespace toolkit
