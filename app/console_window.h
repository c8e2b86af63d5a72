#pragma once
// The console's window: its layout, its keys, and the input loop.

#include <cstdint>

namespace app {

// Geometry of one control, in client pixels.
struct ControlPlace {
    int32_t x, y, width, height;
};

struct ConsoleLayout {
    ControlPlace outLabel, outputView, commandLabel, commandBox;
};

// The fixed layout for a client area of width W and height H.
[[nodiscard]] ConsoleLayout ComputeLayout(int64_t width, int64_t height) noexcept;

// Opens window 0, measures it, creates the four controls and the blank
// history item.
void SetUpConsoleWindow();
// Binds Return and Escape, focuses the command box, selects its blank item.
void BindKeysAndFocus() noexcept;
// Waits for events until the window is asked to close.
void RunInputLoop();

// The actions of the two keys (acted on only while the shell runs).
void ReturnAction();
void EscapeAction();

}  // namespace app
