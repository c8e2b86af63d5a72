#pragma once
// Every acknowledgement beep goes through here, so tests can observe the
// beeps (and give them a duration, since Wine's Beep returns at once).

#include "app/console_numbers.h"

#include <windows.h>

namespace app {

using BeepFunction = BOOL(WINAPI*)(DWORD frequency, DWORD duration);

// False when the beep failed (no beep device, for one).
bool ConsoleBeep(Tone tone) noexcept;
// Replaces the platform's Beep; null restores it. For tests.
void SetBeepFunction(BeepFunction beep) noexcept;

}  // namespace app
