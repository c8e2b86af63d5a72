#pragma once
// The console's fixed numbers: its window, its controls, the shortcut items
// of its keys, and its tones.

#include <windows.h>

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

// The beeps the console is followed by.
struct Tone {
    DWORD frequency;
    DWORD duration;  // ms
};
inline constexpr Tone KeyTone{2000, 1};         // Return or Escape acted on
inline constexpr Tone OutputLineTone{800, 1};   // a line of standard output shown
inline constexpr Tone ErrorLineTone{100, 20};   // a line of standard error shown
inline constexpr Tone ShellEndTone{50, 100};    // the shell has ended

}  // namespace app
