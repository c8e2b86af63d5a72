#pragma once
// The two threads that carry the shell's output into the transcript, and the
// report of the shell's end.

#include "app/transcript_feed.h"
#include "channel/child_launch.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace app {

// What the two pumps share. The console has one (ConsolePumps), bound to its
// state; tests make their own.
struct PumpContext {
    const channel::ChildProcess* child = nullptr;
    std::atomic<int64_t>* shellRunning = nullptr;
    TranscriptFeed* feed = nullptr;
    std::atomic<bool> outputDrained{false};  // stdout ended and its last text handed over
    std::atomic<bool> errorDrained{false};   // stderr ended and its last line handed over
    std::atomic<bool> stop{false};           // lets a test end its pumps
};

// Thread procedures; the argument is the PumpContext.
DWORD WINAPI OutputPump(void* context) noexcept;
DWORD WINAPI ErrorPump(void* context) noexcept;

// Splits decoded standard output into what the transcript gains now: each
// complete line (ending in "\n") becomes "\r\n" + the line; the unfinished
// rest stays in `pending`. Returns the number of lines taken.
size_t TakeCompleteLines(std::wstring& pending, std::wstring& appended);

// The console's pump context, bound to Console() and ConsoleFeed(); never freed.
PumpContext& ConsolePumps() noexcept;

}  // namespace app
