#pragma once
// The console's fixed numbers: its window, its controls, and the shortcut
// items of its keys.

#include <cstdint>

namespace app {

// Window and control numbers.
inline constexpr int64_t MainWindow = 0;
inline constexpr int64_t OutputView = 0;
inline constexpr int64_t CommandBox = 1;
inline constexpr int64_t OutLabel = 2;
inline constexpr int64_t CommandLabel = 3;

// Shortcut items of window 0.
inline constexpr uint32_t ReturnItem = 0;
inline constexpr uint32_t EscapeItem = 1;

}  // namespace app
