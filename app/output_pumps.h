#pragma once
// The two threads that carry the shell's output into the transcript, and the
// report of the shell's end.
//
// Both run the same reading loop on their own stream: read everything that
// is pending, split it into lines (StreamLines), hand all complete lines of
// a read to the transcript feed as one piece, and go on reading while
// earlier pieces wait to be shown. The feed hands each piece's lines to the
// line beeper as it shows them. What a pump has handed over and not yet
// seen shown is bounded: at the bound it waits for the transcript, so a
// shell that writes faster than the control takes text cannot make the
// console grow without limit.

#include "app/heap_blocks.h"
#include "app/line_beeper.h"
#include "app/transcript_feed.h"
#include "channel/child_launch.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace app {

// What one pump may have handed over and not yet seen shown: 1 Mi UTF-16
// characters (2 MiB of text), several of the feed's appends, so the main
// thread always has the next one ready, and little enough that a flood does
// not double what the console holds.
inline constexpr size_t DefaultMaxUnshownChars = size_t{1} << 20;
// The most one read takes from a pipe.
inline constexpr int32_t PumpReadSize = 64 * 1024;

using BlockAllocator = void* (*)(int64_t size) noexcept;

// What the two pumps share. The console has one (Console().pumps), bound to
// its state; tests make their own.
struct PumpContext {
    const channel::ChildProcess* child = nullptr;
    std::atomic<int64_t>* shellRunning = nullptr;
    TranscriptFeed* feed = nullptr;
    LineBeeper* beeper = nullptr;  // plays the end's beep (the feed beeps the lines)
    size_t maxUnshownChars = DefaultMaxUnshownChars;
    BlockAllocator allocate = &AllocateBlock;  // the read buffers' source (tests make it fail)
    std::atomic<bool> outputDrained{false};  // stdout ended and its last line shown
    std::atomic<bool> errorDrained{false};   // stderr ended and its last line shown
    std::atomic<bool> stop{false};           // lets a test end its pumps
};

// Thread procedures; the argument is the PumpContext.
DWORD WINAPI OutputPump(void* context) noexcept;
DWORD WINAPI ErrorPump(void* context) noexcept;

// Reports the shell's end (its beep, then "---program closed---") once the
// process has ended and both streams are drained and shown; of all callers,
// only the first to find that reports it. Each pump calls it on every pass
// after its stream has ended.
void ReportShellEnd(PumpContext& pumps) noexcept;

}  // namespace app
