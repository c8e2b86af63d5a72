#pragma once
// The console's process-wide state. It is never destroyed: the pumps and the
// writer thread may still read it while the process ends.

#include "channel/child_launch.h"

#include <atomic>
#include <cstdint>
#include <string>

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

struct ConsoleState {
    channel::ChildProcess* shellChild = nullptr;  // written once, before the pumps start
    std::atomic<int64_t> shellRunning{0};         // set once by the main thread, cleared once by a pump
    std::wstring startupCommand;                  // main thread only
    int64_t clientWidth = 0;                      // measured once, right after the window opens
    int64_t clientHeight = 0;
};

ConsoleState& Console() noexcept;

}  // namespace app
