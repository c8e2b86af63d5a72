#pragma once
// The pumps' pause between empty polls.

#include <windows.h>

namespace app {

// Sleep with the system timer at 1 ms resolution (raised on first use).
void WaitMilliseconds(DWORD milliseconds) noexcept;

}  // namespace app
