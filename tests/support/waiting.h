#pragma once
// Waiting with a bound: every wait of a test ends, and says whether what it
// waited for came. A test waits for the fact it checks; only NothingWithin
// waits for a span of time, where "nothing happens" is the fact.

#include <windows.h>

#include <functional>

namespace support {

// Far beyond what any single step of a test needs; a wait that takes this
// long has failed.
inline constexpr DWORD Patience = 10000;  // ms

// Checks `condition` every `pollMs` until it holds or `ms` have passed;
// returns whether it held. The last check comes after the deadline, so a
// condition that became true while the waiter slept is not missed.
bool WaitUntil(const std::function<bool()>& condition, DWORD ms = Patience, DWORD pollMs = 1);

// Dispatches this thread's pending messages, then waits up to `ms` for more.
void DispatchMessages(DWORD ms = 5);

// Runs `step` (by default DispatchMessages) until `done` holds or `ms` have
// passed; returns whether it held. `done` is checked before every step and
// once more after the deadline.
bool PumpUntil(const std::function<bool()>& done, DWORD ms = Patience,
               const std::function<void()>& step = [] { DispatchMessages(); });

// True when `happened` stays false for the whole `ms` (checked every
// `pollMs`). A fault that makes something happen late may slip past it, so
// the bound is as long as the thing would take if it were going to happen.
bool NothingWithin(DWORD ms, const std::function<bool()>& happened, DWORD pollMs = 1);

}  // namespace support
