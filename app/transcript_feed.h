#pragma once
// The hand-over of shell output from the pump threads to the main thread.
// A pump appends its text to one buffer under a short lock and, when no
// wake-up is pending, posts one message to a hidden window of the main
// thread; the main thread appends everything pending to the transcript in
// one go. A pump never waits on a window message, so a busy main thread
// cannot deadlock it, and a burst of lines costs one message, not thousands.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace app {

class TranscriptFeed {
public:
    TranscriptFeed() noexcept;
    TranscriptFeed(const TranscriptFeed&) = delete;
    TranscriptFeed& operator=(const TranscriptFeed&) = delete;

    // Main thread: makes the hidden window that receives the wake-ups and
    // names the edit control the text goes to.
    bool Attach(HWND transcript) noexcept;
    // Any thread: queues text for the transcript; returns its ticket.
    uint64_t Hand(std::wstring_view text);
    // Any thread: waits until the text of `ticket` is in the transcript, or
    // the feed is closed. False when closed.
    bool WaitShown(uint64_t ticket) noexcept;
    // Main thread: appends all pending text now.
    void Deliver() noexcept;
    // Main thread, at shutdown: nothing more reaches the transcript and every
    // waiting pump is released. Safe to call twice.
    void Close() noexcept;

private:
    static LRESULT CALLBACK WakeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE shownChanged_ = CONDITION_VARIABLE_INIT;
    std::wstring pending_;
    uint64_t handed_ = 0;  // ticket of the newest text handed over
    uint64_t shown_ = 0;   // tickets up to here are in the transcript
    bool wakePending_ = false;
    bool closed_ = false;
    HWND wakeWindow_ = nullptr;
    HWND transcript_ = nullptr;
};

// The console's feed; never destroyed, since pumps may outlive the main loop.
TranscriptFeed& ConsoleFeed() noexcept;

}  // namespace app
