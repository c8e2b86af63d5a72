#pragma once
// The fixture of the end-to-end tests that run the console on the scripted
// test shell: a folder per test, the script, the console started with the
// environment that points the shell at its script and logs.

#include <gtest/gtest.h>

#include "tests/e2e/console_checks.h"
#include "tests/e2e/console_driver.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace e2e {

class ScriptedConsoleTest : public ::testing::Test {
protected:
    ScriptedConsoleTest() : shell_(folder_) {}

    // The prefix's wsl.exe must be the scripted shell just built.
    static void SetUpTestSuite();

    // Writes the script and starts the console with `commandTail` after its
    // path (e.g. L" echo hi") and `environment` set in its environment;
    // ready for keys when it returns true.
    bool Start(std::string_view script, std::wstring_view commandTail = L"",
               const std::vector<std::pair<std::wstring, std::wstring>>& environment = {});

    // What the transcript holds once the console is up: the command text,
    // "\r\n" and the launch outcome.
    static std::wstring Head(std::wstring_view startupCommand) {
        return std::wstring(startupCommand) + L"\r\n" + Ran;
    }

    size_t Count(app::Tone beep) const { return console_.CountBeeps(beep.frequency, beep.duration); }
    bool WaitForBeeps(app::Tone beep, size_t count, DWORD timeoutMs = ShortWaitMs) const;
    bool WaitForInput(std::string_view bytes, DWORD timeoutMs = ShortWaitMs) const;
    bool WaitForEnd(DWORD timeoutMs = ShortWaitMs) const {
        return console_.WaitForTranscriptToContain(L"---program closed---", timeoutMs);
    }
    void CloseAndExpectExitCodeZero() { e2e::CloseAndExpectExitCodeZero(console_); }

    TestFolder folder_;
    ScriptedShell shell_;
    ConsoleSession console_;
};

}  // namespace e2e
