#pragma once
// The fixture of the end-to-end tests that run the console on the scripted
// test shell: a folder per test, the script, the console started with the
// environment that points the shell at its script and logs, and the texts
// and beeps the tests compare with.

#include <gtest/gtest.h>

#include "tests/e2e/console_driver.h"

#include <string>
#include <string_view>

namespace e2e {

// Beeps, as (frequency, duration).
inline constexpr DWORD ReturnBeep[] = {2000, 1};
inline constexpr DWORD EscapeBeep[] = {2000, 1};
inline constexpr DWORD OutputBeep[] = {800, 1};
inline constexpr DWORD ErrorBeep[] = {100, 20};
inline constexpr DWORD EndBeep[] = {50, 100};

inline constexpr wchar_t Ran[] = L"\r\n---ran---";
inline constexpr wchar_t Closed[] = L"\r\n---program closed---";

// Generous bounds: the tests wait for conditions, these only stop a test
// that would otherwise hang.
inline constexpr DWORD ShortWaitMs = 15000;
inline constexpr DWORD LongWaitMs = 60000;

class ScriptedConsoleTest : public ::testing::Test {
protected:
    ScriptedConsoleTest() : shell_(folder_) {}

    // The prefix's wsl.exe must be the scripted shell just built.
    static void SetUpTestSuite();

    // Writes the script and starts the console with `commandTail` after its
    // path (e.g. L" echo hi"); ready for keys when it returns true.
    bool Start(std::string_view script, std::wstring_view commandTail = L"");

    // What the transcript holds once the console is up: the command text,
    // "\r\n" and the launch outcome.
    static std::wstring Head(std::wstring_view startupCommand) {
        return std::wstring(startupCommand) + L"\r\n" + Ran;
    }

    size_t Count(const DWORD (&beep)[2]) const { return console_.CountBeeps(beep[0], beep[1]); }
    bool WaitForBeeps(const DWORD (&beep)[2], size_t count, DWORD timeoutMs = ShortWaitMs) const;
    bool WaitForInput(std::string_view bytes, DWORD timeoutMs = ShortWaitMs) const;
    bool WaitForEnd(DWORD timeoutMs = ShortWaitMs) const {
        return console_.WaitForTranscriptToContain(L"---program closed---", timeoutMs);
    }
    // Closes the window and expects the process to end with exit code 0.
    void CloseAndExpectExitCodeZero();

    TestFolder folder_;
    ScriptedShell shell_;
    ConsoleSession console_;
};

// How often `piece` occurs in `text`.
size_t Occurrences(std::wstring_view text, std::wstring_view piece);
bool EndsWith(std::wstring_view text, std::wstring_view end);

}  // namespace e2e
