#pragma once
// Time: the clock the transcript's pace and the line beeps measure with,
// and the short pauses of the pumps and the beeper.

#include <windows.h>

namespace app {

// Milliseconds on the performance counter: monotonic and finer than a tick.
inline double NowMs() noexcept {
    LARGE_INTEGER count{};
    LARGE_INTEGER frequency{};
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Sleep with the system timer at 1 ms resolution (raised on first use).
void WaitMilliseconds(DWORD milliseconds) noexcept;

}  // namespace app
