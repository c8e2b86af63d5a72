#pragma once
// Runs the real pumps against a real child process (pump_child.exe) and a
// real edit control, with the beeps recorded instead of sounded.

#include "app/beeper.h"
#include "app/output_pumps.h"
#include "app/transcript_feed.h"
#include "app/transcript_view.h"
#include "channel/child_io.h"
#include "channel/child_launch.h"
#include "toolkit/scoped.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace apptest {

struct BeepRecord {
    DWORD thread;
    DWORD frequency;
    DWORD duration;
    int transcriptLength;  // of the watched window when the beep sounded; -1 when none is watched
};

// Makes every recorded beep note the text length of `window` (null: none).
void WatchLengthAtBeeps(HWND window);

std::vector<BeepRecord> TakeBeeps();
void ClearBeeps();
BOOL WINAPI RecordBeep(DWORD frequency, DWORD duration);

// The bytes as a pump_child step argument.
std::wstring Hex(const std::string& bytes);
// Full path of a program built beside the test.
std::wstring BesideTest(const wchar_t* name);
// Dispatches messages until `done` holds or `ms` pass; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD ms);
std::wstring WindowText(HWND window);
size_t Count(const std::wstring& text, const std::wstring& piece);

class PumpTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Starts pump_child.exe with the steps and both pumps on it, handing
    // their text to `feed` (the fixture's own by default).
    void StartShell(const std::wstring& steps, app::TranscriptFeed* feed = nullptr);
    // Waits for the end-of-shell report; true when it came.
    bool WaitForEnd(DWORD ms = 30000);
    [[nodiscard]] std::wstring Transcript() const { return WindowText(edit_); }

    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
    app::TranscriptFeed feed_;
    app::TranscriptFeed spareFeed_;  // for tests that set a feed up in another way
    app::PumpContext pumps_;
    std::atomic<int64_t> running_{0};
    HANDLE outputThread_ = nullptr;
    HANDLE errorThread_ = nullptr;
    DWORD outputThreadId_ = 0;
    DWORD errorThreadId_ = 0;
};

}  // namespace apptest
