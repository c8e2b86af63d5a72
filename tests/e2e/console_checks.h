#pragma once
// What the end-to-end tests compare with and check alike, whatever shell
// the console runs on: its beeps and status lines, how long a test waits at
// most, the keys that must do nothing, and the console's clean end.

#include <gtest/gtest.h>

#include "app/console_numbers.h"
#include "tests/e2e/console_driver.h"

#include <string_view>

namespace e2e {

// Beeps: the console's own tones (app_text_test pins their values).
inline constexpr app::Tone ReturnBeep = app::KeyTone;
inline constexpr app::Tone EscapeBeep = app::KeyTone;
inline constexpr app::Tone OutputBeep = app::OutputLineTone;
inline constexpr app::Tone ErrorBeep = app::ErrorLineTone;
inline constexpr app::Tone EndBeep = app::ShellEndTone;

inline constexpr wchar_t Ran[] = L"\r\n---ran---";
inline constexpr wchar_t Closed[] = L"\r\n---program closed---";

// Generous bounds: the tests wait for conditions, these only stop a test
// that would otherwise hang.
inline constexpr DWORD ShortWaitMs = 15000;
inline constexpr DWORD LongWaitMs = 60000;

// With no shell to talk to (it has ended, or it never started), Return and
// Escape do nothing: this types `typed`, presses both and types "!" after
// them, and expects the field to hold all that was typed, the history only
// its blank item, and no key to have beeped.
void ExpectReturnAndEscapeDoNothing(ConsoleSession& console, std::wstring_view typed);

// Closes the window and expects the process to end with exit code 0.
void CloseAndExpectExitCodeZero(ConsoleSession& console);

}  // namespace e2e
